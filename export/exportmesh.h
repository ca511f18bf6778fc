// The geometry of one part as the exports write it, made from the part's mesh
// (model/partmesh.h) in the part's own coordinates and LDraw units: triangles as the
// drawing sees them, each quadrilateral two of them (split along the diagonal that
// stays inside it), faces without area dropped; corners that share a position and a
// normal shared; faces grouped by colour and by whether they are double-sided; the
// edge lines (type 2) apart, by colour. Colours stay symbolic (16 and the edge colour
// of the placement) until a placement resolves them.
//
// Textured faces (their own texture mapping, or the one the part is placed with) keep
// the image's coordinates at their corners, as glTF takes them: u to the right, v down
// from the image's top-left corner. An image is written with a border of one pixel in
// the face's colour around it (see TextureLayout), so that a viewer clamping to the
// image's edge shows the face's colour beyond it, as the drawing does: the coordinates
// are those of the bordered image.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry.h"
#include "partmesh.h"

namespace exports {

// An image faces are textured with, and whether it repeats across u (a curved mapping
// all the way round, whose seam the image crosses): then it has no border left and
// right.
struct FaceTexture {
    std::shared_ptr<const QzImage> image;
    bool wraps = false;
    bool operator==(const FaceTexture&) const = default;
};

// The size of an image as written, with its border, and where the image lies in it.
struct TextureLayout {
    int width, height;
    int left, top;
};
TextureLayout LayoutOf(const FaceTexture& texture);

// Faces of one colour, of one side kind, with one texture or none: three corners each,
// into Geometry's vertices.
struct FaceGroup {
    QzMeshColour colour;
    // Not certified (BFC): seen from both sides.
    bool doubleSided = false;
    // The index in Geometry::textures; -1 for faces without a texture.
    int32_t texture = -1;
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
    // The texture coordinates of the vertices (in the bordered image), one per vertex
    // when any face is textured, else none: a vertex is then a position, a normal and a
    // texture coordinate ((0, 0) for the vertices of faces without a texture).
    std::vector<std::array<float, 2>> texCoords;
    std::vector<FaceTexture> textures;
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

// The geometry of a part's mesh; with `lines`, its edge lines too. `inherited` is the
// texture mapping the part is placed with (partmesh.h), for its faces without one of
// their own; null for none. A face is textured only when its mapping's image was found.
Geometry MakeGeometry(const QzPartMesh& mesh, bool lines, const QzMeshTexture* inherited = nullptr);

// The geometry placed by a 3 x 4 matrix (rows, the translation in the fourth column,
// as QzMatrix holds them): positions and line points transformed, normals turned with
// the inverse transpose, and the corners of every face reversed when the matrix
// mirrors, so that front faces stay in front. For a placement that a glTF node cannot
// carry (gltfwriter.cpp).
Geometry TransformedGeometry(const Geometry& geometry, const double m[3][4]);

}  // namespace exports
