// Prints in the glTF export: a textured face carries TEXCOORD_0 at the image's corners
// (the image upright and not mirrored: glTF's origin is its top left, as LDraw's), its
// material the image laid over the face's colour as a PNG in the buffer (a cut-out
// shows the face's colour), with a border of that colour; the mapping of a file placed
// inside a START block of the model, each mapping a mesh of its own; the FALLBACK
// geometry left out; no print on glass.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "export_fixture.h"
#include "texmap.h"

namespace {

using export_test::ExportTest;
using export_test::Floats;
using export_test::Glb;
using export_test::Indices;
using export_test::Json;
using export_test::ReadGlb;
using testing_support::Base64Lines;
using testing_support::EncodePng;

// Four quadrants of 2 x 2 texels: red top left, green top right, blue bottom left, and
// bottom right transparent (a cut-out).
std::string Quadrants() { return EncodePng(4, 4, testing_support::QuadrantTexels({0, 0, 0, 0})); }

// A square at z = 0 from -40 to 40, seen from the front (-z in LDraw).
const std::string kSquare = "4 16 -40 -40 0 40 -40 0 40 40 0 -40 40 0\n";
const std::string kPlanar = "0 !TEXMAP START PLANAR -40 -40 0 40 -40 0 -40 40 0 ";

// A sticker: the image on the square, a blank square of another size as its fallback.
std::string Sticker(const std::string& image) {
    return "0 Sticker\n0 BFC CERTIFY CCW\n" + kPlanar + image + "\n0 !: " + kSquare +
           "0 !TEXMAP FALLBACK\n4 16 -50 -50 0 50 -50 0 50 50 0 -50 50 0\n0 !TEXMAP END\n";
}

std::string DataSection(const std::string& name, const std::string& bytes) {
    std::string text = "0 !DATA " + name + "\n";
    for (const std::string& line : Base64Lines(bytes)) text += "0 !: " + line + "\n";
    return text;
}

// A point of a mesh's primitive: its position (LDraw units, in the part's axes) and
// its texture coordinate.
struct Corner {
    double x, y, z, u, v;
};
std::vector<Corner> CornersOf(const Glb& glb, const Json& primitive) {
    const std::vector<float> p = Floats(glb, primitive["attributes"]["POSITION"].get<int>());
    const std::vector<float> t = Floats(glb, primitive["attributes"]["TEXCOORD_0"].get<int>());
    std::vector<Corner> out;
    for (const uint32_t i : Indices(glb, primitive["indices"].get<int>()))
        out.push_back({p[i * 3] / 0.0004, -p[i * 3 + 1] / 0.0004, -p[i * 3 + 2] / 0.0004, t[i * 2],
                       t[i * 2 + 1]});
    return out;
}

// The embedded image of a material's base colour, decoded.
QzImage ImageOf(const Glb& glb, const Json& material) {
    const int texture = material["pbrMetallicRoughness"]["baseColorTexture"]["index"].get<int>();
    const Json& image = glb.json["images"][glb.json["textures"][texture]["source"].get<int>()];
    EXPECT_EQ(image["mimeType"], "image/png");
    const Json& view = glb.json["bufferViews"][image["bufferView"].get<int>()];
    QzImage decoded;
    std::string error;
    EXPECT_TRUE(QzDecodePng(
        glb.bin.substr(view["byteOffset"].get<size_t>(), view["byteLength"].get<size_t>()), decoded,
        error))
        << error;
    return decoded;
}

std::array<int, 3> Texel(const QzImage& image, int x, int y) {
    const uint8_t* p = &image.levels[0].rgba[(static_cast<size_t>(y) * image.Width() + x) * 4];
    return {p[0], p[1], p[2]};
}

TEST_F(ExportTest, APrintCarriesItsImageUprightOverTheFaceColourWithoutTheFallback) {
    Part("sticker.dat", Sticker("own.png"));
    ASSERT_TRUE(Load("0 FILE main.ldr\n1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n" +
                         DataSection("own.png", Quadrants()),
                     "model.mpd"));
    EXPECT_EQ(model.inputLog, "");
    const exports::ExportResult done = Export("out.glb");
    ASSERT_TRUE(done.written) << done.error;
    // The square's two triangles, not the fallback's.
    EXPECT_EQ(done.summary.triangles, 2);
    const Glb glb = ReadGlb(Path("out.glb"));
    ASSERT_EQ(glb.json["meshes"].size(), 1u);
    const Json& primitive = glb.json["meshes"][0]["primitives"][0];
    const Json& material = glb.json["materials"][primitive["material"].get<int>()];
    EXPECT_EQ(material["name"], "Red with own.png");
    EXPECT_FALSE(material["pbrMetallicRoughness"].contains("baseColorFactor"));
    EXPECT_EQ(material["extras"], Json::parse(R"({"ldrawColour":4,"texture":"own.png"})"));
    EXPECT_EQ(glb.json["samplers"], Json::parse(R"([{"magFilter":9729,"minFilter":9987,
                                                     "wrapS":33071,"wrapT":33071}])"));
    // The corners: the image's top left at (-40, -40), in a border of one texel of the
    // 6 x 6 image written.
    const std::vector<Corner> corners = CornersOf(glb, primitive);
    ASSERT_EQ(corners.size(), 6u);
    for (const Corner& c : corners) {
        EXPECT_NEAR(c.u, (1 + 4 * (c.x + 40) / 80) / 6, 1e-6) << c.x << ' ' << c.y;
        EXPECT_NEAR(c.v, (1 + 4 * (c.y + 40) / 80) / 6, 1e-6) << c.x << ' ' << c.y;
    }
    // The image over red (LDConfig's default red here: the palette's colour 4): the
    // quadrants in their corners, red where the image is transparent and around it.
    const QzImage image = ImageOf(glb, material);
    ASSERT_EQ(image.Width(), 6);
    ASSERT_EQ(image.Height(), 6);
    float red[3];
    QzColourToRgb(palette, 4, red);
    const std::array<int, 3> face{static_cast<int>(std::lround(red[0] * 255)),
                                  static_cast<int>(std::lround(red[1] * 255)),
                                  static_cast<int>(std::lround(red[2] * 255))};
    const struct {
        int x, y;
        std::array<int, 3> rgb;
    } texels[] = {{1, 1, {255, 0, 0}}, {4, 1, {0, 255, 0}}, {1, 4, {0, 0, 255}}, {4, 4, face},
                  {0, 0, face},        {5, 3, face},        {3, 5, face}};
    for (const auto& t : texels) EXPECT_EQ(Texel(image, t.x, t.y), t.rgb) << t.x << ',' << t.y;
}

TEST_F(ExportTest, AMappingFromAboveTexturesWhatItPlacesEachMappingAMeshOfItsOwn) {
    Write("ldraw/parts/textures/quad.png", Quadrants());
    Part("square.dat", "0 Square\n0 BFC CERTIFY CCW\n" + kSquare);
    // Two squares of half size side by side under one mapping of the model, the image
    // across both; the same square again under a mapping of its own place, and once
    // outside any mapping; the fallback of the block is left out.
    ASSERT_TRUE(
        Load("0 !TEXMAP START PLANAR -40 -20 0 40 -20 0 -40 20 0 quad.png\n"
             "1 7 -20 0 0 0.5 0 0 0 0.5 0 0 0 1 square.dat\n"
             "1 7 20 0 0 0.5 0 0 0 0.5 0 0 0 1 square.dat\n"
             "0 !TEXMAP FALLBACK\n"
             "1 7 0 0 0 1 0 0 0 1 0 0 0 1 square.dat\n"
             "0 !TEXMAP END\n"
             "0 !TEXMAP START PLANAR 60 -20 0 100 -20 0 60 20 0 quad.png\n"
             "1 7 80 0 0 0.5 0 0 0 0.5 0 0 0 1 square.dat\n"
             "0 !TEXMAP END\n"
             "1 7 200 0 0 0.5 0 0 0 0.5 0 0 0 1 square.dat\n"));
    const exports::ExportResult done = Export("out.glb");
    ASSERT_TRUE(done.written) << done.error;
    EXPECT_EQ(done.summary.parts, 4);
    const Glb glb = ReadGlb(Path("out.glb"));
    // A mesh per mapping: the left and right squares lie differently in the first one.
    ASSERT_EQ(glb.json["meshes"].size(), 4u);
    const Json& nodes = glb.json["nodes"];
    ASSERT_EQ(nodes.size(), 5u);
    // Where each square's corners (-40, -40) and (40, 40) of its own land in the image.
    const struct {
        double u0, v0, u1, v1;
    } expected[] = {{0, 0, 0.5, 1}, {0.5, 0, 1, 1}, {0, 0, 1, 1}};
    std::set<int> meshes;
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        const int mesh = nodes[n + 1]["mesh"].get<int>();
        meshes.insert(mesh);
        const Json& primitive = glb.json["meshes"][mesh]["primitives"][0];
        const Json& material = glb.json["materials"][primitive["material"].get<int>()];
        EXPECT_EQ(material["extras"]["texture"], "quad.png");
        for (const Corner& c : CornersOf(glb, primitive)) {
            const double s = (c.x + 40) / 80, t = (c.y + 40) / 80;
            const auto& e = expected[n];
            EXPECT_NEAR(c.u, (1 + 4 * (e.u0 + s * (e.u1 - e.u0))) / 6, 1e-6);
            EXPECT_NEAR(c.v, (1 + 4 * (e.v0 + t * (e.v1 - e.v0))) / 6, 1e-6);
        }
    }
    EXPECT_EQ(meshes.size(), 3u);
    // Outside any mapping: no texture.
    const Json& plain = glb.json["meshes"][nodes[4]["mesh"].get<int>()]["primitives"][0];
    EXPECT_FALSE(plain["attributes"].contains("TEXCOORD_0"));
    EXPECT_FALSE(glb.json["materials"][plain["material"].get<int>()]["extras"].contains("texture"));
    // One image: one colour.
    EXPECT_EQ(glb.json["images"].size(), 1u);
}

TEST_F(ExportTest, PlacementsOfAPrintedPartShareItsMeshAndGlassShowsNoPrint) {
    Write("ldraw/parts/textures/quad.png", Quadrants());
    Part("sticker.dat", Sticker("quad.png"));
    ASSERT_TRUE(
        Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n"
             "1 4 100 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n"
             "1 1 200 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n"
             "1 36 300 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n"));
    const exports::ExportResult done = Export("out.glb");
    ASSERT_TRUE(done.written) << done.error;
    const Glb glb = ReadGlb(Path("out.glb"));
    const Json& nodes = glb.json["nodes"];
    EXPECT_EQ(nodes[1]["mesh"], nodes[2]["mesh"]);
    EXPECT_EQ(glb.json["meshes"].size(), 3u);
    // The image over red, over blue; none on transparent red.
    EXPECT_EQ(glb.json["images"].size(), 2u);
    const Json& glass = glb.json["meshes"][nodes[4]["mesh"].get<int>()]["primitives"][0];
    EXPECT_FALSE(glass["attributes"].contains("TEXCOORD_0"));
    EXPECT_EQ(glb.json["materials"][glass["material"].get<int>()]["alphaMode"], "BLEND");
}

TEST_F(ExportTest, AGltfKeepsItsImagesInItsBin) {
    Write("ldraw/parts/textures/quad.png", Quadrants());
    Part("sticker.dat", Sticker("quad.png"));
    ASSERT_TRUE(Load("1 4 0 0 0 1 0 0 0 1 0 0 0 1 sticker.dat\n"));
    ASSERT_TRUE(Export("out.gltf").written);
    ASSERT_TRUE(Export("out.glb").written);
    const Json gltf = Json::parse(testing_support::Slurp(Path("out.gltf")));
    const Glb glb = ReadGlb(Path("out.glb"));
    EXPECT_EQ(testing_support::Entries(dir.path()),
              (std::vector<std::string>{"ldraw", "model.ldr", "out.bin", "out.glb", "out.gltf"}));
    EXPECT_EQ(gltf["images"], glb.json["images"]);
    const std::string bin = testing_support::Slurp(Path("out.bin"));
    ASSERT_GT(bin.size(), 100u);
    EXPECT_EQ(bin, glb.bin.substr(0, bin.size()));
}

}  // namespace
