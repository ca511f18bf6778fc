#include "linereader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "format.h"
#include "sections.h"

const char* const QzBlockKeywords[5] = {"", "TRANSLATE", "ROTATE", "SCALE", "TRANSFORM"};

namespace {

// Numbers each transform meta-command takes, by block kind.
constexpr int kMetaCounts[5] = {0, 3, 4, 1, 12};
constexpr double kDegreesToRadians = 0.017453292519943295;
// Longest title or author text kept (terminator excluded).
constexpr size_t kTitleLength = QZ_TITLE_BUFFER - 1;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

}  // namespace

int QzParseMeta(std::string_view line, QzMatrix& matrix, QzLogContext& log) {
    size_t pos = 0;
    int64_t ignored;
    if (!QzScanInteger(line, pos, ignored)) return 0;
    std::string_view keyword = QzScanWord(line, pos);
    int kind = 0;
    for (int k = QZ_BLOCK_TRANSLATE; k <= QZ_BLOCK_TRANSFORM; ++k) {
        if (keyword == QzBlockKeywords[k]) kind = k;
    }
    if (kind == 0) return 0;
    size_t afterKeyword = pos;
    if (QzScanWord(line, pos) == "END") return -kind;

    pos = afterKeyword;
    float n[12] = {};
    int count = 0;
    while (count < 12 && QzScanNumber(line, pos, n[count])) ++count;
    if (count != kMetaCounts[kind]) {
        QzWarn(log, 0, QZ_SKIPPING, "Illegal syntax");
        return 0;
    }

    QzMatIdentity(matrix);
    switch (kind) {
        case QZ_BLOCK_TRANSLATE:
            matrix.m[0][3] = n[0];
            matrix.m[1][3] = n[1];
            matrix.m[2][3] = n[2];
            break;
        case QZ_BLOCK_ROTATE: {
            double angle = n[0] * kDegreesToRadians;
            double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
            QzVector axis{n[1], n[2], n[3]};
            QzVector unit{0, 0, 0};
            if (QzVecNormalise(unit, axis) != 0) QzWarn(log, 0, QZ_WARNING, "Zero vector");
            double x = unit.x, y = unit.y, z = unit.z;
            matrix.m[0][0] = static_cast<float>(t * x * x + c);
            matrix.m[0][1] = static_cast<float>(t * x * y - s * z);
            matrix.m[0][2] = static_cast<float>(t * x * z + s * y);
            matrix.m[1][0] = static_cast<float>(t * x * y + s * z);
            matrix.m[1][1] = static_cast<float>(t * y * y + c);
            matrix.m[1][2] = static_cast<float>(t * y * z - s * x);
            matrix.m[2][0] = static_cast<float>(t * x * z - s * y);
            matrix.m[2][1] = static_cast<float>(t * y * z + s * x);
            matrix.m[2][2] = static_cast<float>(t * z * z + c);
            break;
        }
        case QZ_BLOCK_SCALE:
            matrix.m[0][0] = matrix.m[1][1] = matrix.m[2][2] = n[0];
            break;
        case QZ_BLOCK_TRANSFORM:
            for (int r = 0; r < 3; ++r) {
                matrix.m[r][0] = n[3 + 3 * r];
                matrix.m[r][1] = n[4 + 3 * r];
                matrix.m[r][2] = n[5 + 3 * r];
                matrix.m[r][3] = n[r];
            }
            break;
    }
    return kind;
}

namespace {

enum ContentState { kNothingYet = 0, kSections = 1, kCommentsOnly = 2, kCommands = 3 };

// Reading state of one file.
class FileReader {
  public:
    FileReader(QzReadContext& context, QzPart* part, const char* referencedBy, bool main)
        : context_(context),
          model_(context.model),
          log_(context.log),
          current_(part),
          tail_(&part->lines),
          referencedBy_(referencedBy),
          main_(main) {
        bfc_.certified = main;
    }
    ~FileReader() { DropScratch(); }

    // False when reading must stop (out of memory; the box was shown). A piece that
    // continues a line longer than the read buffer carries that line's number.
    bool ReadLine(std::string_view raw, bool continuation);
    void Finish();

  private:
    bool ReadComment(std::string_view line, std::string_view whole, bool inverted);
    bool ReadSectionStart(std::string_view name, std::string_view text);
    bool ReadCommand(std::string_view line, std::string_view whole, bool inverted);
    bool Store(const QzLine& record, std::string_view text, QzLine** stored = nullptr);
    // The main file's section being read has ended: a part it defines is marked so.
    void EndSection();
    bool StoreComment(std::string_view text, uint32_t bfcBits = 0);
    bool OpenBlock(int kind, const QzMatrix& matrix);
    void CloseBlock();
    void EnterCommands() {
        if (content_ != kSections) content_ = kCommands;
    }
    void OutOfMemory() {
        QzError(QzCompose("Out of memory in \"%s\" line %u", log_.currentFile.c_str(),
                          log_.currentLine));
    }
    void DropScratch() {
        if (scratch_) QzFreePart(scratch_);
        scratch_ = nullptr;
    }

    QzReadContext& context_;
    QzModel& model_;
    QzLogContext& log_;
    QzPart* current_;
    QzLine** tail_;
    const char* referencedBy_;
    bool main_;
    int content_ = kNothingYet;
    bool firstFilePending_ = true;
    QzBfcState bfc_;
    int openBlock_ = 0;
    int depth_ = 0;  // transform blocks open
    // Receives the lines of a section that cannot be stored in its own part (already
    // read, or no record for it); thrown away when the section ends.
    QzPart* scratch_ = nullptr;
    // The main file's section after the first being read, while one is.
    QzPart* section_ = nullptr;
};

void FileReader::EndSection() {
    if (section_ && QzIsSectionPart(*section_)) section_->flags |= PF_SECTION_PART;
    section_ = nullptr;
}

bool FileReader::Store(const QzLine& record, std::string_view text, QzLine** stored) {
    if (record.type >= 1 && record.colour != QZ_COLOUR_CURRENT && record.colour != QZ_COLOUR_EDGE) {
        if (QzAddColour(model_, record.colour) != 0) return false;
    }
    QzLine* line = QzNewLine(record);
    if (!line) {
        OutOfMemory();
        return false;
    }
    line->next = nullptr;
    if (record.type == 0 && !QzSetLineText(*line, text.data(), text.size())) {
        delete line;
        OutOfMemory();
        return false;
    }
    *tail_ = line;
    tail_ = &line->next;
    if (stored) *stored = line;
    return true;
}

bool FileReader::StoreComment(std::string_view text, uint32_t bfcBits) {
    QzLine record{};
    record.type = 0;
    record.lineNo = log_.currentLine;
    record.bfc = bfcBits;
    return Store(record, text);
}

bool FileReader::OpenBlock(int kind, const QzMatrix& matrix) {
    std::string name = "QzTransf" + std::to_string(model_.transfCounter++);
    QzPart* block = QzFindPart(model_, log_, true, name);
    if (!block) return true;  // the box was shown; the lines stay where they are

    QzLine reference{};
    reference.type = 1;
    reference.colour = QZ_COLOUR_CURRENT;
    reference.fileColour = QZ_COLOUR_CURRENT;
    reference.lineNo = 0;
    QzLineMatrix(reference) = matrix;
    reference.part = block;
    if (!Store(reference, {})) {
        QzFreePart(block);
        return false;
    }
    block->parent = current_;
    block->parentTail = tail_;
    block->parentBlock = openBlock_;
    current_ = block;
    tail_ = &block->lines;
    openBlock_ = kind;
    ++depth_;
    return true;
}

void FileReader::CloseBlock() {
    QzPart* block = current_;
    block->flags |= PF_READ;
    current_ = block->parent;
    tail_ = block->parentTail;
    openBlock_ = block->parentBlock;
    --depth_;
}

bool FileReader::ReadSectionStart(std::string_view name, std::string_view text) {
    if (firstFilePending_) {
        firstFilePending_ = false;
        if (content_ == kCommands)
            QzWarn(log_, 0, QZ_WARNING, "LDraw command(s) preceded this line");
        content_ = kSections;
        if (main_) {
            model_.modelTitle.clear();
            model_.sections.push_back({0, std::string(name)});
        }
        return StoreComment(text);
    }
    while (openBlock_ != 0) {
        QzWarn(log_, 0, QZ_WARNING, "%s END expected", QzBlockKeywords[openBlock_]);
        CloseBlock();
    }
    current_->flags |= PF_READ;
    EndSection();
    DropScratch();

    std::string normalised(name);
    QzNormaliseName(normalised);
    QzPart* section = QzFindPart(model_, log_, false, normalised);
    if (section && (section->flags & PF_READ)) {
        QzWarn(log_, 0, QZ_SKIPPING, "FILE %s already read", normalised.c_str());
        section = nullptr;
    }
    if (!section) {
        // The section's lines still get read and checked, but belong to no part.
        scratch_ = QzFindPart(model_, log_, true,
                              normalised.size() < QZ_MAX_NAME ? normalised : std::string());
        section = scratch_;
        if (!section) return false;
    }
    if (section->lines) QzFreeLines(section);
    if (main_ && section != scratch_) {
        section->flags |= PF_MAIN_SECTION;
        section_ = section;
        model_.sections.push_back(
            {static_cast<int>(section - model_.parts.get()), std::string(name)});
    }
    current_ = section;
    tail_ = &section->lines;
    bfc_ = QzBfcState{};
    return true;
}

bool FileReader::ReadComment(std::string_view line, std::string_view whole, bool inverted) {
    if (inverted) QzWarn(log_, 0, QZ_WARNING, "Line type 1 must follow 0 BFC INVERTNEXT");
    std::string_view text = line.substr(1);
    if (!text.empty()) {
        if (IsBlank(text[0])) {
            text.remove_prefix(1);
        } else {
            QzWarn(log_, 3, QZ_WARNING, "Comment lines should have space after 0");
        }
    }
    std::string_view words = SkipBlanks(text);

    // "FILE" and a name after any white space: a section starts.
    if (words.substr(0, 4) == "FILE") {
        size_t pos = 4;
        QzSkipSpace(words, pos);
        if (pos < words.size()) {
            std::string_view name = words.substr(pos);
            if (name.size() >= QZ_TOKEN_BUFFER) {
                QzWarn(log_, 0, QZ_SKIPPING, "Bad line");
                return true;
            }
            return ReadSectionStart(name, text);
        }
    }

    int options = QzParseBfc(words, log_);
    if (options < 0) return true;
    if (options > 0) {
        EnterCommands();
        QzApplyBfc(bfc_, static_cast<uint32_t>(options));
        return StoreComment(text, static_cast<uint32_t>(options));
    }

    QzMatrix matrix;
    int meta = QzParseMeta(line, matrix, log_);
    if (meta > 0) {
        if (depth_ >= QZ_MAX_BLOCK_DEPTH) {
            QzWarn(log_, 0, QZ_SKIPPING, "Transform blocks nested too deeply");
            return true;
        }
        EnterCommands();
        if (!StoreComment(text)) return false;
        return OpenBlock(meta, matrix);
    }
    if (meta < 0) {
        int kind = -meta;
        if (openBlock_ == 0) {
            QzWarn(log_, 0, QZ_SKIPPING, "END not expected");
        } else if (openBlock_ != kind) {
            QzWarn(log_, 0, QZ_SKIPPING, "%s END expected", QzBlockKeywords[openBlock_]);
        } else {
            CloseBlock();
            return StoreComment(text);
        }
        return true;
    }

    // A plain comment.
    if (content_ == kNothingYet) content_ = kCommentsOnly;
    constexpr std::string_view kMoved = "~Moved to ";
    if (words.substr(0, kMoved.size()) == kMoved) {
        if (referencedBy_) {
            QzWarn(log_, 0, QZ_ASIS, "%s",
                   QzCompose("NOTABENE \"%s\" referenced by \"%s\": %.*s", log_.currentFile.c_str(),
                             referencedBy_, static_cast<int>(words.size() - 1), words.data() + 1)
                       .c_str());
        } else {
            QzWarn(log_, 0, QZ_ASIS, "%s",
                   QzCompose("NOTABENE \"%s\" Line %u: %.*s", log_.currentFile.c_str(),
                             log_.currentLine, static_cast<int>(whole.size()), whole.data())
                       .c_str());
        }
    }
    if (main_) {
        constexpr std::string_view kAuthor = "Author:";
        if (words.substr(0, kAuthor.size()) != kAuthor) {
            if (model_.modelTitle.empty()) model_.modelTitle.assign(words.substr(0, kTitleLength));
        } else if (model_.modelAuthor.empty()) {
            model_.modelAuthor.assign(
                SkipBlanks(words.substr(kAuthor.size())).substr(0, kTitleLength));
        }
    }
    return StoreComment(text);
}

bool FileReader::ReadCommand(std::string_view line, std::string_view whole, bool inverted) {
    QzScannedLine scan = QzScanLine(line);
    if (scan.fields == 0 || scan.tooLong) {
        if (content_ == kNothingYet) return StoreComment(whole);
        QzWarn(log_, 0, QZ_SKIPPING, "Bad line");
        return true;
    }
    // A type written with a sign ("+1", "-0") takes the same road as other numbers;
    // only a leading "0" character makes a comment.
    bool signedZero = scan.type == 0;
    if (scan.type < 0 || scan.type > 5 || signedZero) {
        if (content_ == kNothingYet) return StoreComment(whole);
        QzWarn(log_, 0, QZ_SKIPPING, "Unknown line type");
        return true;
    }
    int type = static_cast<int>(scan.type);
    if (inverted && type != 1)
        QzWarn(log_, 0, QZ_WARNING, "Line type 1 must follow 0 BFC INVERTNEXT");
    if (scan.fields != QzArgumentCounts[type]) {
        if (content_ == kNothingYet) return StoreComment(whole);
        QzWarn(log_, 0, QZ_SKIPPING, "%d arguments expected", QzArgumentCounts[type]);
        return true;
    }
    int32_t colour = QzParseColour(scan.colour);
    if (colour < 0) {
        QzWarn(log_, 0, QZ_SKIPPING, "Bad color");
        return true;
    }
    EnterCommands();

    QzLine record{};
    record.type = type;
    record.colour = colour;
    record.fileColour = colour;
    record.lineNo = log_.currentLine;
    const float* n = scan.numbers;
    double det = 0;
    std::string name;
    if (type == 1) {
        QzMatrix& m = QzLineMatrix(record);
        for (int r = 0; r < 3; ++r) {
            m.m[r][0] = n[3 + 3 * r];
            m.m[r][1] = n[4 + 3 * r];
            m.m[r][2] = n[5 + 3 * r];
            m.m[r][3] = n[r];
        }
        m.m[3][3] = 1;
        det = QzMatDet3(m);
        name.assign(scan.name);
        QzNormaliseName(name);
    } else {
        int vertices = type == 2 ? 2 : type == 3 ? 3 : 4;
        for (int v = 0; v < vertices; ++v) {
            record.p[v] = {n[3 * v], n[3 * v + 1], n[3 * v + 2], 0};
        }
    }

    if (QzCheckLine(record, name, current_, log_, context_.palette, context_.tolerances) != 0)
        return true;

    if (type == 1) {
        record.part = QzFindPart(model_, log_, false, name);
        if (!record.part) return true;
    }
    if (type == 1 || type == 3 || type == 4) QzSetLineBfc(record, bfc_, inverted, det);
    QzLine* stored = nullptr;
    if (!Store(record, {}, &stored)) return false;
    // Lists of what the model places name files as the model writes them.
    if (type == 1 && main_ && scan.name != name) {
        try {
            model_.writtenNames.emplace(stored, scan.name);
        } catch (const std::bad_alloc&) {
            // Only the form of the name is lost: lists give it as stored.
        }
    }
    return true;
}

bool FileReader::ReadLine(std::string_view raw, bool continuation) {
    if (!continuation) ++log_.currentLine;
    bool inverted = bfc_.invertPending;
    bfc_.invertPending = false;

    raw = QzTrimLineEnd(raw);
    log_.currentLineText.assign(raw);
    if (raw.empty()) {
        if (inverted) QzWarn(log_, 0, QZ_WARNING, "Line type 1 must follow 0 BFC INVERTNEXT");
        return true;
    }
    std::string_view line = SkipBlanks(raw);
    if (line[0] == '0') return ReadComment(line, raw, inverted);
    return ReadCommand(line, raw, inverted);
}

void FileReader::Finish() {
    while (openBlock_ != 0) {
        // Logged as is, but tied to the file's last line for those who jump to it.
        if (log_.warningLevel >= 0) {
            const char* keyword = QzBlockKeywords[openBlock_];
            QzLogAt(log_,
                    {QZ_WARNING,
                     log_.currentFile,
                     log_.currentLine,
                     plat::Format("End-Of-File, %s END expected", keyword),
                     {}},
                    QzCompose("WARNING \"%s\": End-Of-File, %s END expected",
                              log_.currentFile.c_str(), keyword));
        }
        CloseBlock();
    }
    current_->flags |= PF_READ;
    EndSection();
}

}  // namespace

int QzReadPartFile(QzReadContext& context, plat::TextFile& file, QzPart* part,
                   const char* referencedBy, bool main) {
    if (part->lines) QzFreeLines(part);
    context.log.currentFile = part->name;
    context.log.currentLine = 0;

    FileReader reader(context, part, referencedBy, main);
    std::string_view raw;
    bool complete = true;
    bool continuation = false;
    while (file.ReadLine(raw, QZ_LINE_BUFFER)) {
        if (!reader.ReadLine(raw, continuation)) {
            complete = false;
            break;
        }
        continuation = raw.back() != '\n';
    }
    if (complete) reader.Finish();
    file.Close();
    return complete ? 1 : 0;
}
