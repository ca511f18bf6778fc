#include "linereader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <string>

#include "format.h"
#include "sections.h"
#include "texmap.h"

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

// The warning level of what the texture mapping standard allows but a careful author
// avoids: a block left open at the end of its file.
constexpr int kTexmapNoteLevel = QZ_TEXMAP_NOTE_LEVEL;

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
    // Fills a record from a line of type 1 to 5 (its name for a reference). False when
    // the line is not stored: `comment` tells whether it is to be kept as a comment
    // (before any command, and not for texture geometry); otherwise the log said why.
    bool ScanCommand(std::string_view line, bool inverted, bool texture, QzLine& record,
                     std::string& name, double& det, bool& comment, std::string* written = nullptr);
    // The checks of a scanned line (bfc.h); false when it is dropped.
    bool CheckCommand(QzLine& record, const std::string& name);
    bool Store(const QzLine& record, std::string_view text, QzLine** stored = nullptr);
    // The main file's section being read has ended: a part it defines is marked so.
    void EndSection();

    // Texture mapping: what a reader with textures sees, beside the lines.
    bool ReadTextureComment(std::string_view words, bool inverted);
    bool ReadTexmap(std::string_view command);
    bool ReadTextureGeometry(std::string_view geometry, bool inverted);
    void ReadDataLine(std::string_view words);
    void EndData();
    // The open texture blocks end with their file (a section, the file itself or a
    // step); those left open are warned about at the line given.
    void EndTextures(bool warn, uint32_t line, const std::string& lineText);
    // The view of the part being read, made (with the lines it has so far) when missing;
    // null when there is no memory.
    QzTexturedLines* View();
    // The texture mapping a line of the part being read takes (1 + its index in the
    // view), 0 for none of its own.
    uint16_t LineTexmap() const;
    // The innermost texture block of the part being read (1 + its index in the view,
    // 0 for none), and where a line read now stands in it.
    uint16_t LineBlock(bool textureGeometry, QzTexturedLines::Side& side) const;
    void WarnAt(uint32_t lineNo, const std::string& lineText, const char* message, int level = 0);
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

    // The open "!TEXMAP START" blocks, innermost last: the part they were read into,
    // the block and its mapping in that part's view (0 for a START line not read), and
    // whether the FALLBACK line was passed.
    struct TexBlock {
        QzPart* owner;
        uint16_t block;
        uint16_t texmap;
        bool fallback;
    };
    std::vector<TexBlock> texBlocks_;
    // STARTs beyond QZ_MAX_TEXMAP_DEPTH, whose lines up to their END go on as before.
    int texSkipped_ = 0;
    // A "!TEXMAP NEXT" for the next line, and the one the current line takes.
    struct TexNext {
        QzPart* owner = nullptr;
        uint16_t texmap = 0;
    };
    TexNext next_, nextForLine_;
    // A "!DATA" section being read: its name, where it starts, and its base64 text.
    bool inData_ = false;
    std::string dataName_;
    uint32_t dataLine_ = 0;
    std::string dataLineText_;
    std::string dataText_;
    bool dataTooLong_ = false;
    // The main file's section after the first being read, while one is.
    QzPart* section_ = nullptr;
};

void FileReader::EndSection() {
    if (section_ && QzIsSectionPart(*section_)) section_->flags |= PF_SECTION_PART;
    section_ = nullptr;
}

void FileReader::WarnAt(uint32_t lineNo, const std::string& lineText, const char* message,
                        int level) {
    if (level > log_.warningLevel) return;
    QzLogAt(log_, {QZ_WARNING, log_.currentFile, lineNo, message, lineText},
            plat::Format("WARNING \"%s\" Line %u: %s: %s", log_.currentFile.c_str(), lineNo,
                         message, lineText.c_str()));
}

QzTexturedLines* FileReader::View() {
    if (current_->textured) return current_->textured;
    try {
        auto view = std::make_unique<QzTexturedLines>();
        for (const QzLine* line = current_->lines; line; line = line->next)
            if (line->type >= 1 && line->type <= 5)
                view->lines.push_back({line, 0, 0, QzTexturedLines::Side::Both});
        current_->textured = view.release();
    } catch (const std::bad_alloc&) {
        OutOfMemory();
        return nullptr;
    }
    return current_->textured;
}

uint16_t FileReader::LineTexmap() const {
    if (nextForLine_.texmap && nextForLine_.owner == current_) return nextForLine_.texmap;
    if (!texBlocks_.empty() && texBlocks_.back().owner == current_ && !texBlocks_.back().fallback)
        return texBlocks_.back().texmap;
    return 0;
}

uint16_t FileReader::LineBlock(bool textureGeometry, QzTexturedLines::Side& side) const {
    using Side = QzTexturedLines::Side;
    side = Side::Both;
    if (texBlocks_.empty() || texBlocks_.back().owner != current_) return 0;
    const TexBlock& block = texBlocks_.back();
    side = block.fallback ? Side::Fallback : textureGeometry ? Side::Textured : Side::Both;
    return block.block;
}

void FileReader::EndTextures(bool warn, uint32_t line, const std::string& lineText) {
    // The standard ends a block with its file: an END left out is only worth a note
    // (some library parts leave it out).
    if (warn && (!texBlocks_.empty() || texSkipped_ > 0))
        WarnAt(line, lineText, "TEXMAP END expected", kTexmapNoteLevel);
    texBlocks_.clear();
    texSkipped_ = 0;
    next_ = nextForLine_ = TexNext{};
}

void FileReader::EndData() {
    if (!inData_) return;
    inData_ = false;
    std::string bytes;
    if (dataText_.empty()) {
        WarnAt(dataLine_, dataLineText_, "!DATA section without data");
    } else if (dataTooLong_ || !QzDecodeBase64(dataText_, bytes)) {
        WarnAt(dataLine_, dataLineText_, "!DATA section is not base64");
        bytes.clear();
    }
    if (main_ && !dataName_.empty()) {
        try {
            model_.dataSections[dataName_] = std::move(bytes);
        } catch (const std::bad_alloc&) {
            OutOfMemory();
        }
    }
    std::string().swap(dataText_);
}

void FileReader::ReadDataLine(std::string_view words) {
    // "0 !:" and a piece of the base64 text; anything else does not belong here.
    if (words.substr(0, 2) != "!:") {
        QzWarn(log_, 0, QZ_WARNING, "Only 0 !: lines belong in a !DATA section");
        return;
    }
    for (char c : words.substr(2)) {
        if (c == ' ' || c == '\t') continue;
        if (dataText_.size() >= plat::kMaxTextFileBytes) {
            dataTooLong_ = true;
            return;
        }
        dataText_.push_back(c);
    }
}

bool FileReader::ReadTexmap(std::string_view command) {
    size_t pos = 0;
    const std::string_view verb = QzScanWord(command, pos);
    const std::string_view args = command.substr(pos);
    if (verb == "START" || verb == "NEXT") {
        const bool start = verb == "START";
        if (start && texSkipped_ > 0) {
            ++texSkipped_;
            return true;
        }
        if (start && texBlocks_.size() >= static_cast<size_t>(QZ_MAX_TEXMAP_DEPTH)) {
            QzWarn(log_, 0, QZ_SKIPPING, "TEXMAP blocks nested too deeply");
            ++texSkipped_;
            return true;
        }
        if (start && !texBlocks_.empty())
            QzWarn(log_, 0, QZ_WARNING, "TEXMAP START inside another TEXMAP block");
        QzTexturedLines* view = View();
        if (!view) return false;
        if (view->texmaps.size() >= 0xFFFF || view->blocks.size() >= 0xFFFF) {
            QzWarn(log_, 0, QZ_SKIPPING, "Too many TEXMAP commands");
            if (start) ++texSkipped_;
            return true;
        }
        QzTexmap texmap;
        uint16_t index = 0;
        if (!QzParseTexmap(args, texmap)) {
            QzWarn(log_, 0, QZ_SKIPPING, "Illegal TEXMAP syntax");
        } else if (!QzSafeTextureName(texmap.name) ||
                   (!texmap.glossmap.empty() && !QzSafeTextureName(texmap.glossmap))) {
            QzWarn(log_, 0, QZ_SKIPPING, "Texture name outside the texture folders");
        } else {
            texmap.lineNo = log_.currentLine;
            texmap.lineText = log_.currentLineText;
            try {
                view->texmaps.push_back(std::move(texmap));
            } catch (const std::bad_alloc&) {
                OutOfMemory();
                return false;
            }
            index = static_cast<uint16_t>(view->texmaps.size());
        }
        if (!start) {
            if (index) next_ = {current_, index};
            return true;
        }
        QzTexturedLines::Block block;
        block.texmap = index;
        block.parent = LineBlock(false, block.side);
        try {
            view->blocks.push_back(block);
        } catch (const std::bad_alloc&) {
            OutOfMemory();
            return false;
        }
        texBlocks_.push_back({current_, static_cast<uint16_t>(view->blocks.size()), index, false});
        return true;
    }
    if (verb == "FALLBACK") {
        if (texSkipped_ > 0) return true;
        if (texBlocks_.empty() || texBlocks_.back().fallback) {
            QzWarn(log_, 0, QZ_SKIPPING, "TEXMAP FALLBACK not expected");
            return true;
        }
        texBlocks_.back().fallback = true;
        return true;
    }
    if (verb == "END") {
        if (texSkipped_ > 0) {
            --texSkipped_;
        } else if (texBlocks_.empty()) {
            QzWarn(log_, 0, QZ_SKIPPING, "TEXMAP END not expected");
        } else {
            texBlocks_.pop_back();
        }
        return true;
    }
    QzWarn(log_, 0, QZ_SKIPPING, "Unknown TEXMAP command");
    return true;
}

bool FileReader::ReadTextureGeometry(std::string_view geometry, bool inverted) {
    // Geometry only a reader with textures sees: in a START section, or on the line
    // after a NEXT. In a FALLBACK section neither reader sees it.
    QzTexturedLines::Side side;
    const uint16_t block = LineBlock(true, side);
    if (side == QzTexturedLines::Side::Fallback) return true;
    if (!block && !(nextForLine_.texmap && nextForLine_.owner == current_)) {
        QzWarn(log_, 0, QZ_SKIPPING, "Texture geometry outside a TEXMAP block");
        return true;
    }
    QzLine record{};
    std::string name;
    double det = 0;
    bool comment = false;
    if (!ScanCommand(geometry, inverted, true, record, name, det, comment) ||
        !CheckCommand(record, name))
        return true;
    QzTexturedLines* view = View();
    if (!view) return false;
    if (record.type == 1 || record.type == 3 || record.type == 4)
        QzSetLineBfc(record, bfc_, inverted, det);
    QzLine* line = QzNewLine(view->ownStore, record);
    if (!line) {
        OutOfMemory();
        return false;
    }
    line->next = nullptr;
    *view->ownTail = line;
    view->ownTail = &line->next;
    try {
        if (record.type == 1) {
            view->referenceNames.push_back(std::move(name));
            view->referenceTexts.push_back(log_.currentLineText);
            view->referenceBlocks.push_back(block);
            view->references.push_back(line);
        }
        view->lines.push_back({line, LineTexmap(), block, side});
    } catch (const std::bad_alloc&) {
        OutOfMemory();
        return false;
    }
    return true;
}

bool FileReader::ReadTextureComment(std::string_view words, bool inverted) {
    if (inData_) {
        const bool ends = words.substr(0, 6) == "NOFILE" || words.substr(0, 5) == "!DATA";
        if (!ends) {
            ReadDataLine(words);
            return true;
        }
        EndData();
    }
    auto keyword = [&](std::string_view word) {
        return words.substr(0, word.size()) == word &&
               (words.size() == word.size() || words[word.size()] == ' ' ||
                words[word.size()] == '\t');
    };
    if (keyword("!TEXMAP")) return ReadTexmap(words.substr(7));
    if (words.substr(0, 2) == "!:") return ReadTextureGeometry(words.substr(2), inverted);
    if (keyword("!DATA")) {
        // A section of base64 text: the end of the file before it for the textures.
        EndTextures(true, log_.currentLine, log_.currentLineText);
        size_t pos = 5;
        QzSkipSpace(words, pos);
        std::string name(words.substr(std::min(pos, words.size())));
        QzNormaliseName(name);
        if (name.empty()) QzWarn(log_, 0, QZ_WARNING, "!DATA section without a name");
        inData_ = true;
        dataName_ = std::move(name);
        dataLine_ = log_.currentLine;
        dataLineText_ = log_.currentLineText;
        dataText_.clear();
        dataTooLong_ = false;
        return true;
    }
    if (keyword("NOFILE")) {
        EndTextures(true, log_.currentLine, log_.currentLineText);
        return true;
    }
    // A building step ends every texture block.
    if (keyword("STEP") || keyword("ROTSTEP")) EndTextures(false, 0, {});
    return true;
}

bool FileReader::Store(const QzLine& record, std::string_view text, QzLine** stored) {
    if (record.type >= 1 && record.colour != QZ_COLOUR_CURRENT && record.colour != QZ_COLOUR_EDGE) {
        if (QzAddColour(model_, record.colour) != 0) return false;
    }
    // The line as a reader with textures reads it: in the view of the part, made when
    // the part has a texture block or mapping.
    const bool geometry = record.type >= 1;
    QzTexturedLines::Side side = QzTexturedLines::Side::Both;
    const uint16_t block = geometry ? LineBlock(false, side) : 0;
    const uint16_t texmap = geometry ? LineTexmap() : 0;
    if (geometry && !current_->textured && (block || texmap) && !View()) return false;
    QzLine* line = QzNewLine(current_->store, record, text);
    if (!line) {
        OutOfMemory();
        return false;
    }
    line->next = nullptr;
    *tail_ = line;
    tail_ = &line->next;
    if (geometry && current_->textured) {
        try {
            current_->textured->lines.push_back({line, texmap, block, side});
        } catch (const std::bad_alloc&) {
            OutOfMemory();
            return false;
        }
    }
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
    QzTrimStore(block->store);
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
    EndData();
    EndTextures(true, log_.currentLine, log_.currentLineText);
    while (openBlock_ != 0) {
        QzWarn(log_, 0, QZ_WARNING, "%s END expected", QzBlockKeywords[openBlock_]);
        CloseBlock();
    }
    current_->flags |= PF_READ;
    QzTrimStore(current_->store);
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

    // A plain comment, which may carry texture mapping.
    if (!ReadTextureComment(words, inverted)) return false;
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

bool FileReader::ScanCommand(std::string_view line, bool inverted, bool texture, QzLine& record,
                             std::string& name, double& det, bool& comment, std::string* written) {
    comment = false;
    // Before the first command a line that is none is a comment (not texture geometry).
    const bool commentFirst = !texture && content_ == kNothingYet;
    QzScannedLine scan = QzScanLine(line);
    if (scan.fields == 0 || scan.tooLong) {
        comment = commentFirst;
        if (!comment) QzWarn(log_, 0, QZ_SKIPPING, "Bad line");
        return false;
    }
    // A type written with a sign ("+1", "-0") takes the same road as other numbers;
    // only a leading "0" character makes a comment.
    bool signedZero = scan.type == 0;
    if (scan.type < 0 || scan.type > 5 || signedZero) {
        comment = commentFirst;
        if (!comment) QzWarn(log_, 0, QZ_SKIPPING, "Unknown line type");
        return false;
    }
    int type = static_cast<int>(scan.type);
    if (inverted && type != 1 && !texture)
        QzWarn(log_, 0, QZ_WARNING, "Line type 1 must follow 0 BFC INVERTNEXT");
    if (scan.fields != QzArgumentCounts[type]) {
        comment = commentFirst;
        if (!comment) QzWarn(log_, 0, QZ_SKIPPING, "%d arguments expected", QzArgumentCounts[type]);
        return false;
    }
    int32_t colour = QzParseColour(scan.colour);
    if (colour < 0) {
        QzWarn(log_, 0, QZ_SKIPPING, "Bad color");
        return false;
    }

    record = QzLine{};
    record.type = type;
    record.colour = colour;
    record.fileColour = colour;
    record.lineNo = log_.currentLine;
    const float* n = scan.numbers;
    det = 0;
    name.clear();
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
        if (written) written->assign(scan.name);
        QzNormaliseName(name);
    } else {
        int vertices = type == 2 ? 2 : type == 3 ? 3 : 4;
        for (int v = 0; v < vertices; ++v) {
            record.p[v] = {n[3 * v], n[3 * v + 1], n[3 * v + 2], 0};
        }
    }
    return true;
}

bool FileReader::CheckCommand(QzLine& record, const std::string& name) {
    return QzCheckLine(record, name, current_, log_, context_.palette, context_.tolerances) == 0;
}

bool FileReader::ReadCommand(std::string_view line, std::string_view whole, bool inverted) {
    if (inData_) QzWarn(log_, 0, QZ_WARNING, "Only 0 !: lines belong in a !DATA section");
    QzLine record;
    std::string name;
    double det = 0;
    bool comment = false;
    std::string written;
    if (!ScanCommand(line, inverted, false, record, name, det, comment, &written))
        return comment ? StoreComment(whole) : true;
    EnterCommands();
    if (!CheckCommand(record, name)) return true;
    if (record.type == 1) {
        record.part = context_.textureOnly ? QzFindTexturePart(model_, log_, name)
                                           : QzFindPart(model_, log_, false, name);
        if (!record.part) return true;
    }
    if (record.type == 1 || record.type == 3 || record.type == 4)
        QzSetLineBfc(record, bfc_, inverted, det);
    QzLine* stored = nullptr;
    if (!Store(record, {}, &stored)) return false;
    // Lists of what the model places name files as the model writes them.
    if (record.type == 1 && main_ && written != name) {
        try {
            model_.writtenNames.emplace(stored, written);
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
    // A "!TEXMAP NEXT" maps this line only.
    nextForLine_ = next_;
    next_ = TexNext{};
    std::string_view line = SkipBlanks(raw);
    if (line[0] == '0') return ReadComment(line, raw, inverted);
    return ReadCommand(line, raw, inverted);
}

void FileReader::Finish() {
    EndData();
    if (!texBlocks_.empty() || texSkipped_ > 0) {
        if (log_.warningLevel >= kTexmapNoteLevel)
            QzLogAt(log_,
                    {QZ_WARNING,
                     log_.currentFile,
                     log_.currentLine,
                     "End-Of-File, TEXMAP END expected",
                     {}},
                    QzCompose("WARNING \"%s\": End-Of-File, TEXMAP END expected",
                              log_.currentFile.c_str()));
        EndTextures(false, 0, {});
    }
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
    QzTrimStore(current_->store);
    EndSection();
}

}  // namespace

int QzReadPartFile(QzReadContext& context, plat::TextFile& file, QzPart* part,
                   const char* referencedBy, bool main) {
    if (part->lines) QzFreeLines(part);
    // Room for the whole file in one allocation: a part's file rarely holds anything but
    // the part's own lines.
    QzExpectLines(part->store, file.LinesLeft());
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
