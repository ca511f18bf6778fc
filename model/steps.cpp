#include "steps.h"

#include <string_view>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool QzIsStepLine(const QzLine& line) {
    if (line.type != 0 || !line.text) return false;
    std::string_view text(line.text);
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    const std::string_view word = text.substr(start, end - start);
    return word == "STEP" || word == "ROTSTEP";
}

std::vector<const QzLine*> QzStepEnds(const QzPart& main) {
    std::vector<const QzLine*> ends;
    bool drawableAfter = false;
    const QzLine* last = nullptr;
    for (const QzLine* line = main.lines; line; line = line->next) {
        last = line;
        if (QzIsStepLine(*line)) {
            ends.push_back(line);
            drawableAfter = false;
        } else if (line->type >= 1 && line->type <= 5) {
            drawableAfter = true;
        }
    }
    if (!ends.empty() && drawableAfter) ends.push_back(last);
    return ends;
}

int QzStepCount(const QzPart& main) {
    const size_t count = QzStepEnds(main).size();
    return count == 0 ? 1 : static_cast<int>(count);
}

const QzLine* QzStepLastLine(const QzPart& main, int step) {
    if (step <= 0) return nullptr;
    const std::vector<const QzLine*> ends = QzStepEnds(main);
    // The last step draws everything: lines after it are comments at most.
    if (static_cast<size_t>(step) >= ends.size()) return nullptr;
    return ends[static_cast<size_t>(step) - 1];
}
