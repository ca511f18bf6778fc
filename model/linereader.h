// Reading one LDraw file into stored lines: the line grammar of types 0 to 5, MPD
// sections, transform blocks, title and author, and the "~Moved to " notice. Beside the
// lines, what a reader with textures sees of the file (texmap.h): the "!TEXMAP" blocks,
// their "0 !:" geometry, and the "!DATA" sections of the main model's file.
#pragma once

#include <cstdint>
#include <string_view>

#include "bfc.h"
#include "colours.h"
#include "diagnostics.h"
#include "files.h"
#include "geometry.h"
#include "model.h"
#include "tokens.h"

// Transform blocks open at once in one file at most; a deeper opening line is
// dropped, so that no walk over the nested parts can exhaust the stack.
inline constexpr int QZ_MAX_BLOCK_DEPTH = 100;

// Keywords of the transform meta-commands by block kind (index 0 unused).
extern const char* const QzBlockKeywords[5];

// 0 for no transform meta-command; the block kind (1 to 4) for an opening line, with
// matrix set to the block's transform; minus the kind for its "END" line. The text
// is the whole line, starting with its "0". Malformed numbers go to the log.
int QzParseMeta(std::string_view line, QzMatrix& matrix, QzLogContext& log);

// What reading a file needs besides the file: the model that receives the lines (its
// table, title, author and colours used), the log, the colours defined and the
// tolerances of the checks.
struct QzReadContext {
    QzModel& model;
    QzLogContext& log;
    const QzPalette& palette;
    QzCoplanarTolerances tolerances;
    // A file that only texture geometry reaches: its references lead to the model's
    // texture parts rather than into the part table.
    bool textureOnly = false;
};

// Reads the open file to its end into the part (and the sections and blocks it
// opens), then closes it. 1 when the whole file was read, 0 when memory ran out.
int QzReadPartFile(QzReadContext& context, plat::TextFile& file, QzPart* part,
                   const char* referencedBy, bool main);
