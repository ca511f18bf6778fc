// What the walks keep of a part, in one cache per part (QzPart::cache): the form the
// drawing walk reads (its lines of types 1 to 5 in their order, without the comments
// between them, each with the numbers of its points in the list of the part's distinct
// points), figures of the part that do not depend on where it is drawn, and the mesh
// the high-quality drawing and the exports draw it with. The cache is made on first
// use, before a drawing's threads start, and dropped whenever the part's lines change
// (QzFreeDrawData); a mesh that flattens other parts is made again when one of them
// changed (QzPartMeshOf).
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "geometry.h"
#include "partmesh.h"

struct QzLine;
struct QzPart;

struct QzDrawItem {
    // The stored line: its matrix and part (type 1), its random colour.
    const QzLine* line;
    int32_t colour;
    uint8_t type;
    uint8_t bfc;
    // Numbers of the line's points in QzPartCache::points (types 2 to 5).
    uint16_t point[4];
    // In the form a reader with textures sees: the texture mapping of the line (1 + its
    // index in the part's QzTexturedLines::texmaps), 0 for none of its own.
    uint16_t texmap;
};

struct QzPartCache {
    // A number no other cache had: a mesh made with the part knows it by this.
    uint64_t version = 0;
    std::vector<QzDrawItem> items;
    // The positions in `items` of the references (type 1), in order.
    std::vector<uint32_t> references;
    // For a part with texture mapping (QzPart::textured): what a reader with textures
    // walks instead, the "0 !:" geometry in and the FALLBACK geometry out, and the
    // positions of its references. Empty for every other part (`textured` false), whose
    // walk is the same for both readers.
    bool textured = false;
    std::vector<QzDrawItem> texturedItems;
    std::vector<uint32_t> texturedReferences;
    // The distinct points of the part's lines of types 2 to 5 (bit for bit distinct).
    std::vector<QzVector> points;
    // Lines of each type 1 to 5.
    int32_t lines[6] = {};
    // Whether the part has more distinct points than a number holds: its lines are
    // then transformed one by one, and `points` is empty.
    bool perLine = false;
    // Whether a stud part is reached through the part's references: the stud pass
    // passes over parts without.
    bool studsBelow = false;
    // Lines of types 2 to 5 drawn below the part, its own included (the drawing's work
    // estimate for sharing rows among threads); -1 until worked out.
    int64_t work = -1;
    // Stud references the stud pass meets below the part; -1 until worked out.
    int64_t studReferences = -1;
    // The matrix products the stud pass makes below the part, by whether studs are
    // walked and whether seams shrink parts; -1 until worked out.
    int64_t studPassProducts[2][2] = {{-1, -1}, {-1, -1}};
    // The meshes of the part: with everything it references flattened into it, and of
    // its own lines alone; each with the key of the parts it was made from.
    std::unique_ptr<QzPartMesh> mesh[2];
    uint64_t meshKey[2] = {0, 0};
};

// A part with more distinct points than this is walked line by line instead.
inline constexpr size_t QZ_MAX_DRAW_POINTS = 65535;

// Makes the cache of the part and of every part it reaches, where missing; false when
// memory ran out.
bool QzPrepareDrawData(const QzPart* part);

// Figures of a prepared part, worked out on first use (before a drawing's threads read
// them): lines of types 2 to 5 below it, its own included; stud references the stud
// pass meets below it; the matrix products the stud pass makes below a part that leads
// to no stud (references to studs skipped or not; parts shrunk for seams or not). Each
// is held at QZ_MAX_FIGURE, which no model a drawing can hold comes near.
inline constexpr int64_t QZ_MAX_FIGURE = int64_t{1} << 60;
int64_t QzDrawWork(const QzPart& part);
int64_t QzStudReferences(const QzPart& part);
int64_t QzStudPassProducts(const QzPart& part, bool skipStuds, bool seams);

// The keys of meshes for one drawing: a mesh is current while the versions of the part
// and of every part it reaches are those it was made from.
class QzMeshKeys {
  public:
    uint64_t Of(const QzPart& part);

  private:
    std::unordered_map<const QzPart*, uint64_t> keys_;
};

// The mesh of a prepared part (flatten: with everything it references), made again
// when its key changed. Stays valid until the part's lines change.
const QzPartMesh& QzPartMeshOf(const QzPart& part, bool flatten, QzMeshKeys& keys);
// The mesh QzPartMeshOf keeps with the part, when it has one that is current; null
// otherwise. For a caller that needs a mesh once (an export), which builds it with
// QzBuildPartMesh and drops it when done rather than keep every part's.
const QzPartMesh* QzKeptPartMesh(const QzPart& part, bool flatten, QzMeshKeys& keys);
// Keeps a mesh made by QzBuildPartMesh(part, flatten) with the part, as QzPartMeshOf
// would have: for a caller that makes several parts' meshes at once.
void QzKeepPartMesh(const QzPart& part, bool flatten, QzMeshKeys& keys,
                    std::unique_ptr<QzPartMesh> mesh);
