#include "meshfiles.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "exportmaterials.h"
#include "gltfwriter.h"
#include "version.h"

namespace exports {

static_assert(std::endian::native == std::endian::little, "STL is little-endian");

namespace {

// Output gathered in blocks, for fewer and larger writes.
class Output {
  public:
    explicit Output(std::FILE* file) : file_(file) { buffer_.reserve(kBlock + 256); }
    ~Output() { Flush(); }
    void Put(const void* data, size_t bytes) {
        buffer_.append(static_cast<const char*>(data), bytes);
        if (buffer_.size() >= kBlock) Flush();
    }
    void Put(const std::string& text) { Put(text.data(), text.size()); }
    void Flush() {
        if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        buffer_.clear();
    }

  private:
    static constexpr size_t kBlock = 1 << 20;
    std::FILE* file_;
    std::string buffer_;
};

void PutFloat(std::string& out, double value) {
    float v = static_cast<float>(value);
    if (v == 0.0f) v = 0.0f;  // no "-0"
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, end);
}

// The cofactors of the placement's 3 x 3 part, by the sign of its determinant: the
// inverse transposed up to a positive factor, which turns normals and keeps them
// pointing out of their faces.
void NormalMatrix(const Affine& a, double n[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            n[i][j] = a.m[i1][j1] * a.m[i2][j2] - a.m[i1][j2] * a.m[i2][j1];
        }
    if (a.Determinant() < 0)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) n[i][j] = -n[i][j];
}

// A placement followed by a change of axes and units.
Affine Mapped(const double axes[3][3], double scale, const Affine& world) {
    Affine map{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) map.m[i][j] = axes[i][j] * scale;
    return map.Times(world);
}

// (x, y, z) to (x, z, -y): Z up.
constexpr double kStlAxes[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
// (x, y, z) to (x, -y, -z): Y up.
constexpr double kGltfAxes[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, -1}};

}  // namespace

bool WriteStl(std::FILE* file, const Scene& scene, const std::string& modelName) {
    if (scene.triangles > 0xFFFFFFFFll) return false;
    Output out(file);
    char header[80] = {};
    const std::string title =
        "Zarvel " ZARVEL_VERSION " binary STL, millimetres, Z up: " + modelName;
    std::memcpy(header, title.data(), std::min(title.size(), sizeof header));
    out.Put(header, sizeof header);
    const uint32_t count = static_cast<uint32_t>(scene.triangles);
    out.Put(&count, 4);
    ForEachPlacedMesh(scene, [&](int32_t index, const Affine& world) {
        const Node& node = scene.nodes[static_cast<size_t>(index)];
        const Geometry& g = scene.geometries[static_cast<size_t>(
            scene.meshes[static_cast<size_t>(node.mesh)].geometry)];
        const Affine m = Mapped(kStlAxes, kMillimetresPerUnit, world);
        // A placement that mirrors turns the corners round, so that faces stay outward.
        const bool mirrored = m.Determinant() < 0;
        std::vector<float> points(g.positions.size() * 3);
        for (size_t v = 0; v < g.positions.size(); ++v) {
            double q[3];
            m.Apply(g.positions[v], q);
            for (int k = 0; k < 3; ++k) points[v * 3 + k] = static_cast<float>(q[k]);
        }
        for (const FaceGroup& group : g.faces)
            for (size_t t = 0; t + 2 < group.corners.size(); t += 3) {
                const uint32_t c[3] = {group.corners[t], group.corners[t + (mirrored ? 2 : 1)],
                                       group.corners[t + (mirrored ? 1 : 2)]};
                float record[12];
                const float* a = &points[c[0] * 3];
                const float* b = &points[c[1] * 3];
                const float* d = &points[c[2] * 3];
                const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
                const double w[3] = {double(d[0]) - a[0], double(d[1]) - a[1], double(d[2]) - a[2]};
                double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                               u[0] * w[1] - u[1] * w[0]};
                const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                for (int k = 0; k < 3; ++k) record[k] = length > 0 ? float(n[k] / length) : 0.0f;
                for (int k = 0; k < 3; ++k) {
                    record[3 + k] = a[k];
                    record[6 + k] = b[k];
                    record[9 + k] = d[k];
                }
                out.Put(record, sizeof record);
                const uint16_t attribute = 0;
                out.Put(&attribute, 2);
            }
    });
    return true;
}

std::string ObjName(const std::string& name) {
    std::string out = name.empty() ? std::string("unnamed") : name;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) c = '_';
        if (c == '\\') c = '/';
    }
    return out;
}

size_t WriteObj(std::FILE* obj, std::FILE* mtl, const Scene& scene, const QzPalette& palette,
                const std::map<int32_t, std::string>& colourNames, const std::string& mtlName,
                const std::string& modelName) {
    MaterialTable materials(palette, colourNames);
    // Material names, one word each and each once.
    std::vector<std::string> materialNames;
    std::unordered_map<std::string, int> taken;
    auto materialName = [&](int32_t colour) -> const std::string& {
        const size_t index = static_cast<size_t>(materials.Index(colour, false));
        if (index == materialNames.size()) {
            std::string name = ObjName(materials.All()[index].name);
            if (taken[name]++) name += "_" + std::to_string(colour);
            materialNames.push_back(name);
        }
        return materialNames[index];
    };

    Output out(obj);
    out.Put("# Zarvel " ZARVEL_VERSION ": " + ObjName(modelName) + "\n# Y up, metres\nmtllib " +
            mtlName + "\n");
    // Positions and normals each once per geometry: the vertices' unique positions.
    struct Shared {
        std::vector<uint32_t> position;  // of each vertex
        std::vector<uint32_t> normal;
        std::vector<QzVector> positions, normals;
    };
    std::unordered_map<int32_t, Shared> shared;
    auto sharedOf = [&](int32_t geometry) -> const Shared& {
        auto [it, added] = shared.try_emplace(geometry);
        if (!added) return it->second;
        Shared& s = it->second;
        const Geometry& g = scene.geometries[static_cast<size_t>(geometry)];
        auto unique = [](const std::vector<QzVector>& all, std::vector<uint32_t>& index,
                         std::vector<QzVector>& kept) {
            std::unordered_map<uint64_t, std::vector<uint32_t>> seen;
            for (const QzVector& p : all) {
                uint32_t bits[3];
                std::memcpy(bits, &p, sizeof bits);
                const uint64_t key =
                    bits[0] * 0x9E3779B97F4A7C15ull ^ bits[1] * 0xC2B2AE3D27D4EB4Full ^ bits[2];
                uint32_t found = UINT32_MAX;
                for (const uint32_t k : seen[key])
                    if (std::memcmp(&kept[k], &p, sizeof p) == 0) found = k;
                if (found == UINT32_MAX) {
                    found = static_cast<uint32_t>(kept.size());
                    kept.push_back(p);
                    seen[key].push_back(found);
                }
                index.push_back(found);
            }
        };
        unique(g.positions, s.position, s.positions);
        unique(g.normals, s.normal, s.normals);
        return s;
    };

    uint64_t nextPoint = 1, nextNormal = 1;
    std::string text;
    ForEachPlacedMesh(scene, [&](int32_t index, const Affine& world) {
        const Node& node = scene.nodes[static_cast<size_t>(index)];
        const Mesh& mesh = scene.meshes[static_cast<size_t>(node.mesh)];
        const Geometry& g = scene.geometries[static_cast<size_t>(mesh.geometry)];
        const Shared& s = sharedOf(mesh.geometry);
        const Affine m = Mapped(kGltfAxes, kMetresPerUnit, world);
        const bool mirrored = m.Determinant() < 0;
        double turn[3][3];
        NormalMatrix(m, turn);
        text = "g " + ObjName(node.kind == NodeKind::Model ? modelName : node.part->name) + "\n";
        for (const std::vector<QzVector>* points : {&s.positions, &g.linePoints})
            for (const QzVector& p : *points) {
                double q[3];
                m.Apply(p, q);
                text += "v ";
                PutFloat(text, q[0]);
                text += ' ';
                PutFloat(text, q[1]);
                text += ' ';
                PutFloat(text, q[2]);
                text += '\n';
            }
        for (const QzVector& n : s.normals) {
            double q[3];
            for (int i = 0; i < 3; ++i)
                q[i] = turn[i][0] * n.x + turn[i][1] * n.y + turn[i][2] * n.z;
            const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
            text += "vn ";
            for (int i = 0; i < 3; ++i) {
                if (i) text += ' ';
                PutFloat(text, length > 0 ? q[i] / length : 0.0);
            }
            text += '\n';
        }
        for (const FaceGroup& group : g.faces) {
            text +=
                "usemtl " + materialName(ResolvedColour(palette, group.colour, mesh.colour)) + "\n";
            for (size_t t = 0; t + 2 < group.corners.size(); t += 3) {
                text += 'f';
                for (const int k : {0, mirrored ? 2 : 1, mirrored ? 1 : 2}) {
                    const uint32_t v = group.corners[t + static_cast<size_t>(k)];
                    text += ' ' + std::to_string(nextPoint + s.position[v]) + "//" +
                            std::to_string(nextNormal + s.normal[v]);
                }
                text += '\n';
            }
            if (text.size() > (1u << 16)) {
                out.Put(text);
                text.clear();
            }
        }
        const uint64_t firstLinePoint = nextPoint + s.positions.size();
        for (const LineGroup& group : g.lines) {
            text +=
                "usemtl " + materialName(ResolvedColour(palette, group.colour, mesh.colour)) + "\n";
            for (size_t e = 0; e + 1 < group.ends.size(); e += 2)
                text += "l " + std::to_string(firstLinePoint + group.ends[e]) + ' ' +
                        std::to_string(firstLinePoint + group.ends[e + 1]) + '\n';
        }
        nextPoint += s.positions.size() + g.linePoints.size();
        nextNormal += s.normals.size();
        out.Put(text);
    });
    out.Flush();

    Output library(mtl);
    library.Put("# Zarvel " ZARVEL_VERSION ": the colours of " + ObjName(modelName) + "\n");
    for (size_t i = 0; i < materials.All().size(); ++i) {
        const Material& m = materials.All()[i];
        text = "\nnewmtl " + materialNames[i] + "\nKd";
        for (const double v : m.shown) {
            text += ' ';
            PutFloat(text, v);
        }
        // Metals reflect in their own colour, other finishes in white.
        text += "\nKs";
        for (const double v : m.shown) {
            text += ' ';
            PutFloat(text, m.metallic > 0.5 ? v : 0.25);
        }
        text += "\nNs ";
        PutFloat(text, std::round(1000.0 * (1.0 - m.roughness) * (1.0 - m.roughness)));
        text += "\nd ";
        PutFloat(text, m.alpha);
        text += "\nPr ";
        PutFloat(text, m.roughness);
        text += "\nPm ";
        PutFloat(text, m.metallic);
        if (m.emissive[0] > 0 || m.emissive[1] > 0 || m.emissive[2] > 0) {
            text += "\nKe";
            for (const double v : m.emissive) {
                text += ' ';
                PutFloat(text, v);
            }
        }
        text += "\nillum 2\n";
        library.Put(text);
    }
    return materials.All().size();
}

}  // namespace exports
