#include "exportmesh.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace exports {

namespace {

constexpr uint8_t kEdges = QZ_MESH_EDGE_01 | QZ_MESH_EDGE_12 | QZ_MESH_EDGE_20;

// A corner of a face: its position, its normal and its texture coordinate (in the
// bordered image).
struct Corner {
    uint32_t position;
    QzVector normal;
    float uv[2];
};

// A vertex is a position with a normal (and a texture coordinate); corners that agree in
// all, bit for bit, share one.
struct VertexKey {
    uint32_t position;
    uint32_t normal[3];
    uint32_t uv[2];
    bool operator==(const VertexKey&) const = default;
};
struct VertexHash {
    size_t operator()(const VertexKey& k) const {
        uint64_t h = k.position * 0x9E3779B97F4A7C15ull;
        for (const uint32_t n : k.normal) h = (h ^ n) * 0xBF58476D1CE4E5B9ull;
        for (const uint32_t n : k.uv) h = (h ^ n) * 0xBF58476D1CE4E5B9ull;
        return static_cast<size_t>(h ^ (h >> 31));
    }
};

// The cross product of b - a and c - a, in double.
void Cross(const QzVector& a, const QzVector& b, const QzVector& c, double out[3]) {
    const double u[3] = {static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y,
                         static_cast<double>(b.z) - a.z};
    const double v[3] = {static_cast<double>(c.x) - a.x, static_cast<double>(c.y) - a.y,
                         static_cast<double>(c.z) - a.z};
    out[0] = u[1] * v[2] - u[2] * v[1];
    out[1] = u[2] * v[0] - u[0] * v[2];
    out[2] = u[0] * v[1] - u[1] * v[0];
}

// A unit vector in float along d; false when d has no length (or is not finite).
bool Unit(const double d[3], QzVector& out) {
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(length > 0) || !std::isfinite(length)) return false;
    out = {static_cast<float>(d[0] / length), static_cast<float>(d[1] / length),
           static_cast<float>(d[2] / length)};
    return true;
}

class Builder {
  public:
    Builder(const QzPartMesh& mesh, Geometry& g, const QzMeshTexture* inherited)
        : mesh_(mesh), g_(g), inherited_(inherited && inherited->map.image ? inherited : nullptr) {}

    void Faces() {
        const std::vector<QzMeshTriangle>& tris = mesh_.triangles;
        size_t t = 0;
        while (t < tris.size()) {
            const QzMeshTriangle& a = tris[t];
            if (QuadStart(t)) {
                const int32_t texture = TextureOf(t);
                const Corner c[4] = {CornerOf(t, 0, texture), CornerOf(t, 1, texture),
                                     CornerOf(t, 2, texture), CornerOf(t + 1, 2, texture)};
                if (ReflexQuad(t)) {
                    // Corner 1 or 3 turns inwards: the diagonal 1-3 lies inside.
                    Triangle(a, texture, c[0], c[1], c[3]);
                    Triangle(a, texture, c[1], c[2], c[3]);
                    t += 3;
                } else {
                    Triangle(a, texture, c[0], c[1], c[2]);
                    Triangle(a, texture, c[0], c[2], c[3]);
                    t += 2;
                }
                continue;
            }
            const int32_t texture = TextureOf(t);
            Triangle(a, texture, CornerOf(t, 0, texture), CornerOf(t, 1, texture),
                     CornerOf(t, 2, texture));
            ++t;
        }
    }

    void Lines() {
        std::unordered_map<uint32_t, uint32_t> points;
        for (const QzMeshLine& line : mesh_.lines) {
            if (line.v[0] == line.v[1]) continue;
            LineGroup& group = LineGroupOf(line.colour);
            for (const uint32_t v : line.v) {
                const auto [it, added] =
                    points.try_emplace(v, static_cast<uint32_t>(g_.linePoints.size()));
                if (added) g_.linePoints.push_back(mesh_.positions[v]);
                group.ends.push_back(it->second);
            }
        }
    }

  private:
    // Whether the triangle at t and the next are the two halves (0 1 2, 0 2 3) that the
    // mesh makes of a quadrilateral.
    bool QuadStart(size_t t) const {
        const std::vector<QzMeshTriangle>& tris = mesh_.triangles;
        if (t + 1 >= tris.size()) return false;
        const QzMeshTriangle& a = tris[t];
        const QzMeshTriangle& b = tris[t + 1];
        return (a.flags & QZ_MESH_FROM_QUAD) && (a.flags & kEdges) == (kEdges & ~QZ_MESH_EDGE_20) &&
               (b.flags & QZ_MESH_FROM_QUAD) && (b.flags & kEdges) == (kEdges & ~QZ_MESH_EDGE_01) &&
               b.v[0] == a.v[0] && b.v[1] == a.v[2] && b.colour == a.colour;
    }
    // Whether a third triangle (1 2 3, no edges of its own) follows the halves at t: the
    // mesh's mark of a quadrilateral with a reflex corner at 1 or 3.
    bool ReflexQuad(size_t t) const {
        const std::vector<QzMeshTriangle>& tris = mesh_.triangles;
        if (t + 2 >= tris.size()) return false;
        const QzMeshTriangle& a = tris[t];
        const QzMeshTriangle& c = tris[t + 2];
        return (c.flags & QZ_MESH_FROM_QUAD) && (c.flags & kEdges) == 0 && c.v[0] == a.v[1] &&
               c.v[1] == a.v[2] && c.v[2] == tris[t + 1].v[2];
    }
    // The texture a mesh triangle shows (its own mapping, else the one the part is placed
    // with, as the high-quality drawing takes it): its index in the geometry's textures,
    // -1 for none (or no image found).
    int32_t TextureOf(size_t t) {
        const QzMeshTriangle& tri = mesh_.triangles[t];
        const QzMeshTexture* texture = tri.texture ? &mesh_.textures[tri.texture - 1u] : inherited_;
        if (!texture || !texture->map.image) return -1;
        const FaceTexture face{texture->map.image,
                               std::fabs(QzTexmapPeriod(texture->map) - 1.0) < 1e-9};
        for (size_t i = 0; i < g_.textures.size(); ++i)
            if (g_.textures[i] == face) return static_cast<int32_t>(i);
        g_.textures.push_back(face);
        return static_cast<int32_t>(g_.textures.size() - 1);
    }

    Corner CornerOf(size_t t, int i, int32_t texture) const {
        const QzMeshTriangle& tri = mesh_.triangles[t];
        Corner corner{tri.v[i], mesh_.normals[tri.n[i]], {0, 0}};
        if (texture < 0) return corner;
        const QzMeshTexCoords uv =
            tri.texture ? mesh_.texCoords[t]
                        : QzFaceTexCoords(*inherited_, mesh_.positions[tri.v[0]],
                                          mesh_.positions[tri.v[1]], mesh_.positions[tri.v[2]]);
        const TextureLayout layout = LayoutOf(g_.textures[static_cast<size_t>(texture)]);
        const int w = layout.width - 2 * layout.left, h = layout.height - 2 * layout.top;
        corner.uv[0] =
            static_cast<float>((static_cast<double>(uv.u[i]) * w + layout.left) / layout.width);
        corner.uv[1] =
            static_cast<float>((static_cast<double>(uv.v[i]) * h + layout.top) / layout.height);
        return corner;
    }

    void Triangle(const QzMeshTriangle& source, int32_t texture, Corner a, Corner b, Corner c) {
        const QzVector& pa = mesh_.positions[a.position];
        const QzVector& pb = mesh_.positions[b.position];
        const QzVector& pc = mesh_.positions[c.position];
        double cross[3];
        Cross(pa, pb, pc, cross);
        QzVector own;
        if (!Unit(cross, own)) {
            // No area: nothing of it would be drawn.
            ++g_.dropped;
            return;
        }
        ++g_.triangles;
        FaceGroup& group = FaceGroupOf(source.colour, !(source.flags & QZ_MESH_CULL), texture);
        for (Corner* corner : {&a, &b, &c}) {
            const QzVector& n = corner->normal;
            const double d[3] = {n.x, n.y, n.z};
            // A corner without a normal of its own takes the face's.
            if (!Unit(d, corner->normal)) corner->normal = own;
            group.corners.push_back(Vertex(*corner));
        }
    }

    uint32_t Vertex(const Corner& c) {
        VertexKey key{c.position, {}, {}};
        std::memcpy(key.normal, &c.normal, sizeof key.normal);
        std::memcpy(key.uv, c.uv, sizeof key.uv);
        const auto [it, added] =
            vertices_.try_emplace(key, static_cast<uint32_t>(g_.positions.size()));
        if (added) {
            g_.positions.push_back(mesh_.positions[c.position]);
            g_.normals.push_back(c.normal);
            texCoords_.push_back({c.uv[0], c.uv[1]});
        }
        return it->second;
    }

    FaceGroup& FaceGroupOf(const QzMeshColour& colour, bool doubleSided, int32_t texture) {
        for (FaceGroup& group : g_.faces)
            if (group.colour == colour && group.doubleSided == doubleSided &&
                group.texture == texture)
                return group;
        g_.faces.push_back({colour, doubleSided, texture, {}});
        return g_.faces.back();
    }

  public:
    // The texture coordinates go with the geometry when any face has a texture.
    void FinishTexCoords() {
        if (!g_.textures.empty()) g_.texCoords = std::move(texCoords_);
    }

  private:
    LineGroup& LineGroupOf(const QzMeshColour& colour) {
        for (LineGroup& group : g_.lines)
            if (group.colour == colour) return group;
        g_.lines.push_back({colour, {}});
        return g_.lines.back();
    }

    const QzPartMesh& mesh_;
    Geometry& g_;
    const QzMeshTexture* inherited_;
    std::unordered_map<VertexKey, uint32_t, VertexHash> vertices_;
    std::vector<std::array<float, 2>> texCoords_;
};

void FindBox(Geometry& g) {
    QzBoxReset(g.box);
    for (const QzVector& p : g.positions) QzBoxExtend(p, g.box);
    for (const QzVector& p : g.linePoints) QzBoxExtend(p, g.box);
}

}  // namespace

TextureLayout LayoutOf(const FaceTexture& texture) {
    const int w = texture.image ? texture.image->Width() : 0;
    const int h = texture.image ? texture.image->Height() : 0;
    const int left = texture.wraps ? 0 : 1;
    return {w + 2 * left, h + 2, left, 1};
}

Geometry MakeGeometry(const QzPartMesh& mesh, bool lines, const QzMeshTexture* inherited) {
    Geometry g;
    Builder builder(mesh, g, inherited);
    builder.Faces();
    builder.FinishTexCoords();
    if (lines) builder.Lines();
    FindBox(g);
    return g;
}

Geometry TransformedGeometry(const Geometry& geometry, const double l[3][4]) {
    Geometry g = geometry;
    auto apply = [&](QzVector& p) {
        const double v[3] = {p.x, p.y, p.z};
        p = {static_cast<float>(l[0][0] * v[0] + l[0][1] * v[1] + l[0][2] * v[2] + l[0][3]),
             static_cast<float>(l[1][0] * v[0] + l[1][1] * v[1] + l[1][2] * v[2] + l[1][3]),
             static_cast<float>(l[2][0] * v[0] + l[2][1] * v[1] + l[2][2] * v[2] + l[2][3])};
    };
    for (QzVector& p : g.positions) apply(p);
    for (QzVector& p : g.linePoints) apply(p);
    // Normals turn with the cofactors (the inverse transposed times the determinant):
    // divided by the determinant's sign, they keep pointing out of the faces.
    double cof[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            cof[i][j] = l[i1][j1] * l[i2][j2] - l[i1][j2] * l[i2][j1];
        }
    const double det = l[0][0] * cof[0][0] + l[0][1] * cof[0][1] + l[0][2] * cof[0][2];
    const double sign = det < 0 ? -1.0 : 1.0;
    for (QzVector& n : g.normals) {
        const double d[3] = {sign * (cof[0][0] * n.x + cof[0][1] * n.y + cof[0][2] * n.z),
                             sign * (cof[1][0] * n.x + cof[1][1] * n.y + cof[1][2] * n.z),
                             sign * (cof[2][0] * n.x + cof[2][1] * n.y + cof[2][2] * n.z)};
        if (!Unit(d, n)) n = {0, 0, 1};
    }
    if (det < 0)
        for (FaceGroup& group : g.faces)
            for (size_t i = 0; i + 2 < group.corners.size(); i += 3)
                std::swap(group.corners[i + 1], group.corners[i + 2]);
    FindBox(g);
    return g;
}

}  // namespace exports
