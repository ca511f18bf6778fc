// The model tree without any window: one item per stored line, the lines of a
// referenced part inserted under its item only when that item is first opened, and
// the text of an item composed only when it is asked for. A tree control (or the
// command line) drives it through InsertLines, OnItemExpanding and OnGetItemText.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model.h"

namespace inspect {

// What an item's text shows besides the line itself.
inline constexpr int kTextNormal = 0;
inline constexpr int kTextBfc = 1;
inline constexpr int kTextBoundingBox = 2;

// Composes the text of an item that stands for `line`: its line number when
// `showLineNumbers` is on, its BFC flags in mode kTextBfc, then the line as LDraw
// writes it (a referenced part's bounding box instead of its matrix in mode
// kTextBoundingBox). Texts grow as needed: long comments and names are never cut.
std::string ComposeItemText(const QzLine& line, bool showLineNumbers, int textMode);

class TreeModel {
  public:
    // Items are numbered from 1 in order of insertion; a number stays valid (and
    // never names another item) for the life of the model, also after the item was
    // deleted. The root is 0 and stands for no line.
    using ItemId = int32_t;
    static constexpr ItemId kRoot = 0;

    TreeModel();

    // Starts a fresh showing: no items, normal mode, no line numbers, then the lines
    // of `model` (the main model) at the top level. A null model gives an empty tree.
    void Open(const QzPart* model);

    // Inserts one item per line of `part`, in list order, at the end of `parent`'s
    // children. A type-1 item gets one placeholder child so that it can be opened.
    void InsertLines(const QzPart* part, ItemId parent);

    // Called before an item opens or closes. The first opening replaces the
    // placeholder with the lines of the referenced part; later ones change nothing.
    // Always allows the change.
    bool OnItemExpanding(ItemId item);

    // The item's text, composed now from its line and the current options. The text
    // stays valid until the third following request (three texts rotate), as a tree
    // control that keeps the texts of its last requests needs. A placeholder (or an
    // unknown item) has an empty text.
    const std::string& OnGetItemText(ItemId item);

    // The "Line Numbers" check box and the three mode buttons.
    void SetShowLineNumbers(bool on) { showLineNumbers = on; }
    void SetTextMode(int mode) { textMode = mode; }
    bool ShowLineNumbers() const { return showLineNumbers; }
    int TextMode() const { return textMode; }

    // Structure, for whoever displays the tree.
    bool IsValid(ItemId item) const;
    // The line an item stands for; null for the root and for placeholders.
    const QzLine* Line(ItemId item) const;
    bool IsPlaceholder(ItemId item) const;
    ItemId Parent(ItemId item) const;
    // Current children in order (placeholders included); empty for unknown items.
    const std::vector<ItemId>& Children(ItemId item) const;
    // Whether the item shows an expand button: it has a child, real or placeholder.
    bool HasExpandButton(ItemId item) const { return !Children(item).empty(); }
    // Items present now, placeholders included, the root excluded.
    size_t LiveItemCount() const { return liveCount; }

  private:
    struct Item {
        const QzLine* line = nullptr;  // null: root or placeholder
        ItemId parent = kRoot;
        bool deleted = false;
        std::vector<ItemId> children;
    };

    ItemId InsertItem(ItemId parent, const QzLine* line);
    void DeleteItem(ItemId item);

    std::vector<Item> items;
    size_t liveCount = 0;
    std::array<std::string, 3> buffers;
    int bufferIndex = 0;
    bool showLineNumbers = false;
    int textMode = kTextNormal;
};

}  // namespace inspect
