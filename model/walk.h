// The one walk of a model's part tree. Every drawing, preview, mesh and export walks
// the model through QzWalk, which applies the rules of a reference in one place: the
// colour a reference passes on (16 and 24, random colours at the top, all
// transparent), culling and inversion handed to the subfile, the stud references left
// out or left to a pass of their own, the seams that shrink a part placed in a model,
// the end of a building step in the top file, and a bound on the number of
// placements. What a walk makes of it is its visitor's: a list of instances to draw,
// a mesh, a box preview, an export.
//
//   struct Counter {
//       using Frame = QzMatrix;                    // whatever a placement carries
//       Frame Place(const Frame& parent, const QzPlaced& child);  // the child's frame
//       bool Enter(const QzPlaced&, const Frame&, const QzDrawItem* begin,
//                  const QzDrawItem* end);         // false: taken whole, not walked into
//       void Run(const QzPlaced&, const Frame&, const QzDrawItem* begin,
//                const QzDrawItem* end);           // lines 2 to 5 between references
//       void Leave(const QzPlaced&, const Frame&);
//       void Passed(const QzPlaced&);              // left out by the stud pass
//       bool Full() const;                         // true: the walk stops here
//   };
//   QzWalk(rules, model.Main(), stepEnd, 7, cull, screen, counter);
//
// Every part reached must have its walk form (QzPrepareDrawData) before the walk.
#pragma once

#include <algorithm>
#include <cstdint>

#include "colours.h"
#include "drawdata.h"
#include "geometry.h"
#include "model.h"

// Edge colours of colours 0 to 15.
extern const int32_t QzEdgeColours[16];

// The colour that colour 24 (the edge colour) stands for under colour `inherited`: black
// when black24 ("Color 24 as black"), else the edge colour LDConfig.ldr gives it, else
// the classic edge colour of colours 0 to 15, else black.
int32_t QzEdgeColour(const QzPalette& palette, int32_t inherited, bool black24);

// The colour a line of colour c takes under "Show all colors as transparent": an opaque
// colour of LDConfig.ldr turns into the direct transparent colour of its value
// (0x3RRGGBB), a classic colour into its transparent one, a direct opaque colour into
// its direct transparent one.
int32_t QzAllTransparentColour(const QzPalette& palette, int32_t c);

// How far a faded colour (earlier building steps) is taken towards white: 0 keeps it,
// 1 makes it white.
inline constexpr float QZ_FADE_TOWARDS_WHITE = 0.6f;

// The colour that colour c takes on lines of earlier building steps, which a picture of a
// step shows lighter: the direct colour (0x2RRGGBB, or 0x3RRGGBB for a transparent one)
// of c taken QZ_FADE_TOWARDS_WHITE towards white. A colour the palette does not define
// stays as it is.
int32_t QzFadedColour(const QzPalette& palette, int32_t c);

// A colour as a mesh keeps it apart from where it is placed: 16 for the colour of the
// placement, and with this bit, the edge colour of the colour in the other bits.
inline constexpr int32_t QZ_EDGE_OF = 0x40000000;

// How a reference's colour is worked out.
enum class QzColourRule : uint8_t {
    // As a drawing shows it: 16 is the inherited colour, 24 its edge colour, random
    // colours at the top and all-transparent as switched.
    Drawing,
    // As the box previews show it: 24 by the inherited colour alone (never black), no
    // random colours.
    Preview,
    // As a mesh keeps it: 16 and 24 stay relative to the placement (QZ_EDGE_OF).
    Symbolic,
};

// What a walk does with references to stud files.
enum class QzStudRule : uint8_t {
    // Walked as every other file.
    Walk,
    // Left out of this walk, for a stud pass after it ("Draw studs last").
    Defer,
    // The stud pass: only the references that lead to studs are walked, the studs in
    // full (studs inside them included); every other reference is passed over (Passed).
    Only,
};

struct QzWalkRules {
    const QzPalette* palette = nullptr;
    QzColourRule colours = QzColourRule::Drawing;
    bool randomColours = false;
    bool colour24Black = false;
    bool allTransparent = false;
    QzStudRule studs = QzStudRule::Walk;
    // References to studs are never walked ("Line as stud" draws them otherwise).
    bool skipStuds = false;
    // A part of the parts folder placed in a model shrinks about its middle by seamWidth
    // along every axis ("Seams").
    bool seams = false;
    float seamWidth = 1.0f;
    // Whether a reference turns its subfile inside out by its mirror bit (the box
    // previews) rather than by its BFC INVERTNEXT bit.
    bool invertByMirror = false;
    // Whether references to files without geometry are left out (the box previews).
    bool skipEmpty = false;
    // A walk that would place more files than this stops (QzWalk returns false).
    uint64_t maxPlacements = 0;
    // Whether the walk reads the files as a reader with textures does: the "0 !:"
    // geometry of texture mapping in, the FALLBACK geometry out (drawdata.h).
    bool textures = false;
    // The top file's lines up to and including this one (the building steps before the
    // one drawn), and everything they place, are walked as faded (QzPlaced::faded), for
    // drawings that show them lighter; null for none.
    const QzLine* fadeThrough = nullptr;
};

// The most placements of files a drawing, preview or export walks: a file of ten levels
// of ten references places ten thousand million, the largest real models a few million
// (the Millennium Falcon of the library 371 thousand). Walking this many takes a few
// seconds.
inline constexpr uint64_t QZ_MAX_PLACEMENTS = 5'000'000;

// One placed file: the top file, or a reference and what it passes on.
struct QzPlaced {
    const QzPart* part;
    // The reference that placed it; null for the top file.
    const QzLine* line;
    int32_t colour;
    bool cull;
    bool invert;
    // The top file (its lines take random colours).
    bool top;
    // A part shrunk for seams (the frame multiplies by QzSeamShrink).
    bool shrink;
    // Inside a stud of a stud pass.
    bool inStud;
    int depth;
    // In a walk with textures: the texture mapping of the reference (1 + its index in
    // the texture mappings of the file that holds the reference), 0 for none of its own.
    uint16_t texmap;
    // Lines of the top file's earlier building steps, or placed by them (fadeThrough).
    bool faded = false;
};

// The colour of a stored line of types 1 to 5 under the colour its file is placed in,
// by a rule known where it is called (the drawings' inner loops).
template <QzColourRule kRule>
inline int32_t QzLineColourBy(const QzWalkRules& rules, const QzLine& line, int32_t inherited,
                              bool top) {
    int32_t c = line.colour;
    if constexpr (kRule == QzColourRule::Symbolic) {
        if (c == QZ_COLOUR_CURRENT) return inherited;
        if (c == QZ_COLOUR_EDGE) return (inherited & ~QZ_EDGE_OF) | QZ_EDGE_OF;
        return c;
    } else {
        constexpr bool drawing = kRule == QzColourRule::Drawing;
        if (drawing && top && rules.randomColours) {
            c = line.randomColour;
        } else if (c == QZ_COLOUR_CURRENT) {
            c = inherited;
        } else if (c == QZ_COLOUR_EDGE) {
            c = QzEdgeColour(*rules.palette, inherited, drawing && rules.colour24Black);
        }
        if (rules.allTransparent) c = QzAllTransparentColour(*rules.palette, c);
        return c;
    }
}

// The colour of a stored line of types 1 to 5 under the colour its file is placed in.
inline int32_t QzLineColour(const QzWalkRules& rules, const QzLine& line, int32_t inherited,
                            bool top) {
    switch (rules.colours) {
        case QzColourRule::Symbolic:
            return QzLineColourBy<QzColourRule::Symbolic>(rules, line, inherited, top);
        case QzColourRule::Preview:
            return QzLineColourBy<QzColourRule::Preview>(rules, line, inherited, top);
        case QzColourRule::Drawing:
            break;
    }
    return QzLineColourBy<QzColourRule::Drawing>(rules, line, inherited, top);
}

// Scale about the centre of the part's box so that it becomes `width` smaller along
// every axis that has an extent: the seams between parts, as every walk shrinks them.
QzMatrix QzSeamShrink(const QzPart& sub, float width);
// Whether the seams shrink a part sub placed in parent: a part of the parts folder placed
// in a model, with "Seams" on.
inline bool QzShrinksForSeams(bool seams, const QzPart& parent, const QzPart& sub) {
    return seams && (sub.flags & PF_PARTS_DIR) && !(parent.flags & PF_PARTS_DIR);
}

// The number of the top file's walk-form items up to and including its line `stop`
// (all of them for null): where a building step ends. With textures, of the form a
// reader with textures walks.
size_t QzItemsUpTo(const QzPart& part, const QzLine* stop, bool textures = false);

// The walk form of a prepared part for the rules: its items and the positions of its
// references.
inline const std::vector<QzDrawItem>& QzWalkItems(const QzPartCache& cache, bool textures) {
    return textures && cache.textured ? cache.texturedItems : cache.items;
}
inline const std::vector<uint32_t>& QzWalkReferences(const QzPartCache& cache, bool textures) {
    return textures && cache.textured ? cache.texturedReferences : cache.references;
}

namespace qz_walk {

template <class V>
class Walker {
  public:
    using Frame = typename V::Frame;
    Walker(const QzWalkRules& rules, V& visitor) : r_(rules), v_(visitor) {}

    bool Walk(const QzPlaced& placed, const Frame& frame, size_t itemsEnd) {
        const QzPartCache& cache = *placed.part->cache;
        const QzDrawItem* items = QzWalkItems(cache, r_.textures).data();
        if (!v_.Enter(placed, frame, items, items + itemsEnd)) return !stopped_;
        // The items of the top file's earlier steps, when they are faded.
        const size_t fadeEnd =
            placed.top && r_.fadeThrough
                ? std::min(QzItemsUpTo(*placed.part, r_.fadeThrough, r_.textures), itemsEnd)
                : 0;
        size_t runBegin = 0;
        for (const uint32_t i : QzWalkReferences(cache, r_.textures)) {
            if (i >= itemsEnd) break;
            if (runBegin < i) Run(placed, frame, items, runBegin, i, fadeEnd);
            runBegin = i + 1;
            Reference(placed, frame, items[i], i < fadeEnd);
            if (stopped_) return false;
        }
        if (runBegin < itemsEnd) Run(placed, frame, items, runBegin, itemsEnd, fadeEnd);
        v_.Leave(placed, frame);
        return true;
    }

  private:
    // Items begin to end of a placed file, split where the faded ones end.
    void Run(const QzPlaced& placed, const Frame& frame, const QzDrawItem* items, size_t begin,
             size_t end, size_t fadeEnd) {
        if (begin < fadeEnd) {
            QzPlaced faded = placed;
            faded.faded = true;
            const size_t split = end < fadeEnd ? end : fadeEnd;
            v_.Run(faded, frame, items + begin, items + split);
            begin = split;
        }
        if (begin < end) v_.Run(placed, frame, items + begin, items + end);
    }

    void Reference(const QzPlaced& parent, const Frame& frame, const QzDrawItem& item, bool faded) {
        const QzLine& line = *item.line;
        const QzPart* sub = line.part;
        if (!sub) return;
        const bool stud = (sub->flags & PF_STUD) != 0;
        bool inStud = parent.inStud;
        if (stud && !parent.inStud) {
            if (r_.skipStuds || r_.studs == QzStudRule::Defer) return;
            if (r_.studs == QzStudRule::Only) inStud = true;
        } else if (stud && r_.skipStuds) {
            return;
        }
        if (r_.skipEmpty && (sub->flags & PF_EMPTY)) return;
        const uint32_t turn = r_.invertByMirror ? LF_MIRROR : LF_INVERT;
        const QzPlaced child{sub,
                             &line,
                             QzLineColour(r_, line, parent.colour, parent.top),
                             parent.cull && (line.bfc & LF_CULL),
                             parent.invert != ((line.bfc & turn) != 0),
                             false,
                             QzShrinksForSeams(r_.seams, *parent.part, *sub),
                             inStud,
                             parent.depth + 1,
                             item.texmap,
                             parent.faded || faded};
        if (r_.studs == QzStudRule::Only && !inStud && !sub->cache->studsBelow) {
            v_.Passed(child);
            return;
        }
        if ((r_.maxPlacements && ++placements_ > r_.maxPlacements) || v_.Full()) {
            stopped_ = true;
            return;
        }
        Walk(child, v_.Place(frame, child), QzWalkItems(*sub->cache, r_.textures).size());
    }

    const QzWalkRules& r_;
    V& v_;
    uint64_t placements_ = 0;
    bool stopped_ = false;
};

}  // namespace qz_walk

// Walks `top` placed by `frame` in colour `colour`, its lines up to and including
// `stop` (all for null), and everything they reference, in the order of the lines.
// False when the walk stopped at the rules' bound on placements or because the visitor
// was full.
template <class V>
bool QzWalk(const QzWalkRules& rules, const QzPart& top, const QzLine* stop, int32_t colour,
            bool cull, const typename V::Frame& frame, V& visitor) {
    const QzPlaced placed{&top, nullptr, colour, cull, false, true, false, false, 0, 0};
    qz_walk::Walker<V> walker(rules, visitor);
    return walker.Walk(placed, frame, QzItemsUpTo(top, stop, rules.textures)) && !visitor.Full();
}
