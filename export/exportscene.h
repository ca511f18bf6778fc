// What an export writes, gathered through the one walk (model/walk.h): a node for the
// exported model, a node for each placement of a submodel (a model file, or a section of
// one), and a node for each part of the library placed, with its placement; one mesh for
// each distinct part and resolved colour, which every node placing that part in that
// colour shares; and the geometry of each part once, whatever its colours (once for each
// texture mapping it is placed with from a file above, which textures it). The files are
// read as the high-quality drawing reads them, with their texture mapping. The formats
// (glTF, STL, OBJ) write this one scene each in their own way.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "colours.h"
#include "exportmesh.h"
#include "model.h"

namespace exports {

// What to export of a loaded model.
struct SceneRequest {
    // The model file exported: the main model when null.
    const QzPart* top = nullptr;
    // The building step of the top file up to which it is exported (its lines up to the
    // step's last line, steps.h); 0 for the whole model.
    int step = 0;
    // The edge lines (type 2) too.
    bool lines = false;
};

enum class NodeKind : uint8_t { Model, Submodel, Part };

struct Node {
    NodeKind kind;
    // The file placed (the top file for the model's node).
    const QzPart* part;
    // The reference that placed it; null for the model's node.
    const QzLine* line;
    // The node it hangs from (always earlier in the list); -1 for the model's node.
    int32_t parent;
    // Its mesh (the part, or a model file's own faces and lines); -1 when it has none.
    int32_t mesh;
    // The building step of the top file that places it (1 on); 0 for the model's node.
    int32_t step;
    // A submodel placed by a matrix that no node can carry (one that shears: see
    // NodeMatrix): the entry of Scene::skews that places what hangs from the node and
    // its own mesh, the node itself carrying none. -1 for every other node.
    int32_t inner;
};

// A geometry in one placement colour.
struct Mesh {
    int32_t geometry;
    int32_t colour;
};

// A 3 x 4 matrix in double: rows, the translation in the fourth column (as QzMatrix).
struct Affine {
    double m[3][4];
    static Affine Identity();
    static Affine Of(const QzMatrix& m);
    Affine Times(const Affine& b) const;
    double Determinant() const;
    void Apply(const QzVector& p, double out[3]) const;
};

struct Scene {
    // In the walk's order: every node after the node it hangs from.
    std::vector<Node> nodes;
    std::vector<Mesh> meshes;
    std::vector<Geometry> geometries;
    std::vector<Affine> skews;
    // The number of steps of the top file.
    int32_t stepCount = 1;
    // Through every node: triangles, faces without area left out, edge lines.
    int64_t triangles = 0;
    int64_t dropped = 0;
    int64_t lineCount = 0;
    // Parts placed.
    int64_t parts = 0;
    // Files placed that were not found.
    int64_t missing = 0;
    // Of every point exported, in LDraw units of the model; reset (QzBoxReset) when
    // nothing is.
    QzBox box{};

    // The placement of a node relative to the node it hangs from.
    Affine Local(const Node& node) const;
    // Where a node's mesh lies in the node: skews[inner] for a sheared submodel, else
    // nowhere else.
    Affine MeshPlacement(const Node& node) const;
};

// The matrix a glTF node carries for a placement, which must be a rotation (a mirror
// included) with a scale along each axis and a translation: the placement itself when it
// is one; the nearest one when the placement comes within kNearRotation of it (the
// rotations of models written with three or four decimals, which a viewer would take
// apart into a rotation and a scale all the same); none for a placement that shears.
std::optional<Affine> NodeMatrix(const Affine& placement);
// How far (relative to the largest scale) an entry of a placement may lie from the
// nearest rotation and scale for a node to carry that instead.
inline constexpr double kNearRotation = 2e-3;

// The most files an export places: it keeps a node of every part and submodel placed
// until the file is written (as many as the high-quality drawing keeps instances).
inline constexpr uint64_t kMaxExportPlacements = 4'000'000;

// The farthest a point exported may lie from the model's origin, in LDraw units (4 km):
// no real model comes near it, and beyond it a float no longer tells points a fraction
// of a unit apart.
inline constexpr double kMaxCoordinate = 1.0e7;

// Gathers the scene of a loaded model under the palette's colours. False with a message
// when the model cannot be exported: it places more than kMaxExportPlacements files, a
// part too large for a mesh, or points beyond kMaxCoordinate (or
// not finite).
bool CollectScene(const QzModel& model, const QzPalette& palette, const SceneRequest& request,
                  Scene& scene, std::string& error);

// Calls f(nodeIndex, world) for every node with a mesh, world where the mesh lies in the
// model.
template <class F>
void ForEachPlacedMesh(const Scene& scene, F f) {
    std::unordered_map<int32_t, Affine> worlds;
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const Node& node = scene.nodes[i];
        Affine world = Affine::Identity();
        if (node.parent >= 0) world = worlds.at(node.parent).Times(scene.Local(node));
        if (node.kind != NodeKind::Part) worlds.emplace(static_cast<int32_t>(i), world);
        if (node.mesh >= 0) f(static_cast<int32_t>(i), world.Times(scene.MeshPlacement(node)));
    }
}

// A colour of a mesh under the colour of its placement: 16 is the placement's colour,
// the edge colour that colour's edge colour.
int32_t ResolvedColour(const QzPalette& palette, const QzMeshColour& colour, int32_t placed);

}  // namespace exports
