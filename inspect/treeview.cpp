#include "treeview.h"

#include <algorithm>

#include "format.h"

namespace inspect {

namespace {

// Direct colours are shown in hexadecimal, all others in decimal.
constexpr int32_t kFirstDirectColour = 0x2000000;
constexpr int32_t kLastDirectColour = 0x7FFFFFF;

std::string ColourText(int32_t colour) {
    if (colour >= kFirstDirectColour && colour <= kLastDirectColour) {
        return plat::Format("0x%X", static_cast<unsigned>(colour));
    }
    return plat::Format("%d", colour);
}

double D(float v) { return static_cast<double>(v); }

const char* PartName(const QzLine& line) { return line.part ? line.part->name.c_str() : ""; }

// "%g %g %g" of one stored vertex.
std::string PointText(const QzVector4& p) {
    return plat::Format("%g %g %g", D(p.x), D(p.y), D(p.z));
}

// The line as LDraw writes it, with the flag text its type and BFC bits give.
std::string LineText(const QzLine& line, int textMode, std::string& flags) {
    const std::string colour = ColourText(line.colour);
    switch (line.type) {
        case 0:
            flags = plat::Format("0x%X ", line.bfc);
            return "0 " + std::string(line.text ? line.text : "");
        case 1: {
            if (line.bfc & LF_CULL) {
                flags = "CLIP ";
                if (line.bfc & LF_INVERT) flags += "INVERT ";
            }
            if (textMode == kTextBoundingBox) {
                const QzBox box = line.part ? line.part->box : QzBox{};
                return plat::Format("1 %s  <%g,%g,%g> <%g,%g,%g>  ", colour.c_str(), D(box.min.x),
                                    D(box.min.y), D(box.min.z), D(box.max.x), D(box.max.y),
                                    D(box.max.z)) +
                       PartName(line);
            }
            // Stored as rows (a b c x), (d e f y), (g h i z); LDraw writes x y z a..i.
            const QzMatrix& m = QzLineMatrix(line);
            return plat::Format("1 %s  %g %g %g  %g %g %g  %g %g %g  %g %g %g  ", colour.c_str(),
                                D(m.m[0][3]), D(m.m[1][3]), D(m.m[2][3]), D(m.m[0][0]),
                                D(m.m[0][1]), D(m.m[0][2]), D(m.m[1][0]), D(m.m[1][1]),
                                D(m.m[1][2]), D(m.m[2][0]), D(m.m[2][1]), D(m.m[2][2])) +
                   PartName(line);
        }
        case 2:
            return "2 " + colour + "  " + PointText(line.p[0]) + "  " + PointText(line.p[1]);
        case 3:
            if (line.bfc != 0) flags = "CLIP ";
            return "3 " + colour + "  " + PointText(line.p[0]) + "  " + PointText(line.p[1]) +
                   "  " + PointText(line.p[2]);
        case 4:
        case 5:
            if (line.type == 4 && line.bfc != 0) flags = "CLIP ";
            return plat::Format("%d ", line.type) + colour + "  " + PointText(line.p[0]) + "  " +
                   PointText(line.p[1]) + "  " + PointText(line.p[2]) + "  " + PointText(line.p[3]);
        default:
            return plat::Format("Unknown linetype: %d", line.type);
    }
}

}  // namespace

std::string ComposeItemText(const QzLine& line, bool showLineNumbers, int textMode) {
    std::string flags;
    const std::string text = LineText(line, textMode, flags);
    std::string result;
    if (showLineNumbers) result = plat::Format("%u: ", line.lineNo);
    if (textMode == kTextBfc) result += flags;
    result += text;
    return result;
}

TreeModel::TreeModel() { items.emplace_back(); }

void TreeModel::Open(const QzPart* model) {
    items.clear();
    items.emplace_back();
    liveCount = 0;
    bufferIndex = 0;
    showLineNumbers = false;
    textMode = kTextNormal;
    InsertLines(model, kRoot);
}

TreeModel::ItemId TreeModel::InsertItem(ItemId parent, const QzLine* line) {
    const ItemId id = static_cast<ItemId>(items.size());
    Item item;
    item.line = line;
    item.parent = parent;
    items.push_back(std::move(item));
    items[parent].children.push_back(id);
    ++liveCount;
    return id;
}

void TreeModel::DeleteItem(ItemId item) {
    for (ItemId child : std::vector<ItemId>(items[item].children)) DeleteItem(child);
    std::vector<ItemId>& siblings = items[items[item].parent].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), item));
    items[item].deleted = true;
    --liveCount;
}

void TreeModel::InsertLines(const QzPart* part, ItemId parent) {
    if (!part || !IsValid(parent)) return;
    for (const QzLine* line = part->lines; line; line = line->next) {
        const ItemId item = InsertItem(parent, line);
        if (line->type == 1) InsertItem(item, nullptr);
    }
}

bool TreeModel::OnItemExpanding(ItemId item) {
    // An item whose part had no lines has no child left: nothing to fill.
    if (!IsValid(item) || items[item].children.empty()) return true;
    const ItemId first = items[item].children.front();
    if (IsPlaceholder(first)) {
        DeleteItem(first);
        const QzLine* line = items[item].line;
        if (line) InsertLines(line->part, item);
    }
    return true;
}

const std::string& TreeModel::OnGetItemText(ItemId item) {
    bufferIndex = (bufferIndex + 1) % static_cast<int>(buffers.size());
    std::string& buffer = buffers[bufferIndex];
    const QzLine* line = Line(item);
    buffer = line ? ComposeItemText(*line, showLineNumbers, textMode) : std::string();
    return buffer;
}

bool TreeModel::IsValid(ItemId item) const {
    return item >= 0 && static_cast<size_t>(item) < items.size() && !items[item].deleted;
}

const QzLine* TreeModel::Line(ItemId item) const {
    return IsValid(item) ? items[item].line : nullptr;
}

bool TreeModel::IsPlaceholder(ItemId item) const {
    return item != kRoot && IsValid(item) && items[item].line == nullptr;
}

TreeModel::ItemId TreeModel::Parent(ItemId item) const {
    return IsValid(item) ? items[item].parent : kRoot;
}

const std::vector<TreeModel::ItemId>& TreeModel::Children(ItemId item) const {
    static const std::vector<ItemId> none;
    return IsValid(item) ? items[item].children : none;
}

}  // namespace inspect
