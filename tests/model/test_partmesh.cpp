// Part meshes made from a scratch library: the same lines give the same mesh however
// the walk hands over their points, and corner normals are joined along the edges
// optional lines mark smooth, and only there.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <string>

#include "colours.h"
#include "drawdata.h"
#include "loader.h"
#include "model.h"
#include "partmesh.h"
#include "test_support.h"

namespace {

class PartMesh : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.path() / "ldraw" / "parts");
        std::filesystem::create_directories(dir.path() / "ldraw" / "p");
        settings.ldrawDir = (dir.path() / "ldraw").string();
    }
    void Part(const std::string& relative, const std::string& content) {
        dir.Write("ldraw/" + relative, content);
    }
    // Loads a model placing each named part once and gives the flattened meshes.
    std::vector<QzPartMesh> Meshes(const std::vector<std::string>& parts) {
        std::string text;
        for (const std::string& name : parts) text += "1 16 0 0 0 1 0 0 0 1 0 0 0 1 " + name + "\n";
        model = QzModel();
        EXPECT_NE(QzReadModel(model, dir.Write("model.ldr", text), settings, palette), 0);
        EXPECT_TRUE(QzPrepareDrawData(&model.Main()));
        std::vector<QzPartMesh> meshes;
        for (const std::string& name : parts) {
            const QzPart* found = nullptr;
            for (int i = 0; i < model.partCount; ++i)
                if (model.parts[i].name == name) found = &model.parts[i];
            EXPECT_NE(found, nullptr) << name;
            if (found) meshes.push_back(QzBuildPartMesh(*found, true));
        }
        return meshes;
    }

    testing_support::ScopedMessageBox boxes;
    testing_support::TempDir dir;
    QzLoadSettings settings;
    QzPalette palette;
    QzModel model;
};

bool SameVector(const QzVector& a, const QzVector& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The same positions, normals and faces.
void ExpectSameFaces(const QzPartMesh& a, const QzPartMesh& b) {
    ASSERT_EQ(a.positions.size(), b.positions.size());
    for (size_t i = 0; i < a.positions.size(); ++i)
        EXPECT_TRUE(SameVector(a.positions[i], b.positions[i])) << "position " << i;
    ASSERT_EQ(a.normals.size(), b.normals.size());
    for (size_t i = 0; i < a.normals.size(); ++i)
        EXPECT_TRUE(SameVector(a.normals[i], b.normals[i])) << "normal " << i;
    ASSERT_EQ(a.triangles.size(), b.triangles.size());
    for (size_t t = 0; t < a.triangles.size(); ++t) {
        const QzMeshTriangle& x = a.triangles[t];
        const QzMeshTriangle& y = b.triangles[t];
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(x.v[k], y.v[k]) << "triangle " << t;
            EXPECT_EQ(x.n[k], y.n[k]) << "triangle " << t;
        }
        EXPECT_EQ(x.colour, y.colour);
        EXPECT_EQ(x.flags, y.flags);
    }
}

void ExpectSameMesh(const QzPartMesh& a, const QzPartMesh& b) {
    ExpectSameFaces(a, b);
    ASSERT_EQ(a.lines.size(), b.lines.size());
    for (size_t l = 0; l < a.lines.size(); ++l) {
        EXPECT_EQ(a.lines[l].v[0], b.lines[l].v[0]);
        EXPECT_EQ(a.lines[l].v[1], b.lines[l].v[1]);
    }
    ASSERT_EQ(a.optionalLines.size(), b.optionalLines.size());
    for (size_t l = 0; l < a.optionalLines.size(); ++l)
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(a.optionalLines[l].v[k], b.optionalLines[l].v[k]);
            EXPECT_EQ(a.optionalLines[l].c[k], b.optionalLines[l].c[k]);
        }
    ASSERT_EQ(a.groups.size(), b.groups.size());
}

// An eight-sided tube's wall (quadrilaterals with optional lines at their shared
// edges), its rims as lines, and a cap placed at each end between them: the lines of
// the tube's own file come in runs around the references.
std::string Tube() {
    const int xs[8] = {10, 7, 0, -7, -10, -7, 0, 7};
    const int zs[8] = {0, 7, 10, 7, 0, -7, -10, -7};
    auto at = [&](int i, int y) {
        return std::to_string(xs[i % 8]) + " " + std::to_string(y) + " " +
               std::to_string(zs[i % 8]);
    };
    std::string text = "0 Tube\n0 BFC CERTIFY CCW\n";
    for (int i = 0; i < 8; ++i) {
        text +=
            "4 16 " + at(i, 0) + " " + at(i, 20) + " " + at(i + 1, 20) + " " + at(i + 1, 0) + "\n";
        if (i == 3) text += "1 16 0 0 0 1 0 0 0 1 0 0 0 1 cap.dat\n";
    }
    for (int i = 0; i < 8; ++i) {
        text +=
            "5 24 " + at(i, 0) + " " + at(i, 20) + " " + at(i + 7, 0) + " " + at(i + 1, 0) + "\n";
        text += "2 24 " + at(i, 0) + " " + at(i + 1, 0) + "\n";
    }
    text += "1 16 0 20 0 1 0 0 0 -1 0 0 0 1 cap.dat\n";
    for (int i = 0; i < 8; ++i) text += "2 24 " + at(i, 20) + " " + at(i + 1, 20) + "\n";
    return text;
}

TEST_F(PartMesh, TheSameLinesGiveTheSameMeshWhetherTheirPointsAreSharedOrReadLineByLine) {
    Part("p/cap.dat",
         "0 Cap\n0 BFC CERTIFY CCW\n"
         "3 16 0 0 0 10 0 0 7 0 7\n3 16 0 0 0 7 0 7 0 0 10\n3 16 0 0 0 0 0 10 -7 0 7\n"
         "3 16 0 0 0 -7 0 7 -10 0 0\n3 16 0 0 0 -10 0 0 -7 0 -7\n3 16 0 0 0 -7 0 -7 0 0 -10\n"
         "3 16 0 0 0 0 0 -10 7 0 -7\n3 16 0 0 0 7 0 -7 10 0 0\n");
    Part("parts/tube.dat", Tube());
    // The same file with a texture mapping whose image is not there: a reader with
    // textures walks its lines one by one, and they keep their own colour.
    Part("parts/tubet.dat", "0 !TEXMAP NEXT PLANAR -10 0 0 10 0 0 -10 20 0 missing.png\n" + Tube());
    const std::vector<QzPartMesh> meshes = Meshes({"tube.dat", "tubet.dat"});
    ASSERT_EQ(meshes.size(), 2u);
    ASSERT_TRUE(model.parts[0].lines != nullptr);
    for (int i = 0; i < model.partCount; ++i)
        if (model.parts[i].name == "tubet.dat") {
            ASSERT_NE(model.parts[i].cache, nullptr);
            EXPECT_TRUE(model.parts[i].cache->textured);
        }
    // The wall's 8 quadrilaterals and each cap's 8 triangles; 8 x 2 x 2 corners welded
    // with the caps' centres.
    EXPECT_EQ(meshes[0].triangles.size(), 8u * 2 + 2 * 8);
    EXPECT_EQ(meshes[0].positions.size(), 8u * 2 + 2);
    ExpectSameMesh(meshes[0], meshes[1]);
}

// Three faces along one edge (the x axis from 0 to 10) marked smooth, each in a
// colour of its own, and a fourth meeting them only at the origin.
std::string Fan(const std::string& smoothLines) {
    return "0 Fan\n"
           "4 1 0 0 0 10 0 0 10 0 10 0 0 10\n"
           "4 2 0 0 0 0 -10 0 10 -10 0 10 0 0\n"
           "4 3 0 0 0 10 0 0 10 7 -7 0 7 -7\n"
           "4 4 0 0 0 0 0 -10 -10 -5 -10 -10 -5 0\n" +
           smoothLines;
}

// The normal of the corner at position p of the triangles in colour c (all of them
// alike there).
QzVector NormalAt(const QzPartMesh& mesh, const QzVector& p, int c) {
    std::set<uint32_t> numbers;
    for (const QzMeshTriangle& t : mesh.triangles)
        for (int k = 0; k < 3; ++k)
            if (t.colour.number == c && SameVector(mesh.positions[t.v[k]], p))
                numbers.insert(t.n[k]);
    EXPECT_EQ(numbers.size(), 1u) << "colour " << c;
    return numbers.empty() ? QzVector{} : mesh.normals[*numbers.begin()];
}

double Dot(const QzVector& a, const QzVector& b) {
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
           static_cast<double>(a.z) * b.z;
}

TEST_F(PartMesh, CornersAlongASmoothEdgeShareOneNormalAndEveryOtherCornerKeepsItsFace) {
    const std::string smooth = "5 24 0 0 0 10 0 0 0 5 5 0 -5 5\n";
    Part("parts/fan.dat", Fan(smooth));
    // The edge marked twice, and the other way round, changes nothing.
    Part("parts/fan2.dat", Fan(smooth + "5 24 10 0 0 0 0 0 0 5 5 0 -5 5\n" + smooth));
    Part("parts/flat.dat", Fan(""));
    const std::vector<QzPartMesh> meshes = Meshes({"fan.dat", "fan2.dat", "flat.dat"});
    ASSERT_EQ(meshes.size(), 3u);
    const QzPartMesh& fan = meshes[0];
    const QzPartMesh& flat = meshes[2];
    for (const QzVector end : {QzVector{0, 0, 0}, QzVector{10, 0, 0}}) {
        // One normal for the three faces along the edge (turned to each face's side),
        // lying across the edge, and none of theirs.
        const QzVector first = NormalAt(fan, end, 1);
        EXPECT_NEAR(Dot(first, first), 1.0, 1e-5);
        EXPECT_NEAR(first.x, 0.0, 1e-6);
        for (int c = 1; c <= 3; ++c) {
            const QzVector n = NormalAt(fan, end, c);
            EXPECT_NEAR(std::fabs(Dot(n, first)), 1.0, 1e-5) << c;
            EXPECT_GT(Dot(n, NormalAt(flat, end, c)), 0.0) << c;
            EXPECT_LT(std::fabs(Dot(n, NormalAt(flat, end, c))), 0.99) << c;
        }
    }
    // Away from the edge, and where the fourth face meets the others, every corner has
    // its face's own normal.
    for (int c = 1; c <= 3; ++c) {
        const QzVector away = c == 2 ? QzVector{0, -10, 0} : QzVector{0, 7, -7};
        const QzVector p = c == 1 ? QzVector{10, 0, 10} : away;
        EXPECT_TRUE(SameVector(NormalAt(fan, p, c), NormalAt(flat, p, c))) << c;
    }
    EXPECT_TRUE(SameVector(NormalAt(fan, {0, 0, 0}, 4), NormalAt(flat, {0, 0, 0}, 4)));
    ExpectSameFaces(fan, meshes[1]);
    // Without the optional line each face has one normal.
    std::set<uint32_t> all;
    for (const QzMeshTriangle& t : flat.triangles) all.insert(t.n, t.n + 3);
    EXPECT_EQ(all.size(), 4u);
}

// A drawing passes over a block of faces or lines whose box is hidden: each box must
// hold every point of its elements (and no more, or less is passed over).
TEST_F(PartMesh, EachBlockOfFacesAndLinesHasTheBoxOfItsPoints) {
    // Faces, lines and optional lines along x, none sharing a point with another.
    std::string row = "0 Row\n";
    for (int i = 0; i < 40; ++i) {
        const std::string x = std::to_string(10 * i), y = std::to_string(i % 7);
        row += "3 16 " + x + " 0 0 " + x + " 5 0 " + x + " " + y + " 5\n";
        row += "2 24 " + x + " 9 0 " + x + " 9 " + y + "\n";
        row += "5 24 " + x + " 20 0 " + x + " 21 " + y + " -5 0 0 5 0 0\n";
    }
    Part("parts/row.dat", row);
    const std::vector<QzPartMesh> meshes = Meshes({"row.dat"});
    ASSERT_EQ(meshes.size(), 1u);
    const QzPartMesh& mesh = meshes[0];
    ASSERT_EQ(mesh.triangles.size(), 40u);
    ASSERT_EQ(mesh.lines.size(), 40u);
    ASSERT_EQ(mesh.optionalLines.size(), 40u);
    auto check = [&](const std::vector<QzBox>& blocks, size_t count, auto&& points) {
        constexpr size_t k = QzPartMesh::kBlock;
        ASSERT_EQ(blocks.size(), (count + k - 1) / k);
        for (size_t b = 0; b < blocks.size(); ++b) {
            QzBox box;
            QzBoxReset(box);
            for (size_t i = b * k; i < std::min(count, b * k + k); ++i)
                for (uint32_t v : points(i)) QzBoxExtend(mesh.positions[v], box);
            EXPECT_TRUE(SameVector(blocks[b].min, box.min) && SameVector(blocks[b].max, box.max))
                << "block " << b;
        }
    };
    auto face = [&](size_t i) -> const auto& { return mesh.triangles[i].v; };
    auto line = [&](size_t i) -> const auto& { return mesh.lines[i].v; };
    auto optional = [&](size_t i) -> const auto& { return mesh.optionalLines[i].v; };
    check(mesh.triangleBlocks, mesh.triangles.size(), face);
    check(mesh.lineBlocks, mesh.lines.size(), line);
    check(mesh.optionalBlocks, mesh.optionalLines.size(), optional);
}

}  // namespace
