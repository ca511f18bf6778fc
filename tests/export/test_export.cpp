// The exports' content: positions in glTF's axes and metres, one mesh per part and
// colour shared by its placements, mirrored placements facing out, materials by finish,
// nodes for submodels with their building steps, edge lines, faces without area left
// out, STL's layout and axes, OBJ's groups, and models that cannot be exported.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "export_fixture.h"
#include "exportmaterials.h"
#include "exportscene.h"
#include "walk.h"

namespace {

using export_test::ExportTest;
using export_test::Floats;
using export_test::Glb;
using export_test::Indices;
using export_test::Json;
using export_test::kCubePart;
using export_test::ReadGlb;
using testing_support::Slurp;

// A point of the model in glTF's axes and metres.
std::array<double, 3> Mapped(double x, double y, double z) {
    return {0.0004 * x, -0.0004 * y, -0.0004 * z};
}

// Applies a node's matrix (columns first) to a point.
std::array<double, 3> Apply(const std::array<double, 16>& m, const std::array<double, 3>& p) {
    std::array<double, 3> out{};
    for (int r = 0; r < 3; ++r)
        out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
    return out;
}

// The nodes of a .glb that carry a mesh, by name.
std::vector<const Json*> NodesNamed(const Glb& glb, const std::string& name) {
    std::vector<const Json*> found;
    for (const Json& node : glb.json["nodes"])
        if (node["name"] == name) found.push_back(&node);
    return found;
}

TEST_F(ExportTest, APartComesOutAtTheMappedPositions) {
    Part("tri.dat", "0 BFC CERTIFY CCW\n3 16 0 0 0 10 0 0 0 0 20\n");
    ASSERT_TRUE(Load("1 4 100 -50 30 1 0 0 0 1 0 0 0 1 tri.dat\n"));
    const exports::ExportResult done = Export("out.glb");
    ASSERT_TRUE(done.written) << done.error;
    const Glb glb = ReadGlb(Path("out.glb"));
    const auto nodes = NodesNamed(glb, "tri.dat");
    ASSERT_EQ(nodes.size(), 1u);
    const Json& mesh = glb.json["meshes"][(*nodes[0])["mesh"].get<int>()];
    ASSERT_EQ(mesh["primitives"].size(), 1u);
    const std::vector<float> positions =
        Floats(glb, mesh["primitives"][0]["attributes"]["POSITION"].get<int>());
    const std::vector<uint32_t> corners = Indices(glb, mesh["primitives"][0]["indices"].get<int>());
    ASSERT_EQ(corners.size(), 3u);
    const std::array<double, 16> m = export_test::NodeMatrix(*nodes[0]);
    const double expected[3][3] = {{100, -50, 30}, {110, -50, 30}, {100, -50, 50}};
    for (int c = 0; c < 3; ++c) {
        const std::array<double, 3> p{positions[corners[c] * 3], positions[corners[c] * 3 + 1],
                                      positions[corners[c] * 3 + 2]};
        const std::array<double, 3> world = Apply(m, p);
        const std::array<double, 3> want = Mapped(expected[c][0], expected[c][1], expected[c][2]);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(world[k], want[k], 1e-7) << c << " " << k;
    }
    // A 2 x 4 brick is 32 mm long: 80 units.
    EXPECT_NEAR(Mapped(80, 0, 0)[0], 0.032, 1e-12);
    EXPECT_EQ(done.summary.triangles, 1);
    EXPECT_EQ(done.summary.parts, 1);
}

TEST_F(ExportTest, PlacementsOfAPartInAColourShareOneMeshAndEveryColourItsGeometry) {
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(
        Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 4 40 0 0 0 0 1 0 1 0 -1 0 0 cube.dat\n"
             "1 1 80 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"));
    ASSERT_TRUE(Export("out.glb").written);
    const Glb glb = ReadGlb(Path("out.glb"));
    const auto nodes = NodesNamed(glb, "cube.dat");
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ((*nodes[0])["mesh"], (*nodes[1])["mesh"]);
    EXPECT_NE((*nodes[0])["mesh"], (*nodes[2])["mesh"]);
    ASSERT_EQ(glb.json["meshes"].size(), 2u);
    const Json& red = glb.json["meshes"][0]["primitives"][0];
    const Json& blue = glb.json["meshes"][1]["primitives"][0];
    EXPECT_EQ(red["attributes"], blue["attributes"]);
    EXPECT_EQ(red["indices"], blue["indices"]);
    EXPECT_NE(red["material"], blue["material"]);
    EXPECT_EQ(glb.json["meshes"][0]["extras"]["ldrawColour"], 4);
    EXPECT_EQ(glb.json["meshes"][1]["extras"]["ldrawColour"], 1);
    // The geometry once: 6 faces of 4 corners, each corner with its face's normal.
    EXPECT_EQ(glb.json["accessors"][red["attributes"]["POSITION"].get<int>()]["count"], 24);
}

// A node's matrix times its parents': where it places its mesh in the model.
std::array<double, 16> WorldMatrix(const Glb& glb, size_t index) {
    std::array<double, 16> m = export_test::NodeMatrix(glb.json["nodes"][index]);
    for (bool found = true; found;) {
        found = false;
        for (size_t p = 0; p < glb.json["nodes"].size() && !found; ++p)
            for (const Json& child : glb.json["nodes"][p].value("children", Json::array()))
                if (child.get<size_t>() == index) {
                    const std::array<double, 16> a = export_test::NodeMatrix(glb.json["nodes"][p]);
                    std::array<double, 16> r{};
                    for (int c = 0; c < 4; ++c)
                        for (int row = 0; row < 4; ++row)
                            for (int k = 0; k < 4; ++k)
                                r[c * 4 + row] += a[k * 4 + row] * m[c * 4 + k];
                    m = r;
                    index = p;
                    found = true;
                }
    }
    return m;
}

double Determinant(const std::array<double, 16>& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

// Where the faces of a cube placed by a node look in the model: the way each triangle's
// corners turn (counter-clockwise seen from the front) and its normals, against the
// cube's middle.
struct Facing {
    bool windingOut = true;
    bool normalsOut = true;
};
Facing FacingOf(const Glb& glb, size_t index) {
    const Json& node = glb.json["nodes"][index];
    const std::array<double, 16> m = WorldMatrix(glb, index);
    const Json& primitive = glb.json["meshes"][node["mesh"].get<int>()]["primitives"][0];
    const std::vector<float> p = Floats(glb, primitive["attributes"]["POSITION"].get<int>());
    const std::vector<float> n = Floats(glb, primitive["attributes"]["NORMAL"].get<int>());
    const std::vector<uint32_t> corners = Indices(glb, primitive["indices"].get<int>());
    // Normals turn with the cofactors of the matrix (its determinant is positive).
    double a[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) a[r][c] = m[c * 4 + r];
    double cof[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            cof[i][j] = a[(i + 1) % 3][(j + 1) % 3] * a[(i + 2) % 3][(j + 2) % 3] -
                        a[(i + 1) % 3][(j + 2) % 3] * a[(i + 2) % 3][(j + 1) % 3];
    std::array<double, 3> middle{};
    for (size_t v = 0; v * 3 < p.size(); ++v) {
        const std::array<double, 3> w = Apply(m, {p[v * 3], p[v * 3 + 1], p[v * 3 + 2]});
        for (int i = 0; i < 3; ++i) middle[i] += w[i] * 3 / static_cast<double>(p.size());
    }
    Facing f;
    for (size_t t = 0; t + 2 < corners.size(); t += 3) {
        std::array<std::array<double, 3>, 3> w;
        std::array<double, 3> out{};
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = corners[t + k];
            w[k] = Apply(m, {p[v * 3], p[v * 3 + 1], p[v * 3 + 2]});
            for (int i = 0; i < 3; ++i) out[i] += (w[k][i] - middle[i]) / 3;
        }
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = corners[t + k];
            double turned[3];
            for (int i = 0; i < 3; ++i)
                turned[i] =
                    cof[i][0] * n[v * 3] + cof[i][1] * n[v * 3 + 1] + cof[i][2] * n[v * 3 + 2];
            if (turned[0] * out[0] + turned[1] * out[1] + turned[2] * out[2] <= 0)
                f.normalsOut = false;
        }
        const double u[3] = {w[1][0] - w[0][0], w[1][1] - w[0][1], w[1][2] - w[0][2]};
        const double v[3] = {w[2][0] - w[0][0], w[2][1] - w[0][1], w[2][2] - w[0][2]};
        const double cross[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                 u[0] * v[1] - u[1] * v[0]};
        if (cross[0] * out[0] + cross[1] * out[1] + cross[2] * out[2] <= 0) f.windingOut = false;
    }
    return f;
}

// No node mirrors (a viewer that keeps a mesh's corners the way they run would show a
// mirrored part inside out): the placements that mirror share one mirrored mesh whose
// faces face out, also below a mirrored submodel.
TEST_F(ExportTest, MirroredPlacementsShareAMirroredMeshAndTheirFacesStayOutward) {
    Part("cube.dat", "0 Cube\n0 BFC CERTIFY CCW\n" + export_test::Box(-10, 0, -10, 30, 24, 10));
    ASSERT_TRUE(
        Load("0 FILE main.ldr\n"
             "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 4 50 0 0 -1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 4 100 0 0 0 0 -1 0 1 0 -1 0 0 cube.dat\n"
             "1 4 0 0 100 -1 0 0 0 1 0 0 0 1 half.ldr\n"
             "0 FILE half.ldr\n"
             "1 16 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 16 50 0 0 -1 0 0 0 1 0 0 0 1 cube.dat\n",
             "mirrors.mpd"));
    ASSERT_TRUE(Export("out.glb").written);
    const Glb glb = ReadGlb(Path("out.glb"));
    const Json& nodes = glb.json["nodes"];
    ASSERT_EQ(nodes.size(), 7u);
    for (size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GT(Determinant(export_test::NodeMatrix(nodes[i])), 0);
        if (!nodes[i].contains("mesh")) continue;
        const Facing f = FacingOf(glb, i);
        EXPECT_TRUE(f.windingOut);
        EXPECT_TRUE(f.normalsOut);
    }
    // Mirrored once, or twice (a mirrored part in a mirrored submodel): one mesh each.
    EXPECT_EQ(nodes[1]["mesh"], nodes[6]["mesh"]);
    EXPECT_EQ(nodes[2]["mesh"], nodes[3]["mesh"]);
    EXPECT_EQ(nodes[2]["mesh"], nodes[5]["mesh"]);
    EXPECT_NE(nodes[1]["mesh"], nodes[2]["mesh"]);
    EXPECT_EQ(nodes[2]["matrix"], Json::parse("[1,0,0,0,0,1,0,0,0,0,1,0,0.02,0,0,1]"));
    // The materials of a certified part are one-sided.
    EXPECT_FALSE(glb.json["materials"][0].contains("doubleSided"));
}

// Binary STL: 80 bytes of header, the count, then 50 bytes a triangle: normal, corners.
struct StlTriangle {
    float normal[3];
    float corner[3][3];
};
std::vector<StlTriangle> ReadStl(const std::string& bytes) {
    std::vector<StlTriangle> out;
    for (size_t at = 84; at + 50 <= bytes.size(); at += 50) {
        StlTriangle t;
        std::memcpy(&t, bytes.data() + at, sizeof t);
        out.push_back(t);
    }
    return out;
}

TEST_F(ExportTest, StlIsBinaryInMillimetresWithZUpAndFacesOutward) {
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(
        Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 4 50 0 0 -1 0 0 0 1 0 0 0 1 cube.dat\n"));
    const exports::ExportResult done = Export("out.stl");
    ASSERT_TRUE(done.written) << done.error;
    const std::string bytes = Slurp(Path("out.stl"));
    ASSERT_EQ(bytes.size(), 84u + 50u * 24u);
    EXPECT_NE(bytes.substr(0, 5), "solid");
    EXPECT_EQ(export_test::Word(bytes, 80), 24u);
    EXPECT_EQ(done.summary.triangles, 24);
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (const StlTriangle& t : ReadStl(bytes)) {
        // The attribute word of every triangle is zero.
        float middle[3] = {0, 0, 0};
        for (const auto& c : t.corner)
            for (int k = 0; k < 3; ++k) {
                middle[k] += c[k] / 3;
                lo[k] = std::min(lo[k], c[k]);
                hi[k] = std::max(hi[k], c[k]);
            }
        // Which cube: its middle lies at x = 0 or x = 20 mm, z = 4.8 mm up.
        const float centre[3] = {middle[0] < 10 ? 0.0f : 20.0f, 0.0f, -4.8f};
        const float out[3] = {middle[0] - centre[0], middle[1] - centre[1], middle[2] - centre[2]};
        const float u[3] = {t.corner[1][0] - t.corner[0][0], t.corner[1][1] - t.corner[0][1],
                            t.corner[1][2] - t.corner[0][2]};
        const float v[3] = {t.corner[2][0] - t.corner[0][0], t.corner[2][1] - t.corner[0][1],
                            t.corner[2][2] - t.corner[0][2]};
        const float cross[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                u[0] * v[1] - u[1] * v[0]};
        EXPECT_GT(t.normal[0] * out[0] + t.normal[1] * out[1] + t.normal[2] * out[2], 0);
        EXPECT_GT(cross[0] * out[0] + cross[1] * out[1] + cross[2] * out[2], 0);
        EXPECT_NEAR(std::hypot(t.normal[0], t.normal[1], t.normal[2]), 1.0, 1e-6);
    }
    for (size_t at = 84 + 48; at < bytes.size(); at += 50)
        EXPECT_EQ(bytes.substr(at, 2), std::string(2, '\0'));
    // x = -10 to 60 units, y = 0 to 24 down (up in Z: -9.6 to 0 mm), z = -10 to 10 units.
    const float want[2][3] = {{-4, -4, -9.6f}, {24, 4, 0}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(lo[k], want[0][k], 1e-5) << k;
        EXPECT_NEAR(hi[k], want[1][k], 1e-5) << k;
    }
}

TEST_F(ExportTest, ObjHasOneGroupPerPlacedPartAndItsMaterialsInTheMtl) {
    Write("ldraw/LDConfig.ldr", testing_support::kTestLDConfig);
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    names = QzReadColourNames(library);
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(
        Load("1 71 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 43 40 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 71 0 -24 0 -1 0 0 0 1 0 0 0 1 cube.dat\n"));
    const exports::ExportResult done = Export("My Model.obj");
    ASSERT_TRUE(done.written) << done.error;
    const std::string obj = Slurp(Path("My Model.obj"));
    const std::string mtl = Slurp(Path("My Model.mtl"));
    size_t groups = 0, faces = 0, points = 0, normals = 0;
    std::istringstream lines(obj);
    std::vector<std::string> used;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("g ", 0) == 0) {
            ++groups;
            EXPECT_EQ(line, "g cube.dat");
        }
        if (line.rfind("f ", 0) == 0) ++faces;
        if (line.rfind("v ", 0) == 0) ++points;
        if (line.rfind("vn ", 0) == 0) ++normals;
        if (line.rfind("usemtl ", 0) == 0) used.push_back(line.substr(7));
    }
    EXPECT_EQ(groups, 3u);
    EXPECT_EQ(faces, 36u);
    EXPECT_NE(obj.find("mtllib My Model.mtl\n"), std::string::npos);
    EXPECT_EQ(used, (std::vector<std::string>{"Test_Grey", "Test_Glass", "Test_Grey"}));
    // Colour 71 is #8899AA, glass 43 #55CCEE with alpha 100 / 255.
    EXPECT_NE(mtl.find("newmtl Test_Grey\nKd 0.53333336 0.6 0.6666667\n"), std::string::npos)
        << mtl;
    EXPECT_NE(mtl.find("newmtl Test_Glass\nKd 0.33333334 0.8 0.93333334\n"), std::string::npos);
    EXPECT_NE(mtl.find("\nd 0.39215687\n"), std::string::npos);
    EXPECT_NE(mtl.find("\nd 1\n"), std::string::npos);
    // Vertices shared within a part: 8 corners of a cube, 6 normals.
    EXPECT_EQ(points, 3u * 8u);
    EXPECT_EQ(normals, 3u * 6u);
}

struct KindRow {
    const char* definition;
    int32_t code;
    exports::MaterialKind kind;
    double metallic;
    double roughness;
    bool blend;
    double alpha;
    bool glows;
};

TEST_F(ExportTest, EachFinishHasItsMaterial) {
    // clang-format off
    const KindRow rows[] = {
        {"0 !COLOUR Plain CODE 4 VALUE #FF0000 EDGE #333333", 4, exports::MaterialKind::Plastic, 0.0, 0.35, false, 1.0, false},
        {"0 !COLOUR Glass CODE 47 VALUE #FFFFFF EDGE #C3C3C3 ALPHA 128", 47, exports::MaterialKind::Plastic, 0.0, exports::kGlassRoughness, true, 128 / 255.0, false},
        {"0 !COLOUR Mirror CODE 383 VALUE #CECECE EDGE #9C9C9C CHROME", 383, exports::MaterialKind::Chrome, 1.0, 0.15, false, 1.0, false},
        {"0 !COLOUR Pearl CODE 135 VALUE #A0A0A0 EDGE #333333 PEARLESCENT", 135, exports::MaterialKind::Pearlescent, 0.5, 0.35, false, 1.0, false},
        {"0 !COLOUR Silver CODE 80 VALUE #A5A9B4 EDGE #333333 METAL", 80, exports::MaterialKind::Metal, 1.0, 0.4, false, 1.0, false},
        {"0 !COLOUR Satin CODE 95 VALUE #A5A9B4 EDGE #333333 MATTE_METALLIC", 95, exports::MaterialKind::MatteMetallic, 0.9, 0.6, false, 1.0, false},
        {"0 !COLOUR Tyre CODE 256 VALUE #212121 EDGE #595959 RUBBER", 256, exports::MaterialKind::Rubber, 0.0, 0.8, false, 1.0, false},
        {"0 !COLOUR Glow CODE 21 VALUE #E0FFB0 EDGE #B8FF4D ALPHA 240 LUMINANCE 15", 21, exports::MaterialKind::Plastic, 0.0, exports::kGlassRoughness, true, 240 / 255.0, true},
    };
    // clang-format on
    std::string config;
    std::string model;
    for (const KindRow& row : rows) {
        config += std::string(row.definition) + "\n";
        model += "1 " + std::to_string(row.code) + " 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n";
    }
    Write("ldraw/LDConfig.ldr", config);
    QzSelectColourScheme(palette, QZ_SCHEME_LDCONFIG);
    names = QzReadColourNames(library);
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(Load(model));
    ASSERT_TRUE(Export("out.glb").written);
    const Glb glb = ReadGlb(Path("out.glb"));
    const Json& materials = glb.json["materials"];
    ASSERT_EQ(materials.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const KindRow& row = rows[i];
        SCOPED_TRACE(row.definition);
        const Json& m = materials[i];
        EXPECT_EQ(m["extras"]["ldrawColour"], row.code);
        const exports::FinishLook& look = exports::kFinishLooks[static_cast<int>(row.kind)];
        EXPECT_EQ(look.kind, row.kind);
        EXPECT_DOUBLE_EQ(m["pbrMetallicRoughness"]["metallicFactor"].get<double>(), row.metallic);
        EXPECT_DOUBLE_EQ(m["pbrMetallicRoughness"]["roughnessFactor"].get<double>(), row.roughness);
        EXPECT_DOUBLE_EQ(m["pbrMetallicRoughness"]["baseColorFactor"][3].get<double>(), row.alpha);
        EXPECT_EQ(m.contains("alphaMode"), row.blend);
        if (row.blend) {
            EXPECT_EQ(m["alphaMode"], "BLEND");
        }
        EXPECT_EQ(m.contains("emissiveFactor"), row.glows);
    }
    // The issue's bounds: chrome shines, rubber is dull, metals are rougher than chrome.
    EXPECT_GE(exports::kFinishLooks[1].metallic, 0.8);
    EXPECT_LE(exports::kFinishLooks[1].roughness, 0.3);
    EXPECT_GE(exports::kFinishLooks[5].roughness, 0.6);
    EXPECT_GT(exports::kFinishLooks[3].roughness, exports::kFinishLooks[1].roughness);
    EXPECT_GT(exports::kFinishLooks[4].roughness, exports::kFinishLooks[1].roughness);
    // Names from LDConfig.ldr, the value in linear light: #FF0000 is (1, 0, 0).
    EXPECT_EQ(materials[0]["name"], "Plain");
    EXPECT_EQ(materials[0]["pbrMetallicRoughness"]["baseColorFactor"],
              Json::parse("[1.0, 0.0, 0.0, 1.0]"));
    EXPECT_NEAR(materials[3]["pbrMetallicRoughness"]["baseColorFactor"][0].get<double>(),
                exports::LinearLight(0xA0 / 255.0), 1e-6);
    EXPECT_NEAR(exports::LinearLight(0.5), 0.21404114, 1e-8);
    EXPECT_NEAR(materials[7]["emissiveFactor"][1].get<double>(), 15 / 255.0, 1e-12);
}

TEST_F(ExportTest, FacesOfAPartThatIsNotCertifiedAreDoubleSided) {
    Part("plain.dat", "0 No BFC\n" + export_test::Box(-10, 0, -10, 10, 24, 10));
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(
        Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 plain.dat\n"
             "1 4 40 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"));
    ASSERT_TRUE(Export("out.glb").written);
    const Glb glb = ReadGlb(Path("out.glb"));
    const Json& materials = glb.json["materials"];
    ASSERT_EQ(materials.size(), 2u);
    EXPECT_EQ(materials[0]["doubleSided"], true);
    EXPECT_FALSE(materials[1].contains("doubleSided"));
    EXPECT_EQ(materials[0]["name"], materials[1]["name"]);
    EXPECT_EQ(materials[0]["name"], "Red");
}

TEST_F(ExportTest, SubmodelsAreNodesAndEveryPlacementNamesItsStep) {
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(
        Load("0 FILE main.ldr\n"
             "1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "0 STEP\n"
             "1 1 0 -24 0 1 0 0 0 1 0 0 0 1 wing.ldr\n"
             "3 16 0 0 0 10 0 0 0 0 10\n"
             "0 STEP\n"
             "1 14 100 0 0 0 0 1 0 1 0 -1 0 0 wing.ldr\n"
             "0 FILE wing.ldr\n"
             "1 16 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "1 15 20 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"
             "4 16 0 0 0 10 0 0 10 0 10 0 0 10\n",
             "plane.mpd"));
    const exports::ExportResult done = Export("out.glb");
    ASSERT_TRUE(done.written) << done.error;
    EXPECT_EQ(done.summary.steps, 3);
    const Json nodes = ReadGlb(Path("out.glb")).json["nodes"];
    struct Want {
        std::string name;
        int step;
        std::vector<int> children;
    };
    // The model's own triangle sits on its node, each wing's quadrilateral on the wing's.
    const std::vector<Want> want = {{"plane.mpd", -1, {1, 2, 5}}, {"cube.dat", 1, {}},
                                    {"wing.ldr", 2, {3, 4}},      {"cube.dat", 2, {}},
                                    {"cube.dat", 2, {}},          {"wing.ldr", 3, {6, 7}},
                                    {"cube.dat", 3, {}},          {"cube.dat", 3, {}}};
    ASSERT_EQ(nodes.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(nodes[i]["name"], want[i].name);
        if (want[i].step < 0)
            EXPECT_FALSE(nodes[i].contains("extras"));
        else
            EXPECT_EQ(nodes[i]["extras"]["step"], want[i].step);
        EXPECT_EQ(nodes[i].value("children", Json::array()), Json(want[i].children));
        EXPECT_TRUE(nodes[i].contains("mesh"));
    }
    // Colour 16 in a submodel: the submodel's colour.
    const Json meshes = ReadGlb(Path("out.glb")).json["meshes"];
    EXPECT_EQ(meshes[nodes[3]["mesh"].get<int>()]["extras"]["ldrawColour"], 1);
    EXPECT_EQ(meshes[nodes[6]["mesh"].get<int>()]["extras"]["ldrawColour"], 14);

    // As built up to step 2: the second wing is not there yet.
    exports::SceneRequest upTo2;
    upTo2.step = 2;
    ASSERT_TRUE(Export("step2.glb", upTo2).written);
    const Json stepped = ReadGlb(Path("step2.glb")).json["nodes"];
    ASSERT_EQ(stepped.size(), 5u);
    EXPECT_EQ(stepped[0]["children"], Json::parse("[1, 2]"));
    exports::SceneRequest upTo1;
    upTo1.step = 1;
    const exports::ExportResult first = Export("step1.glb", upTo1);
    EXPECT_EQ(first.summary.triangles, 12);
    // The own triangle came in step 2.
    EXPECT_FALSE(ReadGlb(Path("step1.glb")).json["nodes"][0].contains("mesh"));
}

TEST_F(ExportTest, EdgeLinesInTheEdgeColourOfTheirPlacementWhenAskedFor) {
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"));
    exports::SceneRequest lines;
    lines.lines = true;
    const exports::ExportResult done = Export("out.glb", lines);
    ASSERT_TRUE(done.written);
    EXPECT_EQ(done.summary.lines, 12);
    const Json json = ReadGlb(Path("out.glb")).json;
    const Json& primitives = json["meshes"][0]["primitives"];
    ASSERT_EQ(primitives.size(), 2u);
    EXPECT_EQ(primitives[1]["mode"], 1);
    EXPECT_FALSE(primitives[1]["attributes"].contains("NORMAL"));
    const Json& edge = json["materials"][primitives[1]["material"].get<int>()];
    // The classic edge colour of red (4) is 12.
    EXPECT_EQ(edge["extras"]["ldrawColour"], QzEdgeColours[4]);
    // Without the option: faces only.
    EXPECT_EQ(Export("plain.glb").summary.lines, 0);
    EXPECT_EQ(ReadGlb(Path("plain.glb")).json["meshes"][0]["primitives"].size(), 1u);
}

TEST_F(ExportTest, FacesWithoutAreaAreLeftOutAndCounted) {
    // A triangle whose corners lie on a line, kept by the reader as colour 16, and a
    // quadrilateral folded onto itself along one half.
    Part("flat.dat",
         "0 BFC CERTIFY CCW\n"
         "3 16 0 0 0 10 0 0 20 0 0\n"
         "3 16 0 0 0 10 0 0 0 0 10\n");
    ASSERT_TRUE(
        Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 flat.dat\n"
             "1 4 0 -10 0 1 0 0 0 1 0 0 0 1 flat.dat\n"));
    const exports::ExportResult done = Export("out.glb");
    ASSERT_TRUE(done.written);
    EXPECT_EQ(done.summary.triangles, 2);
    EXPECT_EQ(done.summary.dropped, 2);
}

TEST_F(ExportTest, AQuadrilateralWithAReflexCornerIsTwoTrianglesInsideIt) {
    // An arrow head: corner 1 turns inwards.
    Part("dart.dat", "0 BFC CERTIFY CCW\n4 16 0 0 0 10 0 5 20 0 0 10 0 20\n");
    ASSERT_TRUE(Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 dart.dat\n"));
    const exports::ExportResult done = Export("out.stl");
    ASSERT_TRUE(done.written);
    ASSERT_EQ(done.summary.triangles, 2);
    double area = 0;
    for (const StlTriangle& t : ReadStl(Slurp(Path("out.stl")))) {
        const double u[2] = {t.corner[1][0] - t.corner[0][0], t.corner[1][1] - t.corner[0][1]};
        const double v[2] = {t.corner[2][0] - t.corner[0][0], t.corner[2][1] - t.corner[0][1]};
        area += std::fabs(u[0] * v[1] - u[1] * v[0]) / 2;
    }
    // The dart's area, not that of its hull: 20 x 20 / 2 less the notch 20 x 5 / 2 square
    // units, 0.4 mm each way.
    EXPECT_NEAR(area, (200.0 - 50.0) * 0.16, 1e-3);
}

TEST_F(ExportTest, APlacementThatShearsGetsAMeshOfItsOwnAndNearRotationsTheirRotation) {
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(
        Load("1 4 0 0 0 1 0.5 0 0 1 0 0 0 1 cube.dat\n"
             "1 4 40 0 0 0.447 0 -0.894 0.083 0.996 0.041 0.891 -0.092 0.445 cube.dat\n"
             "1 4 80 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"));
    ASSERT_TRUE(Export("out.glb").written);
    const Json json = ReadGlb(Path("out.glb")).json;
    const Json& nodes = json["nodes"];
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_FALSE(nodes[1].contains("matrix"));
    EXPECT_NE(nodes[1]["mesh"], nodes[2]["mesh"]);
    EXPECT_EQ(nodes[2]["mesh"], nodes[3]["mesh"]);
    // The rotation written with three decimals becomes the nearest rotation, its columns
    // keeping their lengths.
    double columns[3][3];
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) columns[c][r] = nodes[2]["matrix"][c * 4 + r].get<double>();
        const double length = std::hypot(columns[c][0], columns[c][1], columns[c][2]);
        EXPECT_NEAR(length, 1.0, 1e-3);
        for (double& v : columns[c]) v /= length;
    }
    for (int c = 0; c < 3; ++c) {
        const double* d = columns[(c + 1) % 3];
        EXPECT_NEAR(columns[c][0] * d[0] + columns[c][1] * d[1] + columns[c][2] * d[2], 0, 1e-6);
    }
    EXPECT_NEAR(nodes[2]["matrix"][0].get<double>(), 0.447, 2e-3);
}

TEST(NodeMatrix, RotationsAndScalesAreKeptNearOnesMendedShearsRefused) {
    auto affine = [](std::array<double, 9> m) {
        exports::Affine a = exports::Affine::Identity();
        for (int i = 0; i < 9; ++i) a.m[i / 3][i % 3] = m[i];
        return a;
    };
    struct Case {
        std::array<double, 9> m;
        bool carried;
        bool same;
    };
    const double s = std::sqrt(0.5);
    for (const Case& c :
         {Case{{1, 0, 0, 0, 1, 0, 0, 0, 1}, true, true},
          Case{{-1, 0, 0, 0, 1, 0, 0, 0, 1}, true, true},
          Case{{0, 0, 1, 0, 1, 0, -1, 0, 0}, true, true},
          Case{{s, 0, s, 0, 1, 0, -s, 0, s}, true, true},
          Case{{10, 0, 0, 0, 24, 0, 0, 0, 10}, true, true},
          Case{{0.7071, 0, 0.7071, 0, 1, 0, -0.7071, 0, 0.7071}, true, true},
          Case{{0.447, 0, -0.894, 0.083, 0.996, 0.041, 0.891, -0.092, 0.445}, true, false},
          Case{{1, 0.5, 0, 0, 1, 0, 0, 0, 1}, false, false},
          Case{{1, 0.01, 0, 0, 1, 0, 0, 0, 1}, false, false},
          Case{{1, 0, 0, 0, 0, 0, 0, 0, 1}, false, false}}) {
        const std::optional<exports::Affine> node = exports::NodeMatrix(affine(c.m));
        EXPECT_EQ(node.has_value(), c.carried) << c.m[0] << " " << c.m[1];
        if (!node) continue;
        bool same = true;
        for (int i = 0; i < 9; ++i) same = same && node->m[i / 3][i % 3] == c.m[i];
        EXPECT_EQ(same, c.same) << c.m[0];
    }
}

TEST_F(ExportTest, ModelsThatCannotBeExportedWriteNothing) {
    Part("cube.dat", kCubePart);
    struct Case {
        std::string model;
        std::string error;
    };
    const Case cases[] = {
        {"1 4 20000000 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n",
         "cube.dat is placed farther than 10000000 LDraw units (4 km) from the model's origin, "
         "or at a point that is not a number: the model cannot be exported"},
        {"1 4 0 0 0 1e30 0 0 0 1e30 0 0 0 1e30 cube.dat\n",
         "cube.dat is placed farther than 10000000 LDraw units (4 km) from the model's origin, "
         "or at a point that is not a number: the model cannot be exported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        ASSERT_TRUE(Load(c.model));
        for (const char* name : {"out.glb", "out.gltf", "out.stl", "out.obj"}) {
            const exports::ExportResult done = Export(name);
            EXPECT_FALSE(done.written);
            EXPECT_EQ(done.error, c.error);
        }
        EXPECT_EQ(testing_support::Entries(dir.path()),
                  (std::vector<std::string>{"ldraw", "model.ldr"}));
    }
}

TEST_F(ExportTest, AModelOfMoreThanAnExportHoldsIsRefused) {
    // Seven levels of nine submodels: 4.8 million placements.
    std::string text = "0 FILE top.ldr\n";
    for (int level = 0; level < 7; ++level) {
        for (int i = 0; i < 9; ++i)
            text += "1 4 " + std::to_string(i) + " 0 0 1 0 0 0 1 0 0 0 1 l" +
                    std::to_string(level + 1) + ".ldr\n";
        text += "0 FILE l" + std::to_string(level + 1) + ".ldr\n";
    }
    text += "3 16 0 0 0 1 0 0 0 0 1\n";
    ASSERT_TRUE(Load(text, "deep.mpd"));
    const exports::ExportResult done = Export("out.glb");
    EXPECT_FALSE(done.written);
    EXPECT_EQ(done.error, "the model places more than 4000000 files: too many to export");
}

TEST_F(ExportTest, AnEmptyModelIsAFileOfItsNodeAlone) {
    ASSERT_TRUE(Load("0 Nothing\n"));
    const exports::ExportResult done = Export("out.glb");
    ASSERT_TRUE(done.written) << done.error;
    const Json json = ReadGlb(Path("out.glb")).json;
    EXPECT_EQ(json["nodes"], Json::parse(R"([{"name":"model.ldr"}])"));
    EXPECT_FALSE(json.contains("buffers"));
    ASSERT_TRUE(Export("out.stl").written);
    EXPECT_EQ(Slurp(Path("out.stl")).size(), 84u);
}

TEST_F(ExportTest, ExportsAreTheSameEveryTimeAndAGltfNamesItsBinByUri) {
    Part("cube.dat", kCubePart);
    ASSERT_TRUE(Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 cube.dat\n"));
    for (const char* name : {"a b.glb", "a b.gltf", "a b.stl", "a b.obj"}) {
        ASSERT_TRUE(Export(name).written);
        const std::string first = Slurp(Path(name));
        ASSERT_TRUE(Export(name).written);
        EXPECT_EQ(Slurp(Path(name)), first) << name;
    }
    const Json gltf = Json::parse(Slurp(Path("a b.gltf")));
    EXPECT_EQ(gltf["buffers"][0]["uri"], "a%20b.bin");
    EXPECT_EQ(gltf["buffers"][0]["byteLength"], Slurp(Path("a b.bin")).size());
    EXPECT_EQ(testing_support::Entries(dir.path()),
              (std::vector<std::string>{"a b.bin", "a b.glb", "a b.gltf", "a b.mtl", "a b.obj",
                                        "a b.stl", "ldraw", "model.ldr"}));
}

TEST(ExportFormats, ByExtensionInAnyCaseOrByName) {
    EXPECT_EQ(exports::FormatOfPath("x/model.GLB"), exports::Format::Glb);
    EXPECT_EQ(exports::FormatOfPath("model.gltf"), exports::Format::Gltf);
    EXPECT_EQ(exports::FormatOfPath("model.Stl"), exports::Format::Stl);
    EXPECT_EQ(exports::FormatOfPath("model.obj"), exports::Format::Obj);
    EXPECT_EQ(exports::FormatOfPath("model.ldr"), std::nullopt);
    EXPECT_EQ(exports::FormatOfPath("a.glb/model"), std::nullopt);
    EXPECT_EQ(exports::FormatOfPath("glb"), std::nullopt);
    EXPECT_EQ(exports::FormatNamed("stl"), exports::Format::Stl);
    EXPECT_EQ(exports::FormatNamed("STL"), std::nullopt);
    EXPECT_EQ(exports::FormatNames(), "glb, gltf, stl, obj");
    EXPECT_EQ(exports::CompanionPath(exports::Format::Gltf, "d.x/m.gltf"), "d.x/m.bin");
    EXPECT_EQ(exports::CompanionPath(exports::Format::Obj, "d.x/m"), "d.x/m.mtl");
    EXPECT_EQ(exports::CompanionPath(exports::Format::Glb, "m.glb"), "");
    EXPECT_EQ(exports::ProposedExportName("/x/My Car.mpd", exports::Format::Glb), "My Car.glb");
    EXPECT_EQ(exports::ColourName(0x2FF8800, {}), "#FF8800");
    EXPECT_EQ(exports::ColourName(4, {}), "Red");
    EXPECT_EQ(exports::ColourName(4, {{4, "Red_Brick"}}), "Red_Brick");
    EXPECT_EQ(exports::ColourName(999, {}), "Colour 999");
}

}  // namespace
