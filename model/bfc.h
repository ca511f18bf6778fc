// Back-face culling statements, the per-file culling state they drive, the culling
// bits of stored lines, and the checks and repairs every parsed line goes through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "colours.h"
#include "diagnostics.h"
#include "model.h"

// Option bits of a "0 BFC" statement.
inline constexpr uint32_t BFC_CERTIFY = 0x01;
inline constexpr uint32_t BFC_NOCERTIFY = 0x02;
inline constexpr uint32_t BFC_CLIP = 0x04;
inline constexpr uint32_t BFC_NOCLIP = 0x08;
inline constexpr uint32_t BFC_CW = 0x10;
inline constexpr uint32_t BFC_CCW = 0x20;
inline constexpr uint32_t BFC_NOWIND = 0x40;
inline constexpr uint32_t BFC_INVERTNEXT = 0x80;

enum class QzWinding { None, CW, CCW };

// Culling state of the file being read.
struct QzBfcState {
    bool certified = false;
    bool clip = true;
    QzWinding winding = QzWinding::None;
    bool invertPending = false;
};

// The 26 flat primitives whose singular matrices are repaired.
extern const char* const QzFlatPrimitives[26];
// Squared cross-product length under which three vertices count as collinear.
inline constexpr double QZ_COLLINEAR_LIMIT = 0.0001;
// Coplanarity tolerances for quads; 0 switches a check off (as it is in this program).
struct QzCoplanarTolerances {
    double tolerance = 0;
    double ratio = 0;
};

// 0: no BFC statement; above 0: its option set; -1: faulty (already reported).
int QzParseBfc(std::string_view text, QzLogContext& log);
// Applies a statement's options to the state in their fixed order.
void QzApplyBfc(QzBfcState& state, uint32_t options);
// Culling bits and winding order of an accepted type 1, 3 or 4 line; det is the
// determinant of a type-1 matrix as read, inverted whether an INVERTNEXT applies.
void QzSetLineBfc(QzLine& line, const QzBfcState& state, bool inverted, double det);
// 0 to store the (possibly repaired) line, 1 to drop it. name: the normalised name
// of a type-1 line; part: the part receiving the line (duplicate check). Problems go
// to the log; the palette tells which colours are defined.
int QzCheckLine(QzLine& line, const std::string& name, const QzPart* part, QzLogContext& log,
                const QzPalette& palette, const QzCoplanarTolerances& tolerances);
