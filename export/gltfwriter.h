// The glTF 2.0 form of an export scene: a binary .glb, or a .gltf with its buffer in a
// .bin beside it. Y up, metres: an LDraw point (x, y, z) lies at (0.0004 x, -0.0004 y,
// -0.0004 z), a half turn about X that mirrors nothing. Every node carries its placement
// relative to the node it hangs from as its matrix; every mesh keeps its vertices in
// the part's own axes, in metres. No node's matrix mirrors: a placement that mirrors
// places the part mirrored once, its corners turned round so that its faces stay
// outward in every viewer; a placement that shears, which no node may carry, gets a
// mesh of its own with the placement applied. Materials are physically based (exportmaterials.h);
// each part node names its building step in extras, each material its LDraw colour.
//
// A print (a textured face) is a material of its own per colour and image, whose base
// colour is a texture: the image laid over the face's colour where it is transparent
// (cut-out stickers show the face through), with a border of that colour around it
// (exportmesh.h) that a sampler clamping to the edge stretches beyond the image. The
// images are PNG files in the buffer (the .glb's, or the .bin of a .gltf), one per
// image and colour.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "colours.h"
#include "exportmaterials.h"
#include "exportscene.h"

namespace exports {

// LDraw units to metres.
inline constexpr double kMetresPerUnit = 0.0004;

class GltfDocument {
  public:
    // The model's node is named `modelName`.
    GltfDocument(const Scene& scene, const QzPalette& palette,
                 const std::map<int32_t, std::string>& colourNames, std::string modelName);

    // The whole .glb; false (nothing written) when it would pass the 4 GiB a .glb can hold.
    bool WriteGlb(std::FILE* file) const;
    // The .gltf, naming its buffer by `binUri` (a relative URI), and the .bin.
    void WriteJson(std::FILE* file, const std::string& binUri) const;
    void WriteBin(std::FILE* file) const;

    size_t MaterialCount() const { return materials_.All().size(); }
    size_t MeshCount() const { return meshCount_; }

  private:
    struct Built;
    // The JSON text of the document: everything but the nodes (written apart, as a
    // model may place millions of parts), with the buffer named by uri when given.
    std::string HeadText(const std::string* uri) const;
    template <class Put>
    void PutJson(const std::string* uri, Put put) const;
    template <class Put>
    void PutNodes(Put put) const;
    void AddGeometryAccessors(size_t geometry);
    int32_t AddMesh(const Geometry& g, size_t geometryIndex, int32_t colour,
                    const std::string& name);
    int32_t IndexAccessor(size_t geometry, bool lines, const std::vector<uint32_t>& groups);
    int32_t TexCoordAccessor(size_t geometry);
    // The texture of an image over a colour, added on first use; -1 when it cannot be
    // made (an image without pixels, or no memory).
    int32_t TextureOf(const FaceTexture& texture, int32_t colour);
    const Geometry& GeometryAt(size_t index) const;

    // A buffer view, written from the geometry when the buffer is written (so that the
    // geometry is held once).
    enum class ViewData : uint8_t {
        Positions,
        Normals,
        LinePoints,
        Corners,
        LineEnds,
        TexCoords,
        Image
    };
    struct View {
        ViewData data;
        size_t geometry;               // the index in pngs_ for an image
        std::vector<uint32_t> groups;  // of the corners or line ends
        bool shortIndices;
        uint64_t offset;
        uint64_t length;
    };
    int32_t AddView(View view, int target);
    void PutView(const View& view, std::vector<uint8_t>& bytes) const;

    const Scene& scene_;
    const QzPalette& palette_;
    MaterialTable materials_;
    std::string modelName_;
    // The parts of the JSON document, gathered while building.
    struct JsonParts;
    std::shared_ptr<JsonParts> json_;
    std::vector<View> views_;
    uint64_t binLength_ = 0;
    // Geometries: the scene's, then those made for placements a node cannot carry.
    std::vector<Geometry> baked_;
    // Per geometry (the scene's, then the baked ones): the accessors of positions,
    // normals and line points (-1 when none).
    struct GeometryAccessors {
        int32_t positions = -1;
        int32_t normals = -1;
        int32_t linePoints = -1;
        int32_t texCoords = -1;
    };
    std::vector<GeometryAccessors> accessors_;
    std::map<std::tuple<size_t, bool, std::vector<uint32_t>>, int32_t> indexAccessors_;
    // Per node: whether its glTF node is its placement followed by a mirror of X (one
    // that mirrors, or hangs from one), whether its placement is applied to its mesh
    // instead (it shears), and its glTF mesh (-1 for none).
    std::vector<uint8_t> mirrored_;
    std::vector<uint8_t> placedInMesh_;
    std::vector<int32_t> nodeMesh_;
    // Children of each node: firstChild_[i] to firstChild_[i + 1] in children_.
    std::vector<uint32_t> firstChild_;
    std::vector<uint32_t> children_;
    size_t meshCount_ = 0;
    // The images as written (PNG files), and the textures by image, whether it wraps,
    // and colour.
    std::vector<std::string> pngs_;
    std::vector<std::string> pngNames_;
    std::vector<bool> pngWraps_;
    std::vector<int32_t> imageViews_;
    std::map<std::tuple<const QzImage*, bool, int32_t>, int32_t> textures_;
};

// A file name as a relative URI (every byte but letters, digits and -._~ escaped).
std::string UriOfFileName(const std::string& name);

}  // namespace exports
