// The geometry of one part as the exports write it, made from the part's mesh
// (model/partmesh.h) in the part's own coordinates and LDraw units: triangles as the
// drawing sees them, each quadrilateral two of them (split along the diagonal that
// stays inside it), faces without area dropped; corners that share a position and a
// normal shared; faces grouped by colour and by whether they are double-sided; the
// edge lines (type 2) apart, by colour. Colours stay symbolic (16 and the edge colour
// of the placement) until a placement resolves them.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"
#include "partmesh.h"

namespace exports {

// Faces of one colour, of one side kind: three corners each, into Geometry's vertices.
struct FaceGroup {
    QzMeshColour colour;
    // Not certified (BFC): seen from both sides.
    bool doubleSided = false;
    std::vector<uint32_t> corners;
};

// Edge lines of one colour: two ends each, into Geometry's line points.
struct LineGroup {
    QzMeshColour colour;
    std::vector<uint32_t> ends;
};

struct Geometry {
    // One vertex per distinct pair of position and normal, normals of unit length.
    std::vector<QzVector> positions;
    std::vector<QzVector> normals;
    // (Textured faces will keep their texture coordinates here, one per vertex: a vertex
    // is then a position, a normal and a texture coordinate.)
    std::vector<FaceGroup> faces;
    // The points of the edge lines (only when asked for).
    std::vector<QzVector> linePoints;
    std::vector<LineGroup> lines;
    // Triangles kept, and faces left out for having no area (as the drawing draws
    // nothing of them).
    int64_t triangles = 0;
    int64_t dropped = 0;
    bool empty() const { return faces.empty() && lines.empty(); }
    // Of the positions and line points; reset (QzBoxReset) when there are none.
    QzBox box{};
};

// The geometry of a part's mesh; with `lines`, its edge lines too.
Geometry MakeGeometry(const QzPartMesh& mesh, bool lines);

// The geometry placed by a 3 x 4 matrix (rows, the translation in the fourth column,
// as QzMatrix holds them): positions and line points transformed, normals turned with
// the inverse transpose, and the corners of every face reversed when the matrix
// mirrors, so that front faces stay in front. For a placement that a glTF node cannot
// carry (gltfwriter.cpp).
Geometry TransformedGeometry(const Geometry& geometry, const double m[3][4]);

}  // namespace exports
