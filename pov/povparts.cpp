#include "povparts.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "format.h"
#include "model.h"
#include "povmaterials.h"

namespace {

// ---- The primitive table ----

std::string Num(int n) { return std::to_string(n); }

std::string FullRing(int n) {
    return "#if (version >= 3.1)\n\tdisc { <0,0,0>, <0,1,0>, " + Num(n + 1) + ", " + Num(n) +
           " }\n#else\n\tdifference {\n\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, " + Num(n + 1) +
           " }\n\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, " + Num(n) + " }\n\t}\n#end";
}

std::string QuarterRing(int n) {
    return "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, " + Num(n + 1) + ", " + Num(n) +
           "\n\t\tclipped_by { box { <0,-1,0>, <" + Num(n + 2) + ",1," + Num(n + 2) +
           "> } }\n\t}\n#else\n\tdifference {\n\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, " +
           Num(n + 1) + " }\n\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, " + Num(n) +
           " }\n\t\tclipped_by { box { <0,-0.01,0>, <" + Num(n + 2) + ",0.01," + Num(n + 2) +
           "> } }\n\t}\n#end";
}

std::string HalfRing(int n) {
    return "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, " + Num(n + 1) + ", " + Num(n) +
           "\n\t\tclipped_by { box { <-" + Num(n + 2) + ",-1,0>, <" + Num(n + 2) + ",1," +
           Num(n + 2) +
           "> } }\n\t}\n#else\n\tdifference {\n\t\tcylinder { <0,-0.001,0>, <0,0.001,0>, " +
           Num(n + 1) + " }\n\t\tcylinder { <0,-0.002,0>, <0,0.002,0>, " + Num(n) +
           " }\n\t\tclipped_by { box { <-" + Num(n + 2) + ",-0.01,0>, <" + Num(n + 2) + ",0.01," +
           Num(n + 2) + "> } }\n\t}\n#end";
}

std::string QuarterCone(int n) {
    return "cone { <0,0,0>, " + Num(n + 1) + ", <0,1,0>, " + Num(n) +
           " open clipped_by { box { <0,-1,0>,<" + Num(n + 2) + ",2," + Num(n + 2) + "> } } }";
}

// The raised lettering on top of a stud, in a design grid of 128 units per 4.5 LDraw
// units, used from quality 3 on.
std::string StudLogo() {
    static const char* const groups[5][10] = {
        {"sphere {<-60,0,-109>,6}", "cylinder {<-60,0,-109>,<60,0,-109>,6 open}",
         "sphere {<60,0,-109>,6}", "cylinder {<60,0,-109>,<60,0,-79>,6 open}",
         "sphere {<60,0,-79>,6}"},
        {"sphere {<-60,0,-62>,6}", "cylinder {<-60,0,-62>,<60,0,-62>,6 open}",
         "sphere {<60,0,-62>,6}", "cylinder {<-60,0,-62>,<-60,0,-47>,6 open}",
         "cylinder {<60,0,-62>,<60,0,-47>,6 open}", "cylinder {<-45,0,-32>,<45,0,-32>,6 open}",
         "torus {15,6 clipped_by{plane{-z,0}plane{x,0}} translate<-45,0,-47>}",
         "torus {15,6 clipped_by{plane{-z,0}plane{-x,0}} translate<45,0,-47>}"},
        {"sphere {<-60,0,-15>,6}", "cylinder {<-60,0,-15>,<60,0,-15>,6 open}",
         "sphere {<60,0,-15>,6}", "cylinder {<-60,0,-15>,<-60,0,0>,6 open}",
         "cylinder {<0,0,-15>,<0,0,0>,6 open}", "cylinder {<-45,0,15>,<-15,0,15>,6 open}",
         "torus {15,6 clipped_by{plane{-z,0}plane{x,0}} translate<-45,0,0>}",
         "torus {15,6 clipped_by{plane{-z,0}plane{-x,0}} translate<-15,0,0>}",
         "cylinder {<0,0,0>,<60,0,15>,6 open}", "sphere {<60,0,15>,6}"},
        {"sphere {<60,0,32>,6}", "cylinder {<60,0,32>,<-45,0,32>,6 open}", "sphere {<60,0,62>,6}",
         "cylinder {<60,0,62>,<-45,0,62>,6 open}", "cylinder {<0,0,32>,<0,0,62>,6 open}",
         "torus {15,6 clipped_by{plane{<1,0,0>,0}}translate<-45,0,47>}"},
        {"sphere {<-60,0,79>,6}", "cylinder {<-60,0,79>,<60,0,79>,6 open}", "sphere {<60,0,79>,6}",
         "cylinder {<60,0,79>,<0,0,94>,6 open}", "sphere {<0,0,94>,6}",
         "cylinder {<0,0,94>,<60,0,109>,6 open}", "sphere {<60,0,109>,6}",
         "cylinder {<60,0,109>,<-60,0,109>,6 open}", "sphere {<-60,0,109>,6}"},
    };
    std::string code =
        "\n#if (QUAL <= 2)\ncylinder { <0,0,0>, <0,-4,0>, 6 }\n#else\nunion {\n"
        "\tcylinder { <0,0,0>, <0,-4,0>, 6 }\n\tunion {\n";
    for (int g = 0; g < 5; ++g) {
        if (g > 0) code += "\n";
        for (const char* element : groups[g]) {
            if (!element) break;
            code += "\t\t";
            code += element;
            code += "\n";
        }
    }
    code +=
        "\n\t\tmatrix <1,0,-0.22,0,1,0,0,0,1,0,0,0>\n\t\tscale 4.5/128\n\t\ttranslate <0,-4,0>\n"
        "\t}\n}\n#end";
    return code;
}

const PovPrimitive* BuildPrimitives() {
    static const PovPrimitive table[kPovPrimitiveCount] = {
        {"stud.dat", 39, StudLogo()},
        {"stud2.dat", 1,
         "difference {\n\tcylinder { <0,0,0>, <0,-4,0>, 6 }\n"
         "\tcylinder { <0,0.01,0>, <0,-4.01,0>, 4 }\n}"},
        {"stud3.dat", 1, "cylinder { <0,0,0>, <0,-4,0>, 4 }"},
        {"stud4.dat", 1,
         "difference {\n\tcylinder { <0,0,0>, <0,-4,0>, 8 }\n"
         "\tcylinder { <0,0.01,0>, <0,-4.01,0>, 6 }\n}"},
        {"4-4cyli.dat", 1, "cylinder { <0,0,0>, <0,1,0>, 1 open }"},
        {"2-4cyli.dat", 1,
         "cylinder { <0,0,0>, <0,1,0>, 1 open clipped_by { box { <-2,-1,0>,<2,2,2> } } }"},
        {"1-4cyli.dat", 1,
         "cylinder { <0,0,0>, <0,1,0>, 1 open clipped_by { box { <0,-1,0>,<2,2,2> } } }"},
        {"4-4disc.dat", 1,
         "#if (version >= 3.1)\n\tdisc { <0,0,0>, <0,1,0>, 1 }\n#else\n"
         "\tcylinder { <0,-0.001,0>, <0,0.001,0>, 1 }\n#end"},
        {"peghole.dat", 2,
         "union {\n\tcylinder { <0,0,0>, <0,2,0>, 8 open }\n\t#if (version >= 3.1)\n"
         "\t\tdisc { <0,2,0>, <0,1,0>, 8, 6 }\n\t#else\n\t\tdifference {\n"
         "\t\t\tcylinder { <0,1.999,0>, <0,2.001,0>, 8 }\n\t\t\tcylinder { <0,1,0>, <0,3,0>, 6 }\n"
         "\t\t}\n\t#end\n}"},
        {"1-4disc.dat", 1,
         "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 1\n"
         "\t\tclipped_by { box { <0,-1,0>, <2,1,2> } }\n\t}\n#else\n\tcylinder {\n"
         "\t\t<0,-0.001,0>, <0,0.001,0>, 1\n\t\tclipped_by { box { <0,-1,0>, <2,1,2> } }\n"
         "\t}\n#end"},
        {"4-4ndis.dat", 1,
         "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 2, 1\n"
         "\t\tclipped_by { box { <-1,-1,-1>, <1,1,1> } }\n\t}\n#else\n\tdifference {\n"
         "\t\tbox { <-1,-0.001,-1>, <1,0.001,1> }\n\t\tcylinder { <0,-1,0>, <0,1,0>, 1 }\n"
         "\t}\n#end"},
        {"2-4disc.dat", 1,
         "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 1\n"
         "\t\tclipped_by { box { <-2,-1,0>, <2,1,2> } }\n\t}\n#else\n\tcylinder {\n"
         "\t\t<0,-0.001,0>, <0,0.001,0>, 1\n\t\tclipped_by { box { <-2,-1,0>, <2,1,2> } }\n"
         "\t}\n#end"},
        {"2-4ndis.dat", 1,
         "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 2, 1\n"
         "\t\tclipped_by { box { <-1,-1,0>, <1,1,1> } }\n\t}\n#else\n\tdifference {\n"
         "\t\tbox { <-1,-0.001,0>, <1,0.001,1> }\n\t\tcylinder { <0,-1,0>, <0,1,0>, 1 }\n"
         "\t}\n#end"},
        {"1-4ndis.dat", 1,
         "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 2, 1\n"
         "\t\tclipped_by { box { <0,-1,0>, <1,1,1> } }\n\t}\n#else\n\tdifference {\n"
         "\t\tbox { <0,-0.001,0>, <1,0.001,1> }\n\t\tcylinder { <0,-1,0>, <0,1,0>, 1 }\n"
         "\t}\n#end"},
        {"1-4cyls.dat", 1,
         "cylinder { <0,0,0>, <0,1,0>, 1 open\n"
         "\tclipped_by { plane { <-1,0,-1>,-O7071 } plane { <1,1,0>,O7071 } } }"},
        {"1-4cyls2.dat", 1,
         "cylinder { <0,0,0>, <0,1,0>, 1 open\n"
         "\tclipped_by { plane { <1,0,-1>,-O7071 } plane { <1,1,0>,0 } } }"},
        {"2-4cyls.dat", 1,
         "cylinder { <0,0,0>, <0,2,0>, 1 open\n"
         "\tclipped_by { plane { <0,0,-1>,0 } plane { <1,1,0>,O7071 } } }"},
        {"3-8cyls.dat", 1,
         "cylinder { <0,0,0>, <0,2,0>, 1 open clipped_by {\n"
         "\tplane { <-O7071,0,-1-O7071>,-1/sqrt(4+sqrt(8)) }\n\tplane { <1,1,0>,O7071 }\n} }"},
        {"stud4a.dat", -1, "stud4.dat"},
        {"1-8cyli.dat", 1,
         "cylinder {\n\t<0,0,0>, <0,1,0>, 1 open\n"
         "\tclipped_by { box { <O7071,0,0>, <1,1,O7071> } }\n}"},
        {"stud2a.dat", -1, "stud2.dat"},
        {"box.dat", 1, "box { <-1,-1,-1>, <1,1,1> }"},
        {"4-8sphe.dat", 1, "sphere { <0,0,0>, 1 clipped_by { box { <-1,0,-1>, <2,2,2> } } }"},
        {"3-4cyli.dat", 1,
         "cylinder {\n\t<0,0,0>, <0,1,0>, 1 open\n\tclipped_by { plane { <1,0,-1>, O7071 } }\n}"},
        {"ring4.dat", 1, FullRing(4)},
        {"stud3a.dat", -1, "stud3.dat"},
        {"ring1.dat", 1, FullRing(1)},
        {"ring3.dat", 1, FullRing(3)},
        {"ring2.dat", 1, FullRing(2)},
        {"2-8sphe.dat", 1, "sphere { <0,0,0>, 1 clipped_by { box { <-1,0,0>, <2,2,2> } } }"},
        {"8-8sphe.dat", 1, "sphere { <0,0,0>, 1 }"},
        {"axle.dat", 1,
         "intersection {\n\tcylinder { <0,0,0>, <0,1,0>, 6 }\n\tunion {\n"
         "\t\tbox { <-7,-1,-2>, <7,2,2> }\n\t\tbox { <-2,-1,-7>, <2,2,7> }\n\t}\n}"},
        {"2-4ring1.dat", 1, HalfRing(1)},
        {"2-4ring3.dat", 1, HalfRing(3)},
        {"ring10.dat", 1, FullRing(10)},
        {"1-8disc.dat", 1,
         "#if (version >= 3.1)\n\tdisc {\n\t\t<0,0,0>, <0,1,0>, 1\n"
         "\t\tclipped_by { plane { <0,0,-1>,0 } plane { <-1,0,1>,0 } }\n\t}\n#else\n"
         "\tcylinder {\n\t\t<0,-0.001,0>, <0,0.001,0>, 1\n"
         "\t\tclipped_by { plane { <0,0,-1>,0 } plane { <-1,0,1>,0 } }\n\t}\n#end"},
        {"ring7.dat", 1, FullRing(7)},
        {"1-8sphe.dat", 1, "sphere { <0,0,0>, 1 clipped_by { box { <0,0,0>, <2,2,2> } } }"},
        {"4-4con1.dat", 1, "cone { <0,0,0>, 2, <0,1,0>, 1 open }"},
        {"4-4con12.dat", -1, "4-4con1.dat"},
        {"1-4con1.dat", 1, QuarterCone(1)},
        {"1-4con2.dat", 1, QuarterCone(2)},
        {"1-4con3.dat", 1, QuarterCone(3)},
        {"1-4con4.dat", 1, QuarterCone(4)},
        {"1-4con10.dat", 1, QuarterCone(10)},
        {"1-4ring1.dat", 1, QuarterRing(1)},
        {"1-4ring3.dat", 1, QuarterRing(3)},
        {"1-4rin10.dat", 1, QuarterRing(10)},
        {"1-4rin14.dat", 1, QuarterRing(14)},
    };
    return table;
}

// ---- POV meta-commands ----

constexpr const char* kMetaKeywords[4] = {"ENDPOV", "IFPOV", "IFNOTPOV", "ELSEPOV"};
constexpr const char* kMetaDirectives[4] = {"end", "if (1)", "if (0)", "else"};

// Block states of a declaration.
constexpr int kOutside = 0;
constexpr int kPovOnly = 1;   // after IFPOV: comments are POV-Ray code
constexpr int kPovSkips = 2;  // after IFNOTPOV: POV-Ray skips the contents

// The POV-Ray blocks of one declaration: the state the meta-commands leave, and the
// "#if" directives still open. An ENDPOV or ELSEPOV with no block open, and a second
// ELSEPOV in one block, write only their comment (POV-Ray stops at an unmatched "#end"
// or "#else" and at a second "#else"); the blocks still open are ended with the
// declaration. Comment lines are POV-Ray code only inside an IFPOV block (or the ELSEPOV
// half of an IFNOTPOV block) that the file itself ends: in one left open to the end of
// the file, what follows are the file's ordinary comments. Both passes over a part's
// lines use the same rules.
class BlockState {
  public:
    // Reads the part's meta-commands ahead to learn which POV-only blocks it ends.
    explicit BlockState(const QzPart* part) {
        BlockState scan;
        for (const QzLine* line = part->lines; line; line = line->next) {
            if (line->type != 0) continue;
            const int k = PovMetaCommand(line->text);
            if (k >= 0) scan.Apply(k, line);
        }
        closedCode_ = std::move(scan.closedCode_);
    }

    // Applies meta-command `command` of `line`; false for one that has no block to end
    // or switch, which changes nothing.
    bool Apply(int command, const QzLine* line) {
        switch (command) {
            case 0:
                if (open_.empty()) return false;
                if (open_.back().codeStart) closedCode_.insert(open_.back().codeStart);
                if (open_.back().skips) --skipping_;
                open_.pop_back();
                state_ = kOutside;
                break;
            case 1:
                open_.push_back({line, false, false});
                state_ = kPovOnly;
                break;
            case 2:
                open_.push_back({nullptr, false, true});
                ++skipping_;
                state_ = kPovSkips;
                break;
            default: {
                if (open_.empty() || open_.back().switched) return false;
                Block& block = open_.back();
                if (block.codeStart) closedCode_.insert(block.codeStart);
                state_ = 3 - state_;  // ELSEPOV; 3 (from outside) acts as outside
                skipping_ += block.skips ? -1 : 1;
                block = {state_ == kPovOnly ? line : nullptr, true, !block.skips};
                break;
            }
        }
        code_ = state_ == kPovOnly && closedCode_.count(line) != 0;
        return true;
    }
    // Comment lines here are POV-Ray code.
    bool PovCode() const { return code_; }
    // POV-Ray skips what stands here: some open block is in its "#if (0)" half, or in
    // the "#else" half of an "#if (1)".
    bool PovSkips() const { return skipping_ > 0; }
    int Open() const { return int(open_.size()); }

  private:
    BlockState() = default;

    struct Block {
        const QzLine* codeStart;  // the meta-command that began its POV-only half
        bool switched;            // its ELSEPOV came
        bool skips;               // POV-Ray skips its current half
    };
    int state_ = kOutside;
    bool code_ = false;
    int skipping_ = 0;  // open blocks whose current half POV-Ray skips
    std::vector<Block> open_;
    // Meta-commands beginning a POV-only half that a later ENDPOV or ELSEPOV ends.
    std::unordered_set<const QzLine*> closedCode_;
};

const char* TextOf(const QzLine& line) { return line.text ? line.text : ""; }

// ---- Triangles POV-Ray drops ----

// A coordinate as POV-Ray reads it back from the file: the %g text's value.
double AsWritten(float v) {
    const std::string text = plat::Format("%g", double(v));
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// POV-Ray leaves a mesh triangle out when the cross product of its edges has length 0,
// computed from the coordinates it parsed.
bool TriangleDropped(const QzLine& line, int first) {
    double p[3][3];
    for (int k = 0; k < 3; ++k) {
        const QzVector4& v = line.p[(first + k) % 4];
        p[k][0] = AsWritten(v.x);
        p[k][1] = AsWritten(v.y);
        p[k][2] = AsWritten(v.z);
    }
    double a[3], b[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = p[0][i] - p[1][i];
        b[i] = p[2][i] - p[1][i];
    }
    const double x = a[1] * b[2] - a[2] * b[1];
    const double y = a[2] * b[0] - a[0] * b[2];
    const double z = a[0] * b[1] - a[1] * b[0];
    return std::sqrt(x * x + y * y + z * z) == 0.0;
}

// Whether every triangle a type 3 or 4 line writes is one POV-Ray drops.
bool LineDropped(const QzLine& line) {
    if (!TriangleDropped(line, 0)) return false;
    return line.type == 3 || TriangleDropped(line, 2);
}

// Whether the mesh the second pass would open at this line holds a triangle that
// POV-Ray keeps. A mesh of dropped triangles only is refused as a parse error.
bool MeshHasTriangles(PovScene& scene, const QzLine* line) {
    const int32_t colour = line->colour;
    for (; line; line = line->next) {
        switch (line->type) {
            case 0:
                if (PovMetaCommand(line->text) >= 0) return false;
                break;
            case 1:
                if (line->part && scene.Figures(line->part).povObjects != 0) return false;
                break;
            case 3:
            case 4:
                if (line->colour != colour) return false;
                if (!LineDropped(*line)) return true;
                break;
            default:
                break;
        }
    }
    return false;
}

void WriteSeam(PovScene& scene, const QzBox& box) {
    const float size[3] = {box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z};
    QzVector mid;
    QzVecMid(mid, box.min, box.max);
    const float centre[3] = {mid.x, mid.y, mid.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (size[axis] == 0.0f)
            PovPut(scene, "1");
        else
            PovPrintf(scene, "1-SW/%g", PovChecked(scene, size[axis]));
        if (axis < 2) PovPut(scene, ",0,0,0,");
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (size[axis] == 0.0f || centre[axis] == 0.0f)
            PovPut(scene, ",0");
        else
            PovPrintf(scene, ",SW/%g", PovChecked(scene, size[axis] / centre[axis]));
    }
    PovPut(scene, "> matrix <");
}

}  // namespace

const PovPrimitive* PovPrimitives() {
    static const PovPrimitive* table = BuildPrimitives();
    return table;
}

std::string PovIdentifier(std::string_view name) {
    std::string id;
    if (!name.empty() && name[0] >= '0' && name[0] <= '9') id = "_";
    for (const char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            id += ch;
        } else {
            switch (c) {
                case '-':
                    id += "_dash_";
                    break;
                case '.':
                    id += "_dot_";
                    break;
                case '&':
                    id += "_and_";
                    break;
                case ':':
                    id += "_colon_";
                    break;
                case '/':
                case '\\':
                    id += "_slash_";
                    break;
                case '~':
                    id += "_tilde_";
                    break;
                case '#':
                    id += "_crosshatch_";
                    break;
                case ' ':
                    id += "_space_";
                    break;
                case '_':
                    id += "__";
                    break;
                default:
                    id += plat::Format("_%02X_", unsigned(c));
                    break;
            }
        }
        if (id.size() > kPovMaxIdentifier) {
            id.resize(119);
            id += "MAX125";
            break;
        }
    }
    // A name that POV-Ray already gives a meaning gets a trailing "_", which no other
    // name can produce (a lone "_" is never written for a character).
    if (PovIsReservedIdentifier(id)) id += "_";
    return id;
}

const PovPrimitive* PovFindPrimitive(std::string_view name) {
    const PovPrimitive* table = PovPrimitives();
    for (int i = 0; i < kPovPrimitiveCount; ++i) {
        if (name != table[i].name) continue;
        if (table[i].objects < 0) return PovFindPrimitive(table[i].code);
        return &table[i];
    }
    size_t i = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    if (i < name.size() && name[i] == '\\') return PovFindPrimitive(name.substr(i + 1));
    return nullptr;
}

int PovMetaCommand(const char* text) {
    if (!text || std::strncmp(text, "Tolpix ", 7) != 0) return -1;
    for (int k = 3; k >= 0; --k) {
        if (std::strcmp(text + 7, kMetaKeywords[k]) == 0) return k;
    }
    return -1;
}

void PovWriteTriangle(PovScene& scene, const QzLine& line, int first) {
    static constexpr char separators[3] = {',', ',', ' '};
    PovPut(scene, "\t\ttriangle {");
    for (int k = 0; k < 3; ++k) {
        const QzVector4& v = line.p[(first + k) % 4];
        PovPrintf(scene, " %s%c", PovVector(scene, v.x, v.y, v.z).c_str(), separators[k]);
    }
    PovPut(scene, "}\n");
}

namespace {

struct ObjectCount {
    int objects = 0;         // one per referenced part with objects, one per mesh
    int nonStudObjects = 0;  // the same without references to studs
};

// First pass: declares every referenced part not declared yet and counts the objects.
// It also notes what POV-Ray will actually see: objects outside IFNOTPOV blocks,
// meshes with a triangle it keeps (it parses nothing inside an IFNOTPOV block), and
// POV-Ray code lines of IFPOV blocks. POV-Ray refuses a mesh without triangles and an
// "object" with nothing inside, so without POV-Ray code of its own, a part whose
// objects are all such meshes, or whose single object lies in an IFNOTPOV block,
// counts as a part without objects.
ObjectCount CountObjects(PovScene& scene, const QzPart* part) {
    ObjectCount count;
    int kept = 0;     // objects other than parsed meshes of dropped triangles only
    int visible = 0;  // kept objects outside IFNOTPOV blocks
    bool povCode = false;
    bool meshOpen = false, runKept = false, runSkipped = false;
    int32_t runColour = 0;
    BlockState blocks(part);
    auto keep = [&](bool skipped) {
        ++kept;
        if (!skipped) ++visible;
    };
    auto closeRun = [&] {
        if (meshOpen && runKept) keep(runSkipped);
        meshOpen = false;
    };
    for (const QzLine* line = part->lines; line; line = line->next) {
        switch (line->type) {
            case 0: {
                const int k = PovMetaCommand(line->text);
                if (k >= 0) {
                    closeRun();
                    blocks.Apply(k, line);
                } else if (blocks.PovCode()) {
                    povCode = true;
                }
                break;
            }
            case 1: {
                closeRun();
                const QzPart* ref = line->part;
                if (!ref) break;
                if (!scene.Figures(ref).exported) PovDeclarePart(scene, ref);
                if (scene.Figures(ref).povObjects != 0) {
                    ++count.objects;
                    if (!(ref->flags & PF_STUD)) ++count.nonStudObjects;
                    keep(blocks.PovSkips());
                }
                break;
            }
            case 3:
            case 4:
                if (meshOpen && line->colour != runColour) closeRun();
                if (!meshOpen) {
                    ++count.objects;
                    ++count.nonStudObjects;
                    runColour = line->colour;
                    runSkipped = blocks.PovSkips();
                    runKept = false;
                    meshOpen = true;
                }
                // POV-Ray does not parse what it skips, so there any mesh is fine.
                if (!runKept && (blocks.PovSkips() || !LineDropped(*line))) runKept = true;
                break;
            default:
                break;
        }
    }
    closeRun();
    if (!povCode && (kept == 0 || (count.objects == 1 && visible == 0))) return {};
    return count;
}

// "\tobject { NAME matrix <...> MATERIAL }" for a reference to a part with objects,
// with the seam's scaling first when a part of the parts library is placed in a part
// from elsewhere.
void WriteReference(PovScene& scene, const QzLine& line, bool inPartsDir) {
    const QzPart* ref = line.part;
    PovPrintf(scene, "\tobject { %s matrix <", PovIdentifier(ref->name).c_str());
    if ((ref->flags & PF_PARTS_DIR) && !inPartsDir) WriteSeam(scene, ref->box);
    const QzMatrix& matrix = QzLineMatrix(line);
    for (int j = 0; j < 4; ++j) {
        PovPrintf(scene, "%g,%g,%g%c", PovChecked(scene, matrix.m[0][j]),
                  PovChecked(scene, matrix.m[1][j]), PovChecked(scene, matrix.m[2][j]),
                  j < 3 ? ',' : '>');
    }
    if (line.colour != 16) PovPrintf(scene, " %s", PovMaterial(line.colour).c_str());
    PovPut(scene, " }\n");
}

// Second pass: writes the objects of a part that has some, in line order. Consecutive
// triangles and quads of one colour share a mesh; references to studs (when the part
// has other objects) share an "#if (STUDS)" block.
void WriteObjects(PovScene& scene, const QzPart* part, int nonStudObjects) {
    PovScene::PartFigures& figures = scene.Figures(part);
    const bool partsDir = (part->flags & PF_PARTS_DIR) != 0;
    bool meshOpen = false, studsOpen = false;
    bool skipping = false;  // inside a mesh of dropped triangles only, which is left out
    int32_t meshColour = 0, skipColour = 0;
    BlockState blocks(part);
    auto closeMesh = [&] {
        skipping = false;
        if (!meshOpen) return;
        if (meshColour != 16) PovPrintf(scene, "\t\t%s\n", PovMaterial(meshColour).c_str());
        PovPut(scene, "\t}\n");
        meshOpen = false;
    };
    auto closeStuds = [&] {
        if (!studsOpen) return;
        PovPut(scene, "\t#end\n");
        studsOpen = false;
    };
    for (const QzLine* line = part->lines; line; line = line->next) {
        switch (line->type) {
            case 0: {
                const int k = PovMetaCommand(line->text);
                if (k >= 0) {
                    closeMesh();
                    closeStuds();
                    PovPrintf(scene, "// %s\n", TextOf(*line));
                    if (blocks.Apply(k, line)) PovPrintf(scene, "#%s\n", kMetaDirectives[k]);
                } else if (blocks.PovCode()) {
                    PovPrintf(scene, "%s\n", TextOf(*line));
                } else {
                    PovPrintf(scene, "// %s\n", PovCommentText(TextOf(*line)).c_str());
                }
                break;
            }
            case 1: {
                const QzPart* ref = line->part;
                if (!ref) break;
                const PovScene::PartFigures& refFigures = scene.Figures(ref);
                if (refFigures.povObjects == 0) break;
                figures.frameLevelObjects += refFigures.frameLevelObjects;
                figures.studCount += refFigures.studCount;
                closeMesh();
                if (nonStudObjects != 0) {
                    if ((ref->flags & PF_STUD) || refFigures.povNonStudObjects == 0) {
                        if (!studsOpen) PovPut(scene, "\t#if (STUDS)\n");
                        studsOpen = true;
                    } else {
                        closeStuds();
                    }
                }
                if (studsOpen) PovPut(scene, "\t");
                WriteReference(scene, *line, partsDir);
                break;
            }
            case 3:
            case 4:
                if (skipping && line->colour == skipColour) break;
                skipping = false;
                if ((!meshOpen || line->colour != meshColour) && !blocks.PovSkips() &&
                    !MeshHasTriangles(scene, line)) {
                    // Nothing of this mesh would survive in POV-Ray; all else stays as if
                    // it were written, the end of a stud block included.
                    closeStuds();
                    closeMesh();
                    skipping = true;
                    skipColour = line->colour;
                    break;
                }
                closeStuds();
                if (meshOpen && line->colour != meshColour) closeMesh();
                if (!meshOpen) {
                    ++figures.frameLevelObjects;
                    PovPut(scene, "\tmesh {\n");
                    meshOpen = true;
                    meshColour = line->colour;
                }
                PovWriteTriangle(scene, *line, 0);
                if (line->type == 4) PovWriteTriangle(scene, *line, 2);
                break;
            default:
                break;
        }
    }
    closeStuds();
    closeMesh();
    for (int i = 0; i < blocks.Open(); ++i) PovPut(scene, "#end\n");
}

}  // namespace

void PovDeclarePart(PovScene& scene, const QzPart* part) {
    // The figures stay where they are while further parts are declared.
    PovScene::PartFigures& figures = scene.Figures(part);
    if (figures.exported) return;
    figures.exported = true;
    figures.studCount = part->name == "stud.dat" ? 1 : 0;

    PovDeclareUsedColours(scene);

    if (scene.options.flags & POV_PRIMITIVES) {
        if (const PovPrimitive* primitive = PovFindPrimitive(part->name)) {
            PovPrintf(scene, "#declare %s = %s\n\n", PovIdentifier(part->name).c_str(),
                      primitive->code.c_str());
            figures.povObjects = 1;
            figures.povNonStudObjects = (part->flags & PF_STUD) ? 0 : 1;
            figures.frameLevelObjects = primitive->objects;
            return;
        }
    }

    const ObjectCount count = CountObjects(scene, part);
    figures.povObjects = count.objects;
    figures.povNonStudObjects = count.nonStudObjects;
    figures.frameLevelObjects = 0;
    if (count.objects == 0) return;

    const bool partsDir = (part->flags & PF_PARTS_DIR) != 0;
    PovPrintf(scene, "#declare %s = ", PovIdentifier(part->name).c_str());
    if (partsDir) {
        PovPrintf(scene, "#if (QUAL = 0) box { %s,", PovVector(scene, part->box.min).c_str());
        PovPrintf(scene, " %s } #else ", PovVector(scene, part->box.max).c_str());
    }
    if (count.objects == 1)
        PovPut(scene, "object {\n");
    else if (count.nonStudObjects == 1)
        PovPut(scene, "#if (STUDS) union #else object #end {\n");
    else
        PovPut(scene, "union {\n");
    WriteObjects(scene, part, count.nonStudObjects);
    PovPut(scene, partsDir ? "}\n#end\n\n" : "}\n\n");
}
