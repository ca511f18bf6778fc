// The record of drawing switches the view's commands toggle, and what the one walk
// (model/walk.h) takes of them.
#pragma once

#include "colours.h"
#include "walk.h"

struct QzRenderOptions {
    bool showType2 = true;
    bool showType3 = true;
    bool showType4 = true;
    bool showType5 = true;
    bool showAllType5 = false;
    bool colour24Black = false;
    bool seams = false;
    float seamWidth = 1.0f;  // LDraw units a part shrinks by along each axis
    bool shading = true;
    bool refreshEachPart = false;
    bool lineAsStud = false;
    bool studsLast = true;  // starts as the inverse of refreshEachPart
    bool edgesType3 = false;
    bool edgesType4 = false;
    bool vertexLists = false;
    bool randomColours = false;
    bool allTransparent = false;
    bool ditherTransparency = true;
    bool dither256 = true;
    bool bfc = true;
    // With refreshEachPart: the display is updated after every part, also one that drew
    // nothing.
    bool flushAfterEveryPart = false;
    // Faces are drawn in the colour of their culling (front 2, back 4, not certified 1)
    // instead of being culled.
    bool bfcTestColours = false;
    // "High &Quality": full drawings are made by the high-quality drawing (hqrender.h).
    bool highQuality = false;
    // Files that lie wholly behind what is drawn already are not drawn, only counted (and
    // in the high-quality drawing faces and lines too): the same picture sooner. Off only
    // to compare the two.
    bool skipHidden = true;
    // A building step is drawn with the steps before it lighter, so that what the step
    // adds stands out (building instructions).
    bool fadeEarlierSteps = false;
};

// The rules of the drawing walk under the switches: colours as drawn, studs left out
// ("Line as stud") or left to the stud pass ("Draw studs last"), seams.
inline QzWalkRules QzDrawingRules(const QzRenderOptions& o, const QzPalette& palette) {
    QzWalkRules rules;
    rules.palette = &palette;
    rules.randomColours = o.randomColours;
    rules.colour24Black = o.colour24Black;
    rules.allTransparent = o.allTransparent;
    rules.skipStuds = o.lineAsStud;
    rules.studs = o.studsLast ? QzStudRule::Defer : QzStudRule::Walk;
    rules.seams = o.seams;
    rules.seamWidth = o.seamWidth;
    rules.maxPlacements = QZ_MAX_PLACEMENTS;
    return rules;
}
