#include "bfc.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "colours.h"
#include "diagnostics.h"
#include "geometry.h"

const char* const QzFlatPrimitives[26] = {
    "1-4disc.dat",  "1-4edge.dat", "1-4ndis.dat", "1-8disc.dat",  "1-8edge.dat", "1-8ndis.dat",
    "2-4disc.dat",  "2-4edge.dat", "2-4ndis.dat", "2-4ring3.dat", "3-4disc.dat", "3-4edge.dat",
    "3-4ndis.dat",  "3-8edge.dat", "4-4disc.dat", "4-4edge.dat",  "4-4ndis.dat", "axlehol2.dat",
    "axlehol3.dat", "rect.dat",    "ring1.dat",   "ring2.dat",    "ring3.dat",   "ring4.dat",
    "ring7.dat",    "ring10.dat"};

namespace {

struct BfcWord {
    const char* word;
    uint32_t bit;
};
constexpr BfcWord kBfcWords[8] = {{"CERTIFY", BFC_CERTIFY}, {"NOCERTIFY", BFC_NOCERTIFY},
                                  {"CLIP", BFC_CLIP},       {"NOCLIP", BFC_NOCLIP},
                                  {"CW", BFC_CW},           {"CCW", BFC_CCW},
                                  {"NOWIND", BFC_NOWIND},   {"INVERTNEXT", BFC_INVERTNEXT}};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

// Whether the text at pos holds exactly the word, followed by a blank or the end.
bool WordAt(std::string_view text, size_t pos, std::string_view word) {
    if (text.substr(pos, word.size()) != word) return false;
    size_t after = pos + word.size();
    return after == text.size() || IsBlank(text[after]);
}

bool SameVertex(const QzVector4& a, const QzVector4& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

QzVector Vec(const QzVector4& v) { return {v.x, v.y, v.z}; }

// Squared length of (a - c) x (b - c): twice the triangle's area, squared.
double CollinearMeasure(const QzVector4& a, const QzVector4& b, const QzVector4& c) {
    QzVector ac, bc, cross;
    QzVecSub(ac, Vec(a), Vec(c));
    QzVecSub(bc, Vec(b), Vec(c));
    QzVecCross(cross, ac, bc);
    return QzVecDot(cross, cross);
}

// Edge vector from vertex i to vertex j.
QzVector Edge(const QzLine& line, int i, int j) {
    QzVector e;
    QzVecSub(e, Vec(line.p[j]), Vec(line.p[i]));
    return e;
}

void Reorder(QzLine& line, std::initializer_list<int> order) {
    QzVector4 old[4] = {line.p[0], line.p[1], line.p[2], line.p[3]};
    int k = 0;
    for (int from : order) line.p[k++] = old[from];
}

bool IsFlatPrimitive(const std::string& name) {
    for (const char* flat : QzFlatPrimitives) {
        if (name == flat) return true;
    }
    return false;
}

// Type 1 with a singular matrix: flat primitives get a unit y axis where it is
// missing; anything else is dropped.
int CheckReference(QzLine& line, const std::string& name, QzLogContext& log) {
    QzMatrix& m = QzLineMatrix(line);
    if (QzMatDet3(m) != 0) return 0;
    if (!IsFlatPrimitive(name)) {
        QzWarn(log, 0, QZ_SKIPPING, "Singular matrix");
        return 1;
    }
    for (int r = 0; r < 3; ++r) {
        if (m.m[r][0] != 0 || m.m[r][1] != 0 || m.m[r][2] != 0) continue;
        m.m[r][1] = 1;
        if (QzMatDet3(m) != 0) {
            QzWarn(log, 2, QZ_WARNING, "Row %d all zeros", r);
            break;
        }
    }
    if (QzMatDet3(m) == 0 && m.m[0][1] == 0 && m.m[1][1] == 0 && m.m[2][1] == 0) {
        for (int r = 0; r < 3 && QzMatDet3(m) == 0; ++r) m.m[r][1] = 1;
        QzWarn(log, 2, QZ_WARNING, "Y column all zeros");
    }
    if (QzMatDet3(m) == 0) {
        QzWarn(log, 0, QZ_SKIPPING, "Singular matrix (unfixable)");
        return 1;
    }
    return 0;
}

int CheckTriangle(const QzLine& line, QzLogContext& log) {
    const QzVector4* p = line.p;
    if (SameVertex(p[0], p[1]) || SameVertex(p[1], p[2]) || SameVertex(p[0], p[2])) {
        QzWarn(log, 1, QZ_WARNING, "Identical vertices");
    } else if (double q = CollinearMeasure(p[0], p[1], p[2]); q < QZ_COLLINEAR_LIMIT) {
        QzWarn(log, 1, QZ_WARNING, "Collinear vertices (%g)", q);
    } else {
        return 0;
    }
    // A degenerate triangle in the current colour is kept.
    return line.colour == QZ_COLOUR_CURRENT ? 0 : 1;
}

// Quads whose corners are not coplanar are only reported; both tolerances are off
// (0) unless set.
void CheckCoplanar(const QzLine& line, QzLogContext& log, const QzCoplanarTolerances& t) {
    if (t.tolerance <= 0 && t.ratio <= 0) return;
    QzVector a = Edge(line, 3, 0), b = Edge(line, 3, 1), c = Edge(line, 3, 2), cross;
    QzVecCross(cross, b, c);
    double det = std::fabs(QzVecDot(a, cross));
    if (t.tolerance > 0 && det > t.tolerance) {
        QzWarn(log, 2, QZ_WARNING, "Vertices not coplanar (%g)", det);
        return;
    }
    if (t.ratio > 0) {
        double worst = 0;
        for (int i = 0; i < 4; ++i) {
            QzVector e1 = Edge(line, i, (i + 1) % 4), e2 = Edge(line, i, (i + 3) % 4), n;
            QzVecCross(n, e1, e2);
            double length = QzVecLength(n);
            if (length > 0) worst = std::max(worst, det / length);
        }
        if (worst > t.ratio) QzWarn(log, 2, QZ_WARNING, "Vertices not coplanar (%g)", worst);
    }
}

int CheckQuad(QzLine& line, QzLogContext& log, const QzCoplanarTolerances& t) {
    const QzVector4* p = line.p;
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) {
            if (!SameVertex(p[i], p[j])) continue;
            QzWarn(log, 1, QZ_WARNING, "Identical vertices");
            return line.colour == QZ_COLOUR_CURRENT ? 0 : 1;
        }
    }
    static const int kTriples[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
    for (int t = 0; t < 4; ++t) {
        double q = CollinearMeasure(p[kTriples[t][0]], p[kTriples[t][1]], p[kTriples[t][2]]);
        if (q >= QZ_COLLINEAR_LIMIT) continue;
        switch (t) {
            case 0:
                QzWarn(log, 1, QZ_WARNING, "Collinear vertices 012 (%g)", q);
                break;
            case 1:
                QzWarn(log, 1, QZ_WARNING, "Collinear vertices 013 (%g)", q);
                break;
            case 2:
                QzWarn(log, 1, QZ_WARNING, "Collinear vertices 023 (%g)", q);
                break;
            default:
                QzWarn(log, 1, QZ_WARNING, "Collinear vertices 123 (%g)", q);
                break;
        }
        if (line.colour != QZ_COLOUR_CURRENT) return 1;
    }

    // Vertex sequence: which diagonal pairs lie on opposite sides decides the order.
    QzVector e01 = Edge(line, 0, 1), e02 = Edge(line, 0, 2), e03 = Edge(line, 0, 3);
    QzVector e12 = Edge(line, 1, 2), e13 = Edge(line, 1, 3), e23 = Edge(line, 2, 3);
    QzVector a, b;
    QzVecCross(a, e01, e02);
    QzVecCross(b, e02, e03);
    double s1 = QzVecDot(a, b);
    QzVecCross(a, e12, e01);
    QzVecCross(b, e01, e13);
    double s2 = QzVecDot(a, b);
    QzVecCross(a, e02, e12);
    QzVecCross(b, e12, e23);
    double s3 = QzVecDot(a, b);
    if (!(s1 > 0)) {
        if (s2 > 0) {
            if (s3 < 0) {
                Reorder(line, {1, 2, 3, 0});
            } else {
                Reorder(line, {0, 3, 1, 2});
                QzWarn(log, 1, QZ_WARNING, "Bad vertex sequence, 0312 used");
            }
        } else if (s3 < 0) {
            Reorder(line, {0, 1, 3, 2});
            QzWarn(log, 1, QZ_WARNING, "Bad vertex sequence, 0132 used");
        } else {
            Reorder(line, {1, 2, 3, 0});
        }
    }
    CheckCoplanar(line, log, t);
    return 0;
}

// Whether two stored lines of the same type describe the same thing.
bool SamePoints(const QzVector4* a, const QzVector4* b, int count) {
    // Same vertices in any order: every vertex of one is matched by a distinct one of
    // the other.
    bool used[4] = {false, false, false, false};
    for (int i = 0; i < count; ++i) {
        bool found = false;
        for (int j = 0; j < count && !found; ++j) {
            if (!used[j] && SameVertex(a[i], b[j])) used[j] = found = true;
        }
        if (!found) return false;
    }
    return true;
}

bool Identical(const QzLine& stored, const QzLine& line, const std::string& name) {
    switch (line.type) {
        case 1: {
            const QzMatrix& a = QzLineMatrix(stored);
            const QzMatrix& b = QzLineMatrix(line);
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 4; ++c) {
                    if (a.m[r][c] != b.m[r][c]) return false;
                }
            }
            return stored.part && stored.part->name == name;
        }
        case 2:
            return SamePoints(stored.p, line.p, 2);
        case 3:
            return SamePoints(stored.p, line.p, 3);
        case 4:
            return SamePoints(stored.p, line.p, 4);
        case 5:
            return SamePoints(stored.p, line.p, 2) && SamePoints(stored.p + 2, line.p + 2, 2);
        default:
            return false;
    }
}

}  // namespace

int QzParseBfc(std::string_view text, QzLogContext& log) {
    if (!WordAt(text, 0, "BFC")) return 0;
    uint32_t options = 0;
    size_t pos = 0;
    for (;;) {
        while (pos < text.size() && IsCapital(text[pos])) ++pos;
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size()) {
            if (options == 0) {
                QzWarn(log, 0, QZ_SKIPPING, "No BFC options specified");
                return -1;
            }
            return static_cast<int>(options);
        }
        bool known = false;
        for (const BfcWord& w : kBfcWords) {
            if (WordAt(text, pos, w.word)) {
                options |= w.bit;
                known = true;
                break;
            }
        }
        if (!known) {
            QzWarn(log, 0, QZ_SKIPPING, "Illegal BFC option");
            return -1;
        }
    }
}

void QzApplyBfc(QzBfcState& state, uint32_t options) {
    if (options & BFC_CERTIFY) state.certified = true;
    if (options & BFC_NOCERTIFY) state.certified = false;
    if (options & BFC_CW) {
        state.winding = QzWinding::CW;
        state.certified = true;
    }
    if (options & BFC_CCW) {
        state.winding = QzWinding::CCW;
        state.certified = true;
    }
    if (options & BFC_NOWIND) {
        state.winding = QzWinding::None;
        state.certified = true;
    }
    if (options & BFC_CLIP) state.clip = true;
    if (options & BFC_NOCLIP) state.clip = false;
    if (options & BFC_INVERTNEXT) state.invertPending = true;
}

void QzSetLineBfc(QzLine& line, const QzBfcState& state, bool inverted, double det) {
    bool culling = state.certified && state.clip;
    if (line.type == 1) {
        if (det < 0) line.bfc |= LF_MIRROR;
        if (culling && det != 0) {
            line.bfc |= LF_CULL;
            if (inverted != (det < 0)) line.bfc |= LF_INVERT;
        }
        return;
    }
    if (line.type != 3 && line.type != 4) return;
    if (state.winding == QzWinding::CW) {
        if (line.type == 3) {
            Reorder(line, {0, 2, 1});
        } else {
            Reorder(line, {0, 3, 2, 1});
        }
    }
    if (culling && state.winding != QzWinding::None) line.bfc |= LF_CULL;
}

int QzCheckLine(QzLine& line, const std::string& name, const QzPart* part, QzLogContext& log,
                const QzPalette& palette, const QzCoplanarTolerances& tolerances) {
    int drop = 0;
    switch (line.type) {
        case 1:
            drop = CheckReference(line, name, log);
            break;
        case 2:
            if (SameVertex(line.p[0], line.p[1])) QzWarn(log, 1, QZ_WARNING, "Identical vertices");
            break;
        case 3:
            drop = CheckTriangle(line, log);
            break;
        case 4:
            drop = CheckQuad(line, log, tolerances);
            break;
        case 5:
            if (SameVertex(line.p[0], line.p[1]) || SameVertex(line.p[2], line.p[3])) {
                QzWarn(log, 1, QZ_WARNING, "Identical vertices");
                drop = 1;
            }
            break;
        default:
            return 0;
    }
    if (drop) return 1;

    if (line.type >= 2) {
        int vertices = line.type == 5 ? 4 : line.type;
        for (int i = 0; i < vertices; ++i) line.p[i].w = 1.0f;
    }

    if (line.colour == QZ_COLOUR_CURRENT) {
        if (line.type == 2 || line.type == 5)
            QzWarn(log, 1, QZ_WARNING, "Lines should not use color 16");
    } else if (line.colour == QZ_COLOUR_EDGE) {
        if (line.type == 1 || line.type == 3 || line.type == 4) {
            QzWarn(log, 0, QZ_WARNING, "Sorry, cannot handle color 24, using 16");
            line.colour = QZ_COLOUR_CURRENT;
        }
    } else if (QzColourToRgb(palette, line.colour, nullptr) != 0) {
        QzWarn(log, 0, QZ_WARNING, "Unknown color, using 7");
        line.colour = 7;
    }

    if (log.warningLevel >= 1 && part) {
        for (const QzLine* stored = part->lines; stored; stored = stored->next) {
            if (stored->type == line.type && Identical(*stored, line, name)) {
                QzWarn(log, 1, QZ_WARNING, "Identical to line %u", stored->lineNo);
            }
        }
    }
    return 0;
}
