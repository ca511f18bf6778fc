#include "sections.h"

#include <algorithm>
#include <unordered_set>

#include "diagnostics.h"
#include "drawdata.h"
#include "steps.h"
#include "walk.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipBlanks(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

std::string_view FirstWord(std::string_view text) {
    text = SkipBlanks(text);
    size_t end = 0;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    return text.substr(0, end);
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && SameLetters(text.substr(text.size() - end.size()), end);
}

// The kind of file a header's "0 !LDRAW_ORG" line gives: 1 a part, 0 a model, -1 none
// or another kind.
int HeaderKind(const QzPart& file) {
    for (const QzLine* line = file.lines; line && line->type == 0; line = line->next) {
        if (!line->text) continue;
        std::string_view words = SkipBlanks(line->text);
        if (FirstWord(words) != "!LDRAW_ORG") continue;
        const std::string_view kind = FirstWord(words.substr(10));
        for (const char* part : {"Part", "Unofficial_Part", "Shortcut", "Unofficial_Shortcut"})
            if (SameLetters(kind, part)) return 1;
        for (const char* model : {"Model", "Unofficial_Model"})
            if (SameLetters(kind, model)) return 0;
        return -1;
    }
    return -1;
}

// The walk's rules for following the files a model places: colours kept as written, so
// that no palette is needed.
QzWalkRules FollowingRules() {
    QzWalkRules rules;
    rules.colours = QzColourRule::Symbolic;
    rules.maxPlacements = QZ_MAX_PLACEMENTS;
    return rules;
}

// Counts the placements of submodels, walking into each at every placement.
class PlacementCounter {
  public:
    using Frame = int;
    explicit PlacementCounter(QzPlacements& out) : out_(out) {}
    Frame Place(const Frame&, const QzPlaced&) { return 0; }
    bool Enter(const QzPlaced& placed, const Frame&, const QzDrawItem*, const QzDrawItem*) {
        if (placed.top || (placed.part->flags & PF_INTERNAL)) return true;
        if (!QzIsSubmodel(*placed.part)) return false;
        ++out_.count[placed.part];
        return true;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) {}
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

  private:
    QzPlacements& out_;
};

// Puts the steps of the main model and its submodels in building order. Each submodel is
// walked into at its first placement only. Meeting a reference in step k of a file, every
// step of that file before k is complete: those are put in order, and a submodel the
// reference places is then built, before step k itself. A file's last steps follow when
// its walk ends.
class OrderBuilder {
  public:
    // The file whose step numbers the lines being walked have, and, inside a transform
    // block, the step of the whole block (0 in the file itself); the file and step of
    // the reference that placed it.
    struct Frame {
        const QzPart* file;
        int step;
        const QzPart* from;
        int fromStep;
    };

    explicit OrderBuilder(std::vector<QzBuildStep>& order) : order_(order) {}

    Frame Place(const Frame& parent, const QzPlaced& child) {
        const int at = parent.step > 0 ? parent.step : StepOf(*parent.file, child.line);
        if (child.part->flags & PF_INTERNAL) return {parent.file, at, parent.file, at};
        return {child.part, 0, parent.file, at};
    }
    bool Enter(const QzPlaced& placed, const Frame& frame, const QzDrawItem*, const QzDrawItem*) {
        if (placed.top) {
            Begin(*placed.part);
            return true;
        }
        if (placed.part->flags & PF_INTERNAL) return true;
        Finish(frame.from, frame.fromStep - 1);
        File& from = files_[frame.from];
        from.references[static_cast<size_t>(frame.fromStep - 1)].push_back(placed.line);
        if (!QzIsSubmodel(*placed.part) || files_.count(placed.part)) return false;
        Begin(*placed.part);
        return true;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) {}
    void Leave(const QzPlaced& placed, const Frame&) {
        if (placed.part->flags & PF_INTERNAL) return;
        Finish(placed.part, files_[placed.part].count);
    }
    void Passed(const QzPlaced&) {}
    bool Full() const { return false; }

  private:
    struct File {
        int count = 1;
        // The next step to put in order.
        int next = 1;
        std::unordered_map<const QzLine*, int> stepOf;
        std::vector<std::vector<const QzLine*>> references;
    };

    void Begin(const QzPart& part) {
        File& file = files_[&part];
        const std::vector<const QzLine*> ends = QzStepEnds(part);
        file.count = ends.empty() ? 1 : static_cast<int>(ends.size());
        file.references.resize(static_cast<size_t>(file.count));
        // A step's last line belongs to it; lines after the last step's end are comments.
        int step = 1;
        for (const QzLine* line = part.lines; line; line = line->next) {
            if (line->type == 1) file.stepOf[line] = std::min(step, file.count);
            if (static_cast<size_t>(step) <= ends.size() &&
                line == ends[static_cast<size_t>(step - 1)])
                ++step;
        }
    }
    int StepOf(const QzPart& part, const QzLine* line) {
        const File& file = files_[&part];
        const auto found = file.stepOf.find(line);
        return found == file.stepOf.end() ? file.count : found->second;
    }
    // Puts the file's steps up to `last` in order.
    void Finish(const QzPart* part, int last) {
        File& file = files_[part];
        for (; file.next <= last && file.next <= file.count; ++file.next) {
            QzBuildStep& step = order_.emplace_back();
            step.file = part;
            step.step = file.next;
            step.count = file.count;
            step.references = std::move(file.references[static_cast<size_t>(file.next - 1)]);
        }
    }

    std::vector<QzBuildStep>& order_;
    std::unordered_map<const QzPart*, File> files_;
};

}  // namespace

bool QzIsSectionPart(const QzPart& section) {
    const int kind = HeaderKind(section);
    if (kind >= 0) return kind == 1;
    return EndsWith(section.name, ".dat");
}

bool QzIsSubmodel(const QzPart& file) {
    return (file.flags & PF_MAIN_SECTION) && !(file.flags & PF_SECTION_PART);
}

std::vector<const QzModelSection*> QzSubmodels(const QzModel& model) {
    std::vector<const QzModelSection*> submodels;
    for (const QzModelSection& section : model.sections) {
        if (section.index <= 0 || section.index >= model.partCount) continue;
        const QzPart& part = model.parts[section.index];
        if (!(part.flags & PF_SECTION_PART)) submodels.push_back(&section);
    }
    return submodels;
}

const QzPart* QzFindSubmodel(const QzModel& model, std::string_view name) {
    if (!model.Loaded()) return nullptr;
    std::string wanted(name);
    QzNormaliseName(wanted);
    if (!model.sections.empty()) {
        std::string main = model.sections.front().name;
        QzNormaliseName(main);
        if (main == wanted) return &model.Main();
    }
    for (const QzModelSection* section : QzSubmodels(model))
        if (model.parts[section->index].name == wanted) return &model.parts[section->index];
    return nullptr;
}

QzPart* QzFindSubmodel(QzModel& model, std::string_view name) {
    return const_cast<QzPart*>(QzFindSubmodel(static_cast<const QzModel&>(model), name));
}

std::string QzFileName(const QzModel& model, const QzPart& file) {
    if (model.Loaded() && &file == &model.Main()) {
        if (!model.sections.empty()) return model.sections.front().name;
        const size_t cut = file.name.find_last_of("/\\");
        return cut == std::string::npos ? file.name : file.name.substr(cut + 1);
    }
    for (const QzModelSection& section : model.sections)
        if (section.index > 0 && section.index < model.partCount &&
            &model.parts[section.index] == &file)
            return section.name;
    return file.name;
}

const std::string& QzWrittenName(const QzModel& model, const QzLine& reference) {
    if (const auto found = model.writtenNames.find(&reference); found != model.writtenNames.end())
        return found->second;
    static const std::string kNone;
    return reference.part ? reference.part->name : kNone;
}

QzFileTitle QzTitleOf(const QzPart& file) {
    QzFileTitle found;
    constexpr std::string_view kAuthor = "Author:";
    constexpr size_t kLongest = QZ_TITLE_BUFFER - 1;
    for (const QzLine* line = file.lines; line; line = line->next) {
        // A BFC statement keeps its option bits; a transform block's lines name it.
        if (line->type != 0 || !line->text || line->bfc != 0) continue;
        const std::string_view words = SkipBlanks(line->text);
        const std::string_view first = FirstWord(words);
        if (first == "TRANSLATE" || first == "ROTATE" || first == "SCALE" || first == "TRANSFORM")
            continue;
        if (words.substr(0, kAuthor.size()) == kAuthor) {
            if (found.author.empty())
                found.author = SkipBlanks(words.substr(kAuthor.size())).substr(0, kLongest);
        } else if (found.title.empty()) {
            found.title = words.substr(0, kLongest);
        }
    }
    return found;
}

QzPlacements QzCountPlacements(const QzPart& main) {
    QzPlacements placements;
    if (!QzPrepareDrawData(&main)) {
        placements.complete = false;
        return placements;
    }
    PlacementCounter counter(placements);
    placements.complete = QzWalk(FollowingRules(), main, nullptr, QZ_COLOUR_CURRENT, false,
                                 PlacementCounter::Frame{}, counter);
    return placements;
}

std::vector<QzBuildStep> QzBuildOrder(const QzPart& main) {
    std::vector<QzBuildStep> order;
    if (!QzPrepareDrawData(&main)) return order;
    OrderBuilder builder(order);
    // Each file is walked once: far fewer placements than the bound.
    QzWalk(FollowingRules(), main, nullptr, QZ_COLOUR_CURRENT, false,
           OrderBuilder::Frame{&main, 0, nullptr, 0}, builder);
    return order;
}
