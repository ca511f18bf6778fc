// The geometry the high-quality drawing draws a part with: every face, line and
// optional line of the part and of everything it references, in the part's own
// coordinates, with shared corners welded and a normal at every corner of a face.
// Normals are averaged across the edges the part marks as smooth with optional lines
// (the outlines of curved surfaces), so that studs and tyres look round, while faces
// meeting at any other edge keep their own flat normal.
//
// A part's meshes are kept with the part (drawdata.h, QzPartMeshOf).
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"
#include "model.h"
#include "texmap.h"

struct QzPlaced;

// A colour as a mesh stores it: a colour number, 16 standing for the colour the part
// is drawn in; with `edge` the edge colour of that colour (a colour 24 line).
struct QzMeshColour {
    int32_t number = 16;
    bool edge = false;
    bool operator==(const QzMeshColour&) const = default;
};

// Flags of a stored face, line or optional line.
inline constexpr uint8_t QZ_MESH_CULL = 1;       // certified: may be culled when facing away
inline constexpr uint8_t QZ_MESH_FROM_QUAD = 2;  // part of a type-4 line (else type 3)
inline constexpr uint8_t QZ_MESH_EDGE_01 = 4;    // the face's edges 0-1, 1-2, 2-0 that are
inline constexpr uint8_t QZ_MESH_EDGE_12 = 8;    // edges of its line (for the options that
inline constexpr uint8_t QZ_MESH_EDGE_20 = 16;   // draw the edges of faces)

struct QzMeshTriangle {
    uint32_t v[3];  // positions; front faces run counter-clockwise on the screen
    uint32_t n[3];  // normals
    QzMeshColour colour;
    uint8_t flags;
    // 1 + the index of its texture in QzPartMesh::textures; 0 for a face without one.
    uint16_t texture;
};

// A texture mapping as a mesh holds it: the mapping (points and angles in the
// coordinates of the file that holds the "!TEXMAP", the image's name and the decoded
// image, null when none was found) and the matrix that takes the mesh's coordinates into
// that file's, where the mapping is worked out.
struct QzMeshTexture {
    QzTexmap map;
    double toMap[3][4];
};

// The image coordinates of the corners of a textured face: u to the right, v down, 0 to 1
// across the image (outside it the face shows its own colour). The corners of a face
// that crosses the seam of a curved mapping are taken on one side of it, so u may pass 1
// there.
struct QzMeshTexCoords {
    float u[3], v[3];
};

struct QzMeshLine {
    uint32_t v[2];
    QzMeshColour colour;
};

struct QzMeshOptionalLine {
    uint32_t v[2];  // the line
    uint32_t c[2];  // its control points
    QzMeshColour colour;
};

// A run of the mesh's faces, lines and optional lines that came from one stud (drawn
// last, and only when its box is not hidden), or everything else (`stud` false).
struct QzMeshGroup {
    bool stud = false;
    QzBox box{};  // of the run's positions
    uint32_t triangleBegin = 0, triangleEnd = 0;
    uint32_t lineBegin = 0, lineEnd = 0;
    uint32_t optionalBegin = 0, optionalEnd = 0;
};

struct QzPartMesh {
    std::vector<QzVector> positions;
    std::vector<QzVector> normals;  // unit length, or zero for a degenerate face
    std::vector<QzMeshTriangle> triangles;
    std::vector<QzMeshLine> lines;
    std::vector<QzMeshOptionalLine> optionalLines;
    // The first group holds what is not a stud; studs follow, one group each.
    std::vector<QzMeshGroup> groups;
    // The boxes of the faces, lines and optional lines (their points, not the control
    // points) taken kBlock at a time in the order of the lists: box i holds elements
    // i * kBlock up to the next, across the groups' bounds. A drawing passes over a
    // block at once where its box is hidden.
    static constexpr uint32_t kBlock = 8;
    std::vector<QzBox> triangleBlocks, lineBlocks, optionalBlocks;
    // The texture mappings of the faces, and the image coordinates of every triangle's
    // corners (one entry per triangle; empty when no face has a texture).
    std::vector<QzMeshTexture> textures;
    std::vector<QzMeshTexCoords> texCoords;
    // The lines of the part's own file and of what it references, by type (1 to 5), as
    // a reader with textures sees them (for a part without texture mapping, as the walk
    // of the normal drawing counts them).
    int32_t typeCount[6] = {};
    // Matrix products the mesh was built with (its type-1 lines).
    int32_t references = 0;
    // False when the part places too much to be held (or memory ran out): the mesh
    // holds only part of it, and is not drawn.
    bool complete = true;
};

// Builds a mesh of a part's geometry through the one walk (walk.h). With `flatten`,
// referenced files are drawn into it (a part from the library and everything below
// it); without, only the part's own lines of types 2 to 5 are (a model file, whose
// references are drawn one by one). With `stop`, the part's own lines end after that
// one (a building step's last line of the main model); with `after`, they begin after
// that one (the lines of earlier steps are left out). The line counts (typeCount) are
// those of the lines up to `stop`, whatever `after`. The part is read as a reader with
// textures reads it (the "0 !:" geometry in, FALLBACK sections out), and its faces carry
// their texture mappings.
QzPartMesh QzBuildPartMesh(const QzPart& part, bool flatten, const QzLine* stop = nullptr,
                           const QzLine* after = nullptr);

// The texture mapping a file placed in a walk with textures passes on to its faces
// without one of their own: the mapping of the reference that placed it, or of a file
// above, laid in the coordinates of the file that holds the "!TEXMAP" (toMap takes the
// placed file's coordinates there). What a drawing or an export that places meshes one
// by one keeps in its frames, as the meshes keep it for what they flatten.
struct QzInheritedTexmap {
    const QzTexmap* map = nullptr;
    double toMap[3][4] = {};
    // What the file a reference places takes, from the file that holds the reference
    // (with this mapping).
    QzInheritedTexmap Child(const QzPart& parent, const QzPlaced& child) const;
    // As a mesh texture, for a mesh of the placed file (null map: none).
    QzMeshTexture Texture() const;
};

// The image coordinates a texture mapping gives a point of the mesh; false where the
// mapping is undefined (a point on a curved mapping's axis or centre).
bool QzMeshTexturePoint(const QzMeshTexture& texture, const QzVector& point, double& u, double& v);

// The image coordinates of a face's corners under a texture mapping (as the mesh keeps
// them in texCoords): a corner where the mapping is undefined takes the mean of the
// others, and the corners of a face across a curved mapping's seam are taken on one side
// of it.
QzMeshTexCoords QzFaceTexCoords(const QzMeshTexture& texture, const QzVector& a, const QzVector& b,
                                const QzVector& c);
