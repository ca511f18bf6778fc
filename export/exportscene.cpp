#include "exportscene.h"

#include <array>
#include <cmath>
#include <compare>
#include <map>
#include <optional>
#include <tuple>

#include "drawdata.h"
#include "steps.h"
#include "walk.h"

namespace exports {

Affine Affine::Identity() {
    Affine a{};
    for (int i = 0; i < 3; ++i) a.m[i][i] = 1.0;
    return a;
}

Affine Affine::Of(const QzMatrix& m) {
    Affine a{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) a.m[i][j] = m.m[i][j];
    return a;
}

Affine Affine::Times(const Affine& b) const {
    Affine r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = j == 3 ? m[i][3] : 0.0;
            for (int k = 0; k < 3; ++k) s += m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

double Affine::Determinant() const {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

void Affine::Apply(const QzVector& p, double out[3]) const {
    for (int i = 0; i < 3; ++i) out[i] = m[i][0] * p.x + m[i][1] * p.y + m[i][2] * p.z + m[i][3];
}

namespace {

// Whether a viewer that takes the matrix apart into a scale along each column (the first
// negative when it mirrors), a rotation as a quaternion and a translation, and builds it
// again, gets it back: within 1e-5 in every entry, far less than the glTF validator
// allows (about 1e-4).
bool RebuildsExactly(const Affine& a) {
    constexpr double kRebuilt = 1e-5;
    double scale[3];
    double r[3][3];
    for (int j = 0; j < 3; ++j) {
        scale[j] = std::sqrt(a.m[0][j] * a.m[0][j] + a.m[1][j] * a.m[1][j] + a.m[2][j] * a.m[2][j]);
        if (!(scale[j] > 0) || !std::isfinite(scale[j])) return false;
    }
    if (a.Determinant() < 0) scale[0] = -scale[0];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = a.m[i][j] / scale[j];
    // The quaternion (x, y, z, w) of the rotation, by its largest component.
    double q[4];
    const double trace = r[0][0] + r[1][1] + r[2][2];
    if (trace > 0) {
        double s = std::sqrt(trace + 1.0);
        q[3] = s * 0.5;
        s = 0.5 / s;
        q[0] = (r[2][1] - r[1][2]) * s;
        q[1] = (r[0][2] - r[2][0]) * s;
        q[2] = (r[1][0] - r[0][1]) * s;
    } else {
        const int i = r[0][0] < r[1][1] ? (r[1][1] < r[2][2] ? 2 : 1) : (r[0][0] < r[2][2] ? 2 : 0);
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        double s = std::sqrt(std::fmax(0.0, r[i][i] - r[j][j] - r[k][k] + 1.0));
        if (!(s > 0)) return false;
        q[i] = s * 0.5;
        s = 0.5 / s;
        q[3] = (r[k][j] - r[j][k]) * s;
        q[j] = (r[j][i] + r[i][j]) * s;
        q[k] = (r[k][i] + r[i][k]) * s;
    }
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double rebuilt[3][3] = {
        {1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
        {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
        {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (!(std::fabs(rebuilt[i][j] * scale[j] - a.m[i][j]) < kRebuilt)) return false;
    return true;
}

}  // namespace

std::optional<Affine> NodeMatrix(const Affine& a) {
    if (RebuildsExactly(a)) return a;
    // The nearest rotation to the columns scaled to unit length (the polar decomposition,
    // by averaging with the inverse transposed until it settles), times the scales.
    double scale[3];
    double r[3][3];
    for (int j = 0; j < 3; ++j) {
        scale[j] = std::sqrt(a.m[0][j] * a.m[0][j] + a.m[1][j] * a.m[1][j] + a.m[2][j] * a.m[2][j]);
        if (!(scale[j] > 0) || !std::isfinite(scale[j])) return std::nullopt;
    }
    if (a.Determinant() < 0) scale[0] = -scale[0];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = a.m[i][j] / scale[j];
    for (int round = 0; round < 20; ++round) {
        double cof[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
                cof[i][j] = r[i1][j1] * r[i2][j2] - r[i1][j2] * r[i2][j1];
            }
        const double det = r[0][0] * cof[0][0] + r[0][1] * cof[0][1] + r[0][2] * cof[0][2];
        if (!(det > 0)) return std::nullopt;
        double change = 0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const double next = 0.5 * (r[i][j] + cof[i][j] / det);
                change = std::fmax(change, std::fabs(next - r[i][j]));
                r[i][j] = next;
            }
        if (change < 1e-15) break;
    }
    Affine near = a;
    double largest = 0;
    for (int j = 0; j < 3; ++j) largest = std::fmax(largest, std::fabs(scale[j]));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            near.m[i][j] = r[i][j] * scale[j];
            if (!(std::fabs(near.m[i][j] - a.m[i][j]) <= kNearRotation * largest))
                return std::nullopt;
        }
    return near;
}

Affine Scene::Local(const Node& node) const {
    if (node.parent < 0 || node.inner >= 0 || !node.line) return Affine::Identity();
    const Affine own = Affine::Of(QzLineMatrix(*node.line));
    const Node& parent = nodes[static_cast<size_t>(node.parent)];
    return parent.inner >= 0 ? skews[static_cast<size_t>(parent.inner)].Times(own) : own;
}

Affine Scene::MeshPlacement(const Node& node) const {
    return node.inner >= 0 ? skews[static_cast<size_t>(node.inner)] : Affine::Identity();
}

int32_t ResolvedColour(const QzPalette& palette, const QzMeshColour& colour, int32_t placed) {
    const int32_t number = colour.number == QZ_COLOUR_CURRENT ? placed : colour.number;
    return colour.edge ? QzEdgeColour(palette, number, false) : number;
}

namespace {

bool IsLibraryPart(const QzPart& part) { return (part.flags & (PF_PARTS_DIR | PF_PRIM_DIR)) != 0; }

// The texture mapping a file is placed with, as a key of its geometry: the mapping and
// where it lies (none when it has no image, which textures nothing).
struct MappingKey {
    const QzTexmap* map = nullptr;
    std::array<double, 12> toMap{};
    auto operator<=>(const MappingKey&) const = default;
};

MappingKey KeyOf(const QzInheritedTexmap& texmap) {
    MappingKey key;
    if (!texmap.map || !texmap.map->image) return key;
    key.map = texmap.map;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j) key.toMap[static_cast<size_t>(i * 4 + j)] = texmap.toMap[i][j];
    return key;
}

// Gathers the scene through the one walk, reading the files as a reader with textures
// does (the high-quality drawing's geometry: texture geometry in, FALLBACK sections
// out): each part of the library is taken whole as a node with a mesh; each model file
// below the top becomes a node its parts hang from, carrying its own faces and lines as
// a mesh. A file placed inside a texture mapping of a file above takes it to its faces
// without one of their own: its geometry is its own for each mapping it is placed with.
class Collector {
  public:
    struct Frame {
        int32_t node;
        int32_t step;
        const QzPart* part;
        QzInheritedTexmap texmap;
    };

    Collector(Scene& scene, const SceneRequest& request, const QzLine* stop,
              std::unordered_map<const QzLine*, int32_t> steps)
        : scene_(scene), request_(request), stop_(stop), steps_(std::move(steps)) {}

    Frame Place(const Frame& parent, const QzPlaced& child) {
        const int32_t step = child.depth == 1 ? StepOf(child.line) : parent.step;
        const QzInheritedTexmap texmap = parent.texmap.Child(*parent.part, child);
        if (IsLibraryPart(*child.part) || (child.part->flags & PF_MISSING))
            return {parent.node, step, child.part, texmap};
        // A model file: a node its parts hang from.
        Node node{NodeKind::Submodel, child.part, child.line, parent.node, -1, step, -1};
        const Affine local = scene_.Local(node);
        if (!NodeMatrix(local)) {
            node.inner = static_cast<int32_t>(scene_.skews.size());
            scene_.skews.push_back(local);
        }
        return {AddNode(node), step, child.part, texmap};
    }

    bool Enter(const QzPlaced& placed, const Frame& frame, const QzDrawItem*, const QzDrawItem*) {
        const QzPart& part = *placed.part;
        if (part.flags & PF_MISSING) {
            ++scene_.missing;
            return false;
        }
        if (IsLibraryPart(part)) {
            ++scene_.parts;
            AddNode({NodeKind::Part, &part, placed.line, frame.node,
                     MeshOf(part, false, placed.colour, frame.texmap), frame.step, -1});
            return false;
        }
        // A model file: its own faces and lines on its node, then its references.
        scene_.nodes[static_cast<size_t>(frame.node)].mesh =
            MeshOf(part, true, placed.colour, frame.texmap);
        return true;
    }
    void Run(const QzPlaced&, const Frame&, const QzDrawItem*, const QzDrawItem*) {}
    void Leave(const QzPlaced&, const Frame&) {}
    void Passed(const QzPlaced&) {}
    bool Full() const { return !error.empty(); }

    std::string error;

  private:
    int32_t StepOf(const QzLine* line) const {
        const auto found = steps_.find(line);
        return found == steps_.end() ? 1 : found->second;
    }
    int32_t AddNode(const Node& node) {
        scene_.nodes.push_back(node);
        return static_cast<int32_t>(scene_.nodes.size() - 1);
    }

    // The mesh of a part (or of a model file's own lines) in a colour; -1 when it
    // holds nothing to export.
    int32_t MeshOf(const QzPart& part, bool own, int32_t colour, const QzInheritedTexmap& texmap) {
        const int32_t geometry = GeometryOf(part, own, texmap);
        if (geometry < 0) return -1;
        const auto [it, added] = meshes_.try_emplace(std::make_tuple(geometry, colour),
                                                     static_cast<int32_t>(scene_.meshes.size()));
        if (added) scene_.meshes.push_back({geometry, colour});
        return it->second;
    }

    int32_t GeometryOf(const QzPart& part, bool own, const QzInheritedTexmap& texmap) {
        const GeometryKey key{&part, own, KeyOf(texmap)};
        const auto found = geometries_.find(key);
        if (found != geometries_.end()) return found->second;
        int32_t index = -1;
        // A mesh the drawing keeps is taken as it is; any other is made for the moment
        // (the top file up to a step's end among them) and dropped once its geometry is
        // taken, so that an export holds one part's mesh at a time.
        const bool stepped = own && stop_ && &part == request_.top;
        const QzPartMesh* kept = stepped ? nullptr : QzKeptPartMesh(part, !own, keys_);
        const QzPartMesh made =
            kept ? QzPartMesh{} : QzBuildPartMesh(part, !own, stepped ? stop_ : nullptr);
        const QzPartMesh& mesh = kept ? *kept : made;
        if (!mesh.complete) {
            error = "the part " + part.name + " holds more than a mesh can: it cannot be exported";
        } else {
            const QzMeshTexture inherited = texmap.Texture();
            Geometry g = MakeGeometry(mesh, request_.lines, key.mapping.map ? &inherited : nullptr);
            if (!g.empty()) {
                index = static_cast<int32_t>(scene_.geometries.size());
                scene_.geometries.push_back(std::move(g));
            }
        }
        geometries_.emplace(key, index);
        return index;
    }

    Scene& scene_;
    const SceneRequest& request_;
    const QzLine* stop_;
    const std::unordered_map<const QzLine*, int32_t> steps_;
    QzMeshKeys keys_;
    struct GeometryKey {
        const QzPart* part;
        bool own;
        MappingKey mapping;
        auto operator<=>(const GeometryKey&) const = default;
    };
    std::map<GeometryKey, int32_t> geometries_;
    std::map<std::tuple<int32_t, int32_t>, int32_t> meshes_;
};

// The step of the top file that holds each of its references.
std::unordered_map<const QzLine*, int32_t> StepsOfReferences(const QzPart& top) {
    std::unordered_map<const QzLine*, int32_t> steps;
    const std::vector<const QzLine*> ends = QzStepEnds(top);
    size_t next = 0;
    int32_t step = 1;
    for (const QzLine* line = top.lines; line; line = line->next) {
        if (line->type == 1) steps.emplace(line, step);
        if (next < ends.size() && line == ends[next]) {
            ++next;
            ++step;
        }
    }
    return steps;
}

bool Within(double v) { return std::fabs(v) <= kMaxCoordinate; }

// Counts what the nodes place, finds the box of every point placed, and checks that
// every point and every matrix of a node stays within kMaxCoordinate.
bool MeasureScene(Scene& scene, std::string& error) {
    QzBoxReset(scene.box);
    const Node* far = nullptr;
    for (const Node& node : scene.nodes) {
        const Affine local = scene.Local(node);
        for (const auto& row : local.m)
            for (const double v : row)
                if (!Within(v)) far = &node;
        if (far) break;
    }
    ForEachPlacedMesh(scene, [&](int32_t index, const Affine& world) {
        const Node& node = scene.nodes[static_cast<size_t>(index)];
        const Geometry& g = scene.geometries[static_cast<size_t>(
            scene.meshes[static_cast<size_t>(node.mesh)].geometry)];
        scene.triangles += g.triangles;
        scene.dropped += g.dropped;
        for (const LineGroup& group : g.lines)
            scene.lineCount += static_cast<int64_t>(group.ends.size() / 2);
        if (far) return;
        for (const std::vector<QzVector>* points : {&g.positions, &g.linePoints})
            for (const QzVector& p : *points) {
                double q[3];
                world.Apply(p, q);
                if (!Within(q[0]) || !Within(q[1]) || !Within(q[2])) {
                    far = &node;
                    return;
                }
                QzBoxExtend(
                    {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2])},
                    scene.box);
            }
    });
    if (!far) return true;
    error = (far->part ? far->part->name : std::string("the model")) +
            " is placed farther than 10000000 LDraw units (4 km) from the model's origin, or at "
            "a point that is not a number: the model cannot be exported";
    return false;
}

}  // namespace

bool CollectScene(const QzModel& model, const QzPalette& palette, const SceneRequest& request,
                  Scene& scene, std::string& error) {
    scene = Scene{};
    if (!model.Loaded()) {
        error = "no model is loaded";
        return false;
    }
    const QzPart& top = request.top ? *request.top : model.Main();
    if (!QzPrepareDrawData(&top)) {
        error = "not enough memory to export the model";
        return false;
    }
    SceneRequest resolved = request;
    resolved.top = &top;
    scene.stepCount = QzStepCount(top);
    const QzLine* stop = request.step > 0 ? QzStepLastLine(top, request.step) : nullptr;
    Collector collector(scene, resolved, stop, StepsOfReferences(top));
    scene.nodes.push_back({NodeKind::Model, &top, nullptr, -1, -1, 0, -1});

    // The colours as the drawing resolves them, without its switches (random colours,
    // all transparent, colour 24 as black, seams): the model's own.
    QzWalkRules rules;
    rules.palette = &palette;
    rules.colours = QzColourRule::Drawing;
    rules.maxPlacements = kMaxExportPlacements;
    rules.textures = true;
    const bool complete =
        QzWalk(rules, top, stop, 7, true, Collector::Frame{0, 0, &top, {}}, collector);
    if (!collector.error.empty()) {
        error = collector.error;
        return false;
    }
    if (!complete) {
        error = "the model places more than " + std::to_string(kMaxExportPlacements) +
                " files: too many to export";
        return false;
    }
    return MeasureScene(scene, error);
}

}  // namespace exports
