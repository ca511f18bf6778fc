#include "partmesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "drawdata.h"
#include "walk.h"

namespace {

// A polygon of the flattened part before it is split into triangles.
struct Polygon {
    uint32_t v[4];
    int count;
    QzMeshColour colour;
    uint8_t flags;
    uint16_t texture;
    uint32_t group;
    double normal[3];  // unit, or zero when degenerate
};

struct Segment {
    uint32_t v[2];
    uint32_t c[2];
    QzMeshColour colour;
    uint32_t group;
};

// Numbers distinct keys in the order they are first seen: an open-addressed table of
// numbers into the keys kept, each with bits of its key's hash that tell most other
// keys apart without reading them, grown to stay at most half full (no allocation per
// key). `Hash` needs to spread its keys over all bits: the low ones pick the slot.
template <class Key, class Hash>
class Numbering {
  public:
    // What Find answers for a key without a number.
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // The key's number, and whether the key is new.
    std::pair<uint32_t, bool> Of(const Key& key) {
        if (2 * (keys_.size() + 1) > slots_.size()) Grow();
        const size_t hash = Hash{}(key);
        Slot& slot = slots_[SlotOf(key, hash)];
        if (slot.number != kNone) return {slot.number, false};
        slot = {static_cast<uint32_t>(keys_.size()), Tag(hash)};
        keys_.push_back(key);
        return {slot.number, true};
    }
    // The key's number; kNone when it has none.
    uint32_t Find(const Key& key) const {
        return slots_.empty() ? kNone : slots_[SlotOf(key, Hash{}(key))].number;
    }
    size_t Size() const { return keys_.size(); }
    // Forgets every key, keeping the memory.
    void Clear() {
        keys_.clear();
        slots_.clear();
    }
    size_t Bytes() const {
        return keys_.capacity() * sizeof(Key) + slots_.capacity() * sizeof(Slot);
    }

  private:
    struct Slot {
        uint32_t number;  // kNone: empty
        uint32_t tag;
    };
    static uint32_t Tag(size_t hash) { return static_cast<uint32_t>(hash >> 32); }
    // The slot holding the key, or the empty one where it would go.
    size_t SlotOf(const Key& key, size_t hash) const {
        const size_t mask = slots_.size() - 1;
        const uint32_t tag = Tag(hash);
        size_t i = hash & mask;
        while (slots_[i].number != kNone &&
               !(slots_[i].tag == tag && keys_[slots_[i].number] == key))
            i = (i + 1) & mask;
        return i;
    }
    void Grow() {
        slots_.assign(std::max<size_t>(64, 2 * slots_.size()), Slot{kNone, 0});
        const size_t mask = slots_.size() - 1;
        for (uint32_t n = 0; n < keys_.size(); ++n) {
            const size_t hash = Hash{}(keys_[n]);
            size_t i = hash & mask;
            while (slots_[i].number != kNone) i = (i + 1) & mask;
            slots_[i] = {n, Tag(hash)};
        }
    }
    std::vector<Key> keys_;
    std::vector<Slot> slots_;
};

// The last steps of a 64-bit hash: every bit of h reaches the low bits.
inline uint64_t Spread(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
}

// Positions welded on a grid of 1/1024 unit: the corners shared by neighbouring
// primitives land a rounding apart.
class Welder {
  public:
    uint32_t Add(double x, double y, double z) {
        const auto [number, added] = index_.Of(Key{Cell(x), Cell(y), Cell(z)});
        if (added)
            points.push_back({static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
        return number;
    }
    std::vector<QzVector> points;
    // Forgets every point, keeping the table's memory.
    void Clear() {
        points.clear();
        index_.Clear();
    }
    size_t Bytes() const { return index_.Bytes(); }

  private:
    static int64_t Cell(double v) {
        const double c = std::nearbyint(v * 1024.0);
        if (!(c > -4.0e18 && c < 4.0e18)) return 0;
        return static_cast<int64_t>(c);
    }
    struct Key {
        int64_t x, y, z;
        bool operator==(const Key&) const = default;
    };
    struct Hash {
        size_t operator()(const Key& k) const {
            uint64_t h = static_cast<uint64_t>(k.x) * 0x9E3779B97F4A7C15ull;
            h ^= static_cast<uint64_t>(k.y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
            h ^= static_cast<uint64_t>(k.z) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
            return static_cast<size_t>(Spread(h));
        }
    };
    Numbering<Key, Hash> index_;
};

// A matrix in double: the product of the references down to the current file.
struct Transform {
    double m[3][4];
    template <class Point>
    void Apply(const Point& p, double out[3]) const {
        for (int i = 0; i < 3; ++i)
            out[i] = m[i][0] * p.x + m[i][1] * p.y + m[i][2] * p.z + m[i][3];
    }
    // The inverse, when the matrix has one.
    bool Inverse(Transform& out) const {
        const double a = m[0][0], b = m[0][1], c = m[0][2];
        const double d = m[1][0], e = m[1][1], f = m[1][2];
        const double g = m[2][0], h = m[2][1], k = m[2][2];
        const double det = a * (e * k - f * h) - b * (d * k - f * g) + c * (d * h - e * g);
        if (!(std::fabs(det) > 1e-12) || !std::isfinite(det)) return false;
        const double r[3][3] = {
            {(e * k - f * h) / det, (c * h - b * k) / det, (b * f - c * e) / det},
            {(f * g - d * k) / det, (a * k - c * g) / det, (c * d - a * f) / det},
            {(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det}};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) out.m[i][j] = r[i][j];
            out.m[i][3] = -(r[i][0] * m[0][3] + r[i][1] * m[1][3] + r[i][2] * m[2][3]);
        }
        return true;
    }
    Transform Times(const QzLine& ref) const {
        const QzMatrix& r = QzLineMatrix(ref);
        Transform t{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) {
                double s = 0;
                for (int k = 0; k < 3; ++k) s += m[i][k] * r.m[k][j];
                if (j == 3) s += m[i][3];
                t.m[i][j] = s;
            }
        return t;
    }
};

// A colour of the walk's symbolic rule as a mesh keeps it.
QzMeshColour MeshColour(int32_t symbolic) {
    return {symbolic & ~QZ_EDGE_OF, (symbolic & QZ_EDGE_OF) != 0};
}

// A part's meshes hold at most this many faces and lines, made from at most this many
// placements of files: a part that places more is not drawn (a file of ten levels of
// ten references would place ten thousand million).
constexpr size_t kMaxPrimitives = 4'000'000;
constexpr uint64_t kMaxPlacements = 250'000;

// A normal by its bits.
struct NormalBits {
    uint32_t bits[3];
    bool operator==(const NormalBits&) const = default;
};
struct NormalHash {
    size_t operator()(const NormalBits& n) const {
        return static_cast<size_t>(
            Spread((static_cast<uint64_t>(n.bits[0]) * 0x9E3779B97F4A7C15ull) ^
                   (static_cast<uint64_t>(n.bits[1]) * 0xC2B2AE3D27D4EB4Full) ^
                   (n.bits[2] + 0x165667B19E3779F9ull)));
    }
};

// An edge by its two points, the lower first.
struct EdgeHash {
    size_t operator()(uint64_t key) const { return static_cast<size_t>(Spread(key)); }
};

// What a builder works in, kept from part to part on each thread: making the meshes of
// hundreds of parts in a row (a first high-quality drawing, an export) would otherwise
// map fresh memory for each, a page fault for every few kilobytes. Let go when it has
// grown past kKeptBytes; a builder that starts while another on its thread is still at
// work (none does today) takes a scratch of its own.
struct Scratch {
    static constexpr size_t kKeptBytes = size_t{16} << 20;
    std::vector<Polygon> polygons;
    std::vector<Segment> lines, optional;
    // Per corner of every polygon (4 each): its group of corners joined along smooth
    // edges, the sum of the group's normals, the group's first face, its normal's index.
    std::vector<uint32_t> parent;
    std::vector<double> sum;
    std::vector<uint32_t> first;
    std::vector<uint32_t> cornerNormals;
    // The smooth edges (by their points), and per edge the corners of the first face
    // along it.
    Numbering<uint64_t, EdgeHash> edges;
    std::vector<std::pair<uint32_t, uint32_t>> along;
    // The mesh's faces and lines in the order they are made, with their runs.
    std::vector<std::pair<uint32_t, QzMeshTriangle>> triangles;
    // The welded positions and the normals, numbered.
    Welder welder;
    Numbering<NormalBits, NormalHash> normals;
    bool busy = false;

    void Clear() {
        polygons.clear();
        lines.clear();
        optional.clear();
        triangles.clear();
        welder.Clear();
        normals.Clear();
        edges.Clear();
    }
    size_t Bytes() const {
        return polygons.capacity() * sizeof(Polygon) +
               (lines.capacity() + optional.capacity()) * sizeof(Segment) +
               (parent.capacity() + first.capacity() + cornerNormals.capacity()) *
                   sizeof(uint32_t) +
               edges.Bytes() + along.capacity() * sizeof(along[0]) +
               sum.capacity() * sizeof(double) + triangles.capacity() * sizeof(triangles[0]) +
               welder.Bytes() + normals.Bytes();
    }
};

thread_local Scratch tScratch;

// Flattens a part through the one walk: every face, line and optional line of the part
// and (with flatten) of everything it references, in the part's coordinates.
class Builder {
  public:
    // The product of the references down to a file (in double), the run of the mesh it
    // adds to (0, or the stud it lies in), and the texture it passes on to its faces
    // without one of their own (1 + its index in the mesh's textures; 0: none).
    struct Frame {
        Transform t;
        uint32_t group;
        uint16_t texture;
    };

    // skipFaded: the lines the walk marks faded are left out.
    Builder(QzPartMesh& mesh, bool flatten, bool skipFaded)
        : mesh_(mesh),
          flatten_(flatten),
          skipFaded_(skipFaded),
          scratch_(tScratch.busy ? own_ : tScratch),
          polygons_(scratch_.polygons),
          lines_(scratch_.lines),
          optional_(scratch_.optional),
          cornerNormals_(scratch_.cornerNormals),
          welder_(scratch_.welder),
          normalIndex_(scratch_.normals) {
        scratch_.busy = true;
        scratch_.Clear();
    }
    ~Builder() {
        scratch_.busy = false;
        if (scratch_.Bytes() > Scratch::kKeptBytes) scratch_ = Scratch{};
    }
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    Frame Place(const Frame& parent, const QzPlaced& child) {
        if (!flatten_) return parent;  // not walked into
        ++mesh_.references;
        // A mapping of the reference's own is laid in the coordinates of the file that
        // holds the reference.
        const uint16_t texture =
            child.texmap ? Texture(*parentPart_.back(), child.texmap, parent.t) : parent.texture;
        Frame f{parent.t.Times(*child.line), parent.group, texture};
        if ((child.part->flags & PF_STUD) && parent.group == 0)
            f.group = static_cast<uint32_t>(++studGroups_);
        return f;
    }
    bool Enter(const QzPlaced& placed, const Frame&, const QzDrawItem* begin,
               const QzDrawItem* end) {
        if ((!flatten_ && !placed.top) || (skipFaded_ && placed.faded)) return false;
        for (const QzDrawItem* item = begin; item != end; ++item) ++mesh_.typeCount[item->type];
        parentPart_.push_back(placed.part);
        // The file's distinct points are welded as they are first met (the walk form a
        // reader with textures walks has none).
        const QzPartCache& cache = *placed.part->cache;
        const size_t depth = static_cast<size_t>(std::max(placed.depth, 0));
        if (welded_.size() <= depth) welded_.resize(depth + 1);
        if (cache.textured || cache.perLine)
            welded_[depth].clear();
        else
            welded_[depth].assign(cache.points.size(), kUnwelded);
        return true;
    }
    // The welded numbers of the distinct points of the file placed (Enter).
    std::vector<uint32_t>& Welded(const QzPlaced& placed) {
        return welded_[static_cast<size_t>(std::max(placed.depth, 0))];
    }
    void Run(const QzPlaced& placed, const Frame& frame, const QzDrawItem* begin,
             const QzDrawItem* end) {
        if (skipFaded_ && placed.faded) return;
        std::vector<uint32_t>& welded = Welded(placed);
        const QzVector* points = placed.part->cache->points.data();
        for (const QzDrawItem* item = begin; item != end; ++item) {
            const uint16_t texture =
                item->texmap ? Texture(*placed.part, item->texmap, frame.t) : frame.texture;
            Add(placed, frame, *item, texture, [&](int i) {
                if (welded.empty()) return Add(frame.t, item->line->p[i]);
                uint32_t& number = welded[item->point[i]];
                if (number == kUnwelded) number = Add(frame.t, points[item->point[i]]);
                return number;
            });
        }
    }
    void Leave(const QzPlaced&, const Frame&) { parentPart_.pop_back(); }
    void Passed(const QzPlaced&) {}
    bool Full() const {
        return polygons_.size() + lines_.size() + optional_.size() > kMaxPrimitives;
    }

    void Finish();

  private:
    // The mesh's entry for mapping `texmap` of a file placed by t, made when new; 0 when
    // the mapping cannot be laid (a placement that flattens the file).
    uint16_t Texture(const QzPart& holder, uint16_t texmap, const Transform& t) {
        const QzTexturedLines* view = holder.textured;
        if (!view || texmap == 0 || texmap > view->texmaps.size()) return 0;
        TextureKey key{&holder, texmap, {}};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) key.t[i * 4 + j] = t.m[i][j];
        if (auto it = textureIndex_.find(key); it != textureIndex_.end()) return it->second;
        Transform toMap;
        uint16_t index = 0;
        if (t.Inverse(toMap) && mesh_.textures.size() < 0xFFFF) {
            QzMeshTexture texture{view->texmaps[texmap - 1], {}};
            std::memcpy(texture.toMap, toMap.m, sizeof texture.toMap);
            mesh_.textures.push_back(std::move(texture));
            index = static_cast<uint16_t>(mesh_.textures.size());
        }
        textureIndex_.emplace(key, index);
        return index;
    }

    // A line of a placed file; point(i) is the number of its point i.
    template <class Point>
    void Add(const QzPlaced& placed, const Frame& frame, const QzDrawItem& item, uint16_t texture,
             Point point) {
        const QzLine& line = *item.line;
        const int type = line.type;
        const QzMeshColour colour = MeshColour(QzLineColour(rules_, line, placed.colour, false));
        if (type == 2 || type == 5) {
            Segment s{};
            for (int i = 0; i < 2; ++i) s.v[i] = point(i);
            if (type == 5)
                for (int i = 0; i < 2; ++i) s.c[i] = point(i + 2);
            s.colour = colour;
            s.group = frame.group;
            (type == 2 ? lines_ : optional_).push_back(s);
        } else {
            Polygon p{};
            p.count = type;
            for (int i = 0; i < type; ++i) p.v[i] = point(i);
            if (placed.invert) {
                // The stored order runs counter-clockwise for the front.
                std::swap(p.v[1], p.v[type - 1]);
            }
            p.colour = colour;
            p.flags =
                static_cast<uint8_t>((placed.cull && (line.bfc & LF_CULL) ? QZ_MESH_CULL : 0) |
                                     (type == 4 ? QZ_MESH_FROM_QUAD : 0));
            p.group = frame.group;
            p.texture = texture;
            polygons_.push_back(p);
        }
    }
    template <class Point>
    uint32_t Add(const Transform& t, const Point& p) {
        double q[3];
        t.Apply(p, q);
        return welder_.Add(q[0], q[1], q[2]);
    }
    void Normals();
    // The image coordinates of the textured triangles begin to end.
    void TexCoords(uint32_t begin, uint32_t end);
    // Each polygon's own unit normal (zero when degenerate).
    void FaceNormals();
    // Joins the corners of faces meeting at edges marked smooth into groups.
    template <class Unite>
    void JoinAlongSmoothEdges(Unite unite);
    // Index of a normal, added when new.
    uint32_t NormalIndex(const double n[3]);

    const QzWalkRules rules_ = [] {
        QzWalkRules r;
        r.colours = QzColourRule::Symbolic;
        return r;
    }();
    QzPartMesh& mesh_;
    const bool flatten_;
    const bool skipFaded_;
    Scratch own_;
    Scratch& scratch_;
    std::vector<Polygon>& polygons_;
    std::vector<Segment>&lines_, &optional_;
    int studGroups_ = 0;
    // Per depth of the walk, the welded number of each distinct point of the file placed
    // there (kUnwelded until met); empty for a file whose lines are taken one by one.
    static constexpr uint32_t kUnwelded = 0xFFFFFFFFu;
    std::vector<std::vector<uint32_t>> welded_;
    // The normal of every corner of every polygon (4 per polygon).
    std::vector<uint32_t>& cornerNormals_;
    // The welded positions, and the normals by their bits.
    Welder& welder_;
    Numbering<NormalBits, NormalHash>& normalIndex_;
    // The normal numbered last.
    NormalBits lastNormal_{};
    uint32_t lastNormalNumber_ = 0;
    // The files entered, innermost last: the holder of a reference's texture mapping.
    std::vector<const QzPart*> parentPart_;
    // The mesh's textures by file, mapping and placement.
    struct TextureKey {
        const QzPart* holder;
        uint16_t texmap;
        double t[12];
        bool operator==(const TextureKey& o) const {
            return holder == o.holder && texmap == o.texmap && std::memcmp(t, o.t, sizeof t) == 0;
        }
    };
    struct TextureHash {
        size_t operator()(const TextureKey& k) const {
            uint64_t h = reinterpret_cast<uintptr_t>(k.holder) * 0x9E3779B97F4A7C15ull ^ k.texmap;
            for (double d : k.t) {
                uint64_t bits;
                std::memcpy(&bits, &d, sizeof bits);
                h = (h ^ bits) * 0xBF58476D1CE4E5B9ull;
            }
            return static_cast<size_t>(h ^ (h >> 31));
        }
    };
    std::unordered_map<TextureKey, uint16_t, TextureHash> textureIndex_;
};

uint32_t Builder::NormalIndex(const double n[3]) {
    const QzVector f{static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
    // Normals equal to the last bit share an entry.
    NormalBits key;
    std::memcpy(key.bits, &f, sizeof key.bits);
    // Neighbouring corners mostly share theirs (the corners of a flat face).
    if (!mesh_.normals.empty() && key == lastNormal_) return lastNormalNumber_;
    const auto [number, added] = normalIndex_.Of(key);
    if (added) mesh_.normals.push_back(f);
    lastNormal_ = key;
    lastNormalNumber_ = number;
    return number;
}

void Builder::FaceNormals() {
    const std::vector<QzVector>& pts = welder_.points;
    for (Polygon& p : polygons_) {
        // Newell's method: a robust normal of a polygon, also of a quadrilateral
        // that is not quite flat.
        double n[3] = {0, 0, 0};
        for (int i = 0; i < p.count; ++i) {
            const QzVector& a = pts[p.v[i]];
            const QzVector& b = pts[p.v[(i + 1) % p.count]];
            n[0] += (static_cast<double>(a.y) - b.y) * (static_cast<double>(a.z) + b.z);
            n[1] += (static_cast<double>(a.z) - b.z) * (static_cast<double>(a.x) + b.x);
            n[2] += (static_cast<double>(a.x) - b.x) * (static_cast<double>(a.y) + b.y);
        }
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int k = 0; k < 3; ++k) p.normal[k] = len > 1e-12 ? n[k] / len : 0.0;
    }
}

template <class Unite>
void Builder::JoinAlongSmoothEdges(Unite unite) {
    // The smooth edges, numbered, and for each the corners of the first face found along
    // it: the corners of every other face along it join those.
    auto edgeKey = [](uint32_t a, uint32_t b) {
        if (a > b) std::swap(a, b);
        return static_cast<uint64_t>(a) << 32 | b;
    };
    Numbering<uint64_t, EdgeHash>& smooth = scratch_.edges;
    for (const Segment& s : optional_)
        if (s.v[0] != s.v[1]) smooth.Of(edgeKey(s.v[0], s.v[1]));
    if (smooth.Size() == 0) return;
    constexpr uint32_t kNone = Numbering<uint64_t, EdgeHash>::kNone;
    std::vector<std::pair<uint32_t, uint32_t>>& along = scratch_.along;
    along.assign(smooth.Size(), {kNone, kNone});
    for (size_t f = 0; f < polygons_.size(); ++f) {
        const Polygon& p = polygons_[f];
        if (p.normal[0] == 0 && p.normal[1] == 0 && p.normal[2] == 0) continue;
        for (int i = 0; i < p.count; ++i) {
            const int j = (i + 1) % p.count;
            const uint32_t edge = smooth.Find(edgeKey(p.v[i], p.v[j]));
            if (edge == kNone) continue;
            // Corners i and j of face f lie on the edge, in the order of its key.
            const bool forward = p.v[i] < p.v[j];
            const uint32_t first = static_cast<uint32_t>(f * 4 + (forward ? i : j));
            const uint32_t second = static_cast<uint32_t>(f * 4 + (forward ? j : i));
            std::pair<uint32_t, uint32_t>& corners = along[edge];
            if (corners.first == kNone) {
                corners = {first, second};
            } else {
                unite(corners.first, first);
                unite(corners.second, second);
            }
        }
    }
}

// Corner normals: the corners of faces that meet at an edge marked smooth by an
// optional line (at either end of that edge) form one group, whose normal is the mean
// of its faces' normals weighted by the corners' angles. Every other corner keeps its
// face's normal.
void Builder::Normals() {
    const std::vector<QzVector>& pts = welder_.points;
    FaceNormals();
    const size_t corners = polygons_.size() * 4;
    std::vector<uint32_t>& parent = scratch_.parent;
    parent.resize(corners);
    std::iota(parent.begin(), parent.end(), 0u);
    auto find = [&](uint32_t c) {
        while (parent[c] != c) c = parent[c] = parent[parent[c]];
        return c;
    };
    JoinAlongSmoothEdges([&](uint32_t a, uint32_t b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    });
    // Every corner straight to its group's first corner: a corner's parent is never
    // after it, so in this order the parent's is already the group's.
    for (size_t c = 0; c < corners; ++c) parent[c] = parent[parent[c]];
    // Sum the faces' normals per group, each turned to agree with the group's first.
    std::vector<double>& sum = scratch_.sum;
    sum.assign(corners * 3, 0.0);
    // The face whose normal the others of the group are turned to agree with.
    constexpr uint32_t kNone = 0xFFFFFFFFu;
    std::vector<uint32_t>& first = scratch_.first;
    first.assign(corners, kNone);
    for (size_t f = 0; f < polygons_.size(); ++f) {
        const Polygon& p = polygons_[f];
        for (int i = 0; i < p.count; ++i) {
            const uint32_t c = static_cast<uint32_t>(f * 4 + i);
            const uint32_t g = parent[c];
            const QzVector& a = pts[p.v[(i + p.count - 1) % p.count]];
            const QzVector& o = pts[p.v[i]];
            const QzVector& b = pts[p.v[(i + 1) % p.count]];
            const double u[3] = {a.x - static_cast<double>(o.x), a.y - static_cast<double>(o.y),
                                 a.z - static_cast<double>(o.z)};
            const double v[3] = {b.x - static_cast<double>(o.x), b.y - static_cast<double>(o.y),
                                 b.z - static_cast<double>(o.z)};
            const double lu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
            const double lv = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            double angle = 0;
            if (lu > 0 && lv > 0)
                angle = std::acos(
                    std::clamp((u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) / (lu * lv), -1.0, 1.0));
            if (first[g] == kNone) first[g] = static_cast<uint32_t>(f);
            const double* reference = polygons_[first[g]].normal;
            const double agree = p.normal[0] * reference[0] + p.normal[1] * reference[1] +
                                 p.normal[2] * reference[2];
            const double s = agree < 0 ? -angle : angle;
            for (int k = 0; k < 3; ++k) sum[g * 3 + k] += s * p.normal[k];
        }
    }
    cornerNormals_.assign(corners, 0);
    for (size_t f = 0; f < polygons_.size(); ++f) {
        const Polygon& p = polygons_[f];
        for (int i = 0; i < p.count; ++i) {
            const uint32_t c = static_cast<uint32_t>(f * 4 + i);
            const uint32_t g = parent[c];
            double n[3] = {sum[g * 3], sum[g * 3 + 1], sum[g * 3 + 2]};
            const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (g == c && len == 0) {
                for (int k = 0; k < 3; ++k) n[k] = p.normal[k];
            } else if (len > 0) {
                for (double& v : n) v /= len;
            }
            // Every corner's normal points to the side its own face's does.
            if (n[0] * p.normal[0] + n[1] * p.normal[1] + n[2] * p.normal[2] < 0)
                for (double& v : n) v = -v;
            cornerNormals_[c] = NormalIndex(n);
        }
    }
}

void Builder::TexCoords(uint32_t begin, uint32_t end) {
    mesh_.texCoords.resize(mesh_.triangles.size(), QzMeshTexCoords{});
    for (uint32_t t = begin; t < end; ++t) {
        const QzMeshTriangle& tri = mesh_.triangles[t];
        if (!tri.texture) continue;
        mesh_.texCoords[t] =
            QzFaceTexCoords(mesh_.textures[tri.texture - 1u], mesh_.positions[tri.v[0]],
                            mesh_.positions[tri.v[1]], mesh_.positions[tri.v[2]]);
    }
}

void Builder::Finish() {
    Normals();
    // Copied at their size: the scratch keeps its room for the next mesh.
    mesh_.positions.assign(welder_.points.begin(), welder_.points.end());
    const uint32_t groups = static_cast<uint32_t>(studGroups_) + 1;
    std::vector<std::pair<uint32_t, QzMeshTriangle>>& made = scratch_.triangles;
    for (size_t f = 0; f < polygons_.size(); ++f) {
        const Polygon& p = polygons_[f];
        auto emit = [&](int a, int b, int c, uint8_t edges) {
            QzMeshTriangle tri{};
            const int k[3] = {a, b, c};
            for (int i = 0; i < 3; ++i) {
                tri.v[i] = p.v[k[i]];
                tri.n[i] = cornerNormals_[f * 4 + k[i]];
            }
            tri.colour = p.colour;
            tri.flags = static_cast<uint8_t>(p.flags | edges);
            tri.texture = p.texture;
            made.emplace_back(p.group, tri);
        };
        if (p.count == 3) {
            emit(0, 1, 2, QZ_MESH_EDGE_01 | QZ_MESH_EDGE_12 | QZ_MESH_EDGE_20);
            continue;
        }
        emit(0, 1, 2, QZ_MESH_EDGE_01 | QZ_MESH_EDGE_12);
        emit(0, 2, 3, QZ_MESH_EDGE_12 | QZ_MESH_EDGE_20);
        // A quadrilateral with a reflex corner at 1 or 3 (1 and 3 on the same side of
        // the diagonal 0-2 in its own plane) leaves part of its outline to a third
        // triangle.
        const QzVector& a = mesh_.positions[p.v[0]];
        const QzVector& c = mesh_.positions[p.v[2]];
        auto side = [&](const QzVector& q) {
            const double d[3] = {c.x - static_cast<double>(a.x), c.y - static_cast<double>(a.y),
                                 c.z - static_cast<double>(a.z)};
            const double e[3] = {q.x - static_cast<double>(a.x), q.y - static_cast<double>(a.y),
                                 q.z - static_cast<double>(a.z)};
            const double x[3] = {d[1] * e[2] - d[2] * e[1], d[2] * e[0] - d[0] * e[2],
                                 d[0] * e[1] - d[1] * e[0]};
            return x[0] * p.normal[0] + x[1] * p.normal[1] + x[2] * p.normal[2];
        };
        const double s1 = side(mesh_.positions[p.v[1]]);
        const double s3 = side(mesh_.positions[p.v[3]]);
        if (s1 != 0 && s3 != 0 && (s1 > 0) == (s3 > 0)) emit(1, 2, 3, 0);
    }
    // Each run's faces, lines and optional lines together, in the order they were made:
    // where each run starts in each list, then everything put in its place.
    std::vector<uint32_t> at[3];
    for (std::vector<uint32_t>& starts : at) starts.assign(groups + 1, 0);
    for (const auto& entry : made) ++at[0][entry.first + 1];
    for (const Segment& l : lines_) ++at[1][l.group + 1];
    for (const Segment& l : optional_) ++at[2][l.group + 1];
    for (std::vector<uint32_t>& starts : at)
        for (uint32_t g = 0; g < groups; ++g) starts[g + 1] += starts[g];
    mesh_.triangles.resize(made.size());
    mesh_.lines.resize(lines_.size());
    mesh_.optionalLines.resize(optional_.size());
    {
        std::vector<uint32_t> next[3] = {at[0], at[1], at[2]};
        for (const auto& [g, tri] : made) mesh_.triangles[next[0][g]++] = tri;
        for (const Segment& l : lines_)
            mesh_.lines[next[1][l.group]++] = {{l.v[0], l.v[1]}, l.colour};
        for (const Segment& l : optional_)
            mesh_.optionalLines[next[2][l.group]++] = {
                {l.v[0], l.v[1]}, {l.c[0], l.c[1]}, l.colour};
    }
    for (uint32_t g = 0; g < groups; ++g) {
        QzMeshGroup group;
        group.triangleBegin = at[0][g];
        group.triangleEnd = at[0][g + 1];
        group.lineBegin = at[1][g];
        group.lineEnd = at[1][g + 1];
        group.optionalBegin = at[2][g];
        group.optionalEnd = at[2][g + 1];
        if (group.triangleBegin == group.triangleEnd && group.lineBegin == group.lineEnd &&
            group.optionalBegin == group.optionalEnd)
            continue;
        group.stud = g > 0;
        QzBoxReset(group.box);
        auto extend = [&](uint32_t v) { QzBoxExtend(mesh_.positions[v], group.box); };
        for (uint32_t t = group.triangleBegin; t < group.triangleEnd; ++t)
            for (uint32_t v : mesh_.triangles[t].v) extend(v);
        if (!mesh_.textures.empty()) TexCoords(group.triangleBegin, group.triangleEnd);
        for (uint32_t l = group.lineBegin; l < group.lineEnd; ++l)
            for (uint32_t v : mesh_.lines[l].v) extend(v);
        for (uint32_t l = group.optionalBegin; l < group.optionalEnd; ++l)
            for (uint32_t v : mesh_.optionalLines[l].v) extend(v);
        mesh_.groups.push_back(group);
    }
    auto blocks = [&](std::vector<QzBox>& boxes, size_t count, auto&& points) {
        boxes.resize((count + QzPartMesh::kBlock - 1) / QzPartMesh::kBlock);
        for (QzBox& box : boxes) QzBoxReset(box);
        for (size_t i = 0; i < count; ++i)
            for (uint32_t v : points(i))
                QzBoxExtend(mesh_.positions[v], boxes[i / QzPartMesh::kBlock]);
    };
    auto face = [&](size_t i) -> const auto& { return mesh_.triangles[i].v; };
    auto line = [&](size_t i) -> const auto& { return mesh_.lines[i].v; };
    auto optional = [&](size_t i) -> const auto& { return mesh_.optionalLines[i].v; };
    blocks(mesh_.triangleBlocks, mesh_.triangles.size(), face);
    blocks(mesh_.lineBlocks, mesh_.lines.size(), line);
    blocks(mesh_.optionalBlocks, mesh_.optionalLines.size(), optional);
}

}  // namespace

QzPartMesh QzBuildPartMesh(const QzPart& part, bool flatten, const QzLine* stop,
                           const QzLine* after) {
    QzPartMesh mesh;
    if (!QzPrepareDrawData(&part)) {
        mesh.complete = false;
        return mesh;
    }
    Builder builder(mesh, flatten, after != nullptr);
    Builder::Frame identity{};
    for (int i = 0; i < 3; ++i) identity.t.m[i][i] = 1.0;
    QzWalkRules rules;
    rules.colours = QzColourRule::Symbolic;
    rules.maxPlacements = kMaxPlacements;
    rules.textures = true;
    rules.fadeThrough = after;
    mesh.complete = QzWalk(rules, part, stop, QZ_COLOUR_CURRENT, true, identity, builder);
    builder.Finish();
    return mesh;
}

bool QzMeshTexturePoint(const QzMeshTexture& texture, const QzVector& point, double& u, double& v) {
    const double p[3] = {point.x, point.y, point.z};
    double q[3];
    for (int i = 0; i < 3; ++i)
        q[i] = texture.toMap[i][0] * p[0] + texture.toMap[i][1] * p[1] +
               texture.toMap[i][2] * p[2] + texture.toMap[i][3];
    return QzTexmapProject(texture.map, q, u, v);
}

QzMeshTexCoords QzFaceTexCoords(const QzMeshTexture& texture, const QzVector& a, const QzVector& b,
                                const QzVector& c) {
    const QzVector* corners[3] = {&a, &b, &c};
    double u[3], v[3];
    bool defined[3];
    double su = 0, sv = 0;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        defined[i] = QzMeshTexturePoint(texture, *corners[i], u[i], v[i]);
        if (!defined[i]) continue;
        su += u[i];
        sv += v[i];
        ++count;
    }
    // A corner where the mapping is undefined (on the axis) takes the others' mean.
    for (int i = 0; i < 3; ++i)
        if (!defined[i]) {
            u[i] = count ? su / count : 0;
            v[i] = count ? sv / count : 0;
        }
    // Corners on both sides of a curved mapping's seam go to the same side.
    const double period = QzTexmapPeriod(texture.map);
    if (period > 0) {
        const double top = std::max({u[0], u[1], u[2]});
        for (double& x : u)
            if (top - x > period / 2) x += period;
    }
    QzMeshTexCoords out;
    for (int i = 0; i < 3; ++i) {
        out.u[i] = static_cast<float>(u[i]);
        out.v[i] = static_cast<float>(v[i]);
    }
    return out;
}

QzInheritedTexmap QzInheritedTexmap::Child(const QzPart& parent, const QzPlaced& child) const {
    QzInheritedTexmap out;
    const QzMatrix& line = QzLineMatrix(*child.line);
    const QzTexturedLines* view = parent.textured;
    if (child.texmap && view && child.texmap <= view->texmaps.size()) {
        // Its own mapping, in the coordinates of the file that holds the reference.
        out.map = &view->texmaps[child.texmap - 1u];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) out.toMap[i][j] = line.m[i][j];
    } else if (map) {
        out.map = map;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 4; ++j) {
                double sum = j == 3 ? toMap[i][3] : 0.0;
                for (int k = 0; k < 3; ++k) sum += toMap[i][k] * line.m[k][j];
                out.toMap[i][j] = sum;
            }
    }
    return out;
}

QzMeshTexture QzInheritedTexmap::Texture() const {
    QzMeshTexture texture{map ? *map : QzTexmap{}, {}};
    std::memcpy(texture.toMap, toMap, sizeof toMap);
    return texture;
}
