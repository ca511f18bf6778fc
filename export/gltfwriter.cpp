#include "gltfwriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "pngencode.h"
#include "version.h"

namespace exports {

using Json = nlohmann::ordered_json;
static_assert(std::endian::native == std::endian::little, "glTF buffers are little-endian");

namespace {

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kLinesMode = 1;
constexpr int kLinear = 9729;
constexpr int kLinearMipmapLinear = 9987;
constexpr int kClampToEdge = 33071;
constexpr int kRepeat = 10497;
// The signs of the axes: Y and Z turn round (a half turn about X).
constexpr double kSign[3] = {1.0, -1.0, -1.0};

// A JSON string, bytes that are not UTF-8 replaced (names come from files).
std::string Quoted(const std::string& text) {
    return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The shortest text that reads back as the float.
void PutFloat(std::string& out, float v) {
    if (v == 0.0f) v = 0.0f;  // no "-0"
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, end);
}

// A point of the part's axes, in LDraw units, in glTF's axes and metres.
std::array<float, 3> Position(const QzVector& p) {
    return {static_cast<float>(kSign[0] * kMetresPerUnit * p.x),
            static_cast<float>(kSign[1] * kMetresPerUnit * p.y),
            static_cast<float>(kSign[2] * kMetresPerUnit * p.z)};
}
std::array<float, 3> Direction(const QzVector& n) { return {n.x, -n.y, -n.z}; }

// The name of a node: a file name with "/" between folders.
std::string NodeName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

// A mirror of X before a placement, after it, or both: rows or columns 0 turned round.
Affine MirroredAffine(const Affine& a, bool before, bool after) {
    Affine r = a;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            if ((before && i == 0) != (after && j == 0)) r.m[i][j] = -r.m[i][j];
    return r;
}

// Whether a placement is exactly none.
bool IsIdentity(const Affine& a) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            if (a.m[i][j] != (i == j ? 1.0 : 0.0)) return false;
    return true;
}

}  // namespace

std::string UriOfFileName(const std::string& name) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

struct GltfDocument::JsonParts {
    exports::Json meshes = exports::Json::array();
    exports::Json accessors = exports::Json::array();
    exports::Json views = exports::Json::array();
};

GltfDocument::GltfDocument(const Scene& scene, const QzPalette& palette,
                           const std::map<int32_t, std::string>& colourNames, std::string modelName)
    : scene_(scene),
      palette_(palette),
      materials_(palette, colourNames),
      modelName_(std::move(modelName)),
      json_(std::make_shared<JsonParts>()) {
    accessors_.resize(scene.geometries.size());
    // A node's matrix never mirrors: a viewer that keeps a mesh's faces the way its
    // corners run, whatever the matrix, would show a mirrored part inside out. A
    // placement that mirrors is carried by a node as the placement followed by a mirror
    // of X, with the part's mesh mirrored back (its corners turned round, so that its
    // faces stay outward); what hangs from such a node takes the mirror into account.
    const size_t nodes = scene.nodes.size();
    mirrored_.assign(nodes, 0);
    placedInMesh_.assign(nodes, 0);
    nodeMesh_.assign(nodes, -1);
    std::map<std::pair<size_t, int32_t>, int32_t> shared;
    std::unordered_map<int32_t, size_t> mirroredGeometry;
    for (size_t i = 0; i < nodes; ++i) {
        const Node& node = scene.nodes[i];
        const bool parentMirrored =
            node.parent >= 0 && mirrored_[static_cast<size_t>(node.parent)] != 0;
        const Affine local = scene.Local(node);
        bool mirrored = parentMirrored != (local.Determinant() < 0);
        // A part placed by a matrix no node can carry (one that shears) has it applied to
        // a mesh of its own; its node carries nothing.
        const bool sheared = node.kind == NodeKind::Part &&
                             !NodeMatrix(MirroredAffine(local, parentMirrored, mirrored));
        if (sheared) mirrored = parentMirrored;
        mirrored_[i] = mirrored;
        placedInMesh_[i] = sheared;
        if (node.mesh < 0) continue;
        const Mesh& mesh = scene.meshes[static_cast<size_t>(node.mesh)];
        const Geometry& g = scene.geometries[static_cast<size_t>(mesh.geometry)];
        const std::string name =
            node.kind == NodeKind::Model ? modelName_ : NodeName(node.part->name);
        const Affine placement = sheared
                                     ? MirroredAffine(local, parentMirrored, false)
                                     : MirroredAffine(scene.MeshPlacement(node), mirrored, false);
        if (!IsIdentity(placement) && (sheared || node.inner >= 0)) {
            baked_.push_back(TransformedGeometry(g, placement.m));
            accessors_.emplace_back();
            nodeMesh_[i] = AddMesh(baked_.back(), scene.geometries.size() + baked_.size() - 1,
                                   mesh.colour, name);
            continue;
        }
        size_t geometry = static_cast<size_t>(mesh.geometry);
        if (mirrored) {
            // The part mirrored once, for every placement that mirrors it.
            const auto [it, added] = mirroredGeometry.try_emplace(mesh.geometry, 0);
            if (added) {
                baked_.push_back(TransformedGeometry(g, placement.m));
                accessors_.emplace_back();
                it->second = scene.geometries.size() + baked_.size() - 1;
            }
            geometry = it->second;
        }
        const auto [it, added] = shared.try_emplace({geometry, mesh.colour}, 0);
        if (added) it->second = AddMesh(GeometryAt(geometry), geometry, mesh.colour, name);
        nodeMesh_[i] = it->second;
    }
    // Children in the nodes' order.
    std::vector<uint32_t> count(scene.nodes.size() + 1, 0);
    for (const Node& node : scene.nodes)
        if (node.parent >= 0) ++count[static_cast<size_t>(node.parent) + 1];
    firstChild_.assign(scene.nodes.size() + 1, 0);
    for (size_t i = 0; i < scene.nodes.size(); ++i)
        firstChild_[i + 1] = firstChild_[i] + count[i + 1];
    children_.assign(firstChild_.back(), 0);
    std::vector<uint32_t> filled(firstChild_.begin(), firstChild_.end() - 1);
    for (size_t i = 0; i < scene.nodes.size(); ++i) {
        const int32_t parent = scene.nodes[i].parent;
        if (parent >= 0)
            children_[filled[static_cast<size_t>(parent)]++] = static_cast<uint32_t>(i);
    }
}

const Geometry& GltfDocument::GeometryAt(size_t index) const {
    return index < scene_.geometries.size() ? scene_.geometries[index]
                                            : baked_[index - scene_.geometries.size()];
}

int32_t GltfDocument::AddView(View view, int target) {
    view.offset = (binLength_ + 3) / 4 * 4;
    binLength_ = view.offset + view.length;
    Json entry = {{"buffer", 0}, {"byteOffset", view.offset}, {"byteLength", view.length}};
    if (target) entry["target"] = target;
    json_->views.push_back(std::move(entry));
    views_.push_back(std::move(view));
    return static_cast<int32_t>(views_.size() - 1);
}

void GltfDocument::PutView(const View& view, std::vector<uint8_t>& bytes) const {
    static const Geometry kNone;
    const Geometry& g = view.data == ViewData::Image ? kNone : GeometryAt(view.geometry);
    bytes.clear();
    auto put = [&](const void* data, size_t size) {
        const auto* b = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), b, b + size);
    };
    switch (view.data) {
        case ViewData::Positions:
        case ViewData::LinePoints:
            for (const QzVector& p :
                 view.data == ViewData::Positions ? g.positions : g.linePoints) {
                const std::array<float, 3> v = Position(p);
                put(v.data(), sizeof v);
            }
            return;
        case ViewData::Normals:
            for (const QzVector& n : g.normals) {
                const std::array<float, 3> v = Direction(n);
                put(v.data(), sizeof v);
            }
            return;
        case ViewData::TexCoords:
            put(g.texCoords.data(), g.texCoords.size() * sizeof g.texCoords[0]);
            return;
        case ViewData::Image: {
            const std::string& png = pngs_[view.geometry];
            put(png.data(), png.size());
            return;
        }
        case ViewData::Corners:
        case ViewData::LineEnds:
            for (const uint32_t group : view.groups) {
                const std::vector<uint32_t>& indices =
                    view.data == ViewData::Corners ? g.faces[group].corners : g.lines[group].ends;
                for (const uint32_t i : indices) {
                    if (view.shortIndices) {
                        const uint16_t narrow = static_cast<uint16_t>(i);
                        put(&narrow, 2);
                    } else {
                        put(&i, 4);
                    }
                }
            }
            return;
    }
}

void GltfDocument::AddGeometryAccessors(size_t index) {
    GeometryAccessors& a = accessors_[index];
    if (a.positions >= 0 || a.linePoints >= 0) return;
    const Geometry& g = GeometryAt(index);
    // Points with their bounds, as glTF asks of positions.
    auto points = [&](ViewData data) {
        const std::vector<QzVector>& source = data == ViewData::Normals     ? g.normals
                                              : data == ViewData::Positions ? g.positions
                                                                            : g.linePoints;
        const int32_t view =
            AddView({data, index, {}, false, 0, source.size() * 3 * sizeof(float)}, kArrayBuffer);
        Json accessor = {{"bufferView", view},
                         {"componentType", kFloat},
                         {"count", source.size()},
                         {"type", "VEC3"}};
        if (data != ViewData::Normals) {
            std::array<float, 3> lo{}, hi{};
            for (size_t i = 0; i < source.size(); ++i) {
                const std::array<float, 3> v = Position(source[i]);
                for (int k = 0; k < 3; ++k) {
                    lo[k] = i == 0 ? v[k] : std::min(lo[k], v[k]);
                    hi[k] = i == 0 ? v[k] : std::max(hi[k], v[k]);
                }
            }
            accessor["min"] = {lo[0], lo[1], lo[2]};
            accessor["max"] = {hi[0], hi[1], hi[2]};
        }
        json_->accessors.push_back(std::move(accessor));
        return static_cast<int32_t>(json_->accessors.size() - 1);
    };
    if (!g.positions.empty()) {
        a.positions = points(ViewData::Positions);
        a.normals = points(ViewData::Normals);
    }
    if (!g.linePoints.empty()) a.linePoints = points(ViewData::LinePoints);
}

int32_t GltfDocument::IndexAccessor(size_t index, bool lines, const std::vector<uint32_t>& groups) {
    const auto found = indexAccessors_.find({index, lines, groups});
    if (found != indexAccessors_.end()) return found->second;
    const Geometry& g = GeometryAt(index);
    size_t count = 0;
    for (const uint32_t group : groups)
        count += lines ? g.lines[group].ends.size() : g.faces[group].corners.size();
    const size_t vertices = lines ? g.linePoints.size() : g.positions.size();
    // Short indices while every vertex has one below the value that restarts strips.
    const bool shortIndices = vertices <= 0xFFFF;
    const int32_t view = AddView({lines ? ViewData::LineEnds : ViewData::Corners, index, groups,
                                  shortIndices, 0, count * (shortIndices ? 2 : 4)},
                                 kElementArrayBuffer);
    json_->accessors.push_back({{"bufferView", view},
                                {"componentType", shortIndices ? kUnsignedShort : kUnsignedInt},
                                {"count", count},
                                {"type", "SCALAR"}});
    const int32_t accessor = static_cast<int32_t>(json_->accessors.size() - 1);
    indexAccessors_.emplace(std::make_tuple(index, lines, groups), accessor);
    return accessor;
}

int32_t GltfDocument::TexCoordAccessor(size_t index) {
    GeometryAccessors& a = accessors_[index];
    if (a.texCoords >= 0) return a.texCoords;
    const Geometry& g = GeometryAt(index);
    const int32_t view =
        AddView({ViewData::TexCoords, index, {}, false, 0, g.texCoords.size() * 2 * sizeof(float)},
                kArrayBuffer);
    json_->accessors.push_back({{"bufferView", view},
                                {"componentType", kFloat},
                                {"count", g.texCoords.size()},
                                {"type", "VEC2"}});
    a.texCoords = static_cast<int32_t>(json_->accessors.size() - 1);
    return a.texCoords;
}

int32_t GltfDocument::TextureOf(const FaceTexture& texture, int32_t colour) {
    const QzImage& image = *texture.image;
    const auto key = std::make_tuple(&image, texture.wraps, colour);
    if (const auto found = textures_.find(key); found != textures_.end()) return found->second;
    int32_t index = -1;
    const TextureLayout layout = LayoutOf(texture);
    if (image.Width() > 0 && image.Height() > 0) {
        // The image over the colour (its texels carry their colours multiplied by their
        // alpha), in a border of the colour; in the values a screen shows, as the
        // drawing blends them.
        float rgb[3] = {0.5f, 0.5f, 0.5f};
        QzColourToRgb(palette_, colour, rgb);
        uint8_t c[3];
        for (int k = 0; k < 3; ++k)
            c[k] =
                static_cast<uint8_t>(std::lround(255.0 * std::fmin(1.0, std::fmax(0.0, rgb[k]))));
        const size_t w = static_cast<size_t>(layout.width), h = static_cast<size_t>(layout.height);
        std::vector<uint8_t> pixels(w * h * 3);
        for (size_t i = 0; i < w * h; ++i) std::memcpy(&pixels[i * 3], c, 3);
        const QzImage::Level& level = image.levels[0];
        for (int y = 0; y < level.height; ++y)
            for (int x = 0; x < level.width; ++x) {
                const uint8_t* texel =
                    &level.rgba[(static_cast<size_t>(y) * static_cast<size_t>(level.width) +
                                 static_cast<size_t>(x)) *
                                4];
                uint8_t* out = &pixels[((static_cast<size_t>(y + layout.top)) * w +
                                        static_cast<size_t>(x + layout.left)) *
                                       3];
                for (int k = 0; k < 3; ++k)
                    out[k] = static_cast<uint8_t>(
                        std::min(255, texel[k] + ((255 - texel[3]) * c[k] + 127) / 255));
            }
        std::string png = EncodePngRgb(layout.width, layout.height, pixels);
        if (!png.empty()) {
            pngs_.push_back(std::move(png));
            pngNames_.push_back(image.name);
            pngWraps_.push_back(texture.wraps);
            imageViews_.push_back(
                AddView({ViewData::Image, pngs_.size() - 1, {}, false, 0, pngs_.back().size()}, 0));
            index = static_cast<int32_t>(pngs_.size() - 1);
        }
    }
    textures_.emplace(key, index);
    return index;
}

int32_t GltfDocument::AddMesh(const Geometry& g, size_t index, int32_t colour,
                              const std::string& name) {
    AddGeometryAccessors(index);
    const GeometryAccessors& a = accessors_[index];
    Json primitives = Json::array();
    // One primitive per material: the groups whose colours resolve alike share it.
    std::vector<std::pair<int32_t, std::vector<uint32_t>>> byMaterial;
    auto groupOf = [&](int32_t material) -> std::vector<uint32_t>& {
        for (auto& entry : byMaterial)
            if (entry.first == material) return entry.second;
        byMaterial.push_back({material, {}});
        return byMaterial.back().second;
    };
    for (size_t i = 0; i < g.faces.size(); ++i) {
        const FaceGroup& group = g.faces[i];
        const int32_t resolved = ResolvedColour(palette_, group.colour, colour);
        // A print on an opaque face (the drawing shows none on glass).
        int32_t texture = -1;
        if (group.texture >= 0 && !QzIsTransparentColour(palette_, resolved))
            texture = TextureOf(g.textures[static_cast<size_t>(group.texture)], resolved);
        groupOf(materials_.Index(resolved, group.doubleSided, texture,
                                 texture >= 0 ? pngNames_[static_cast<size_t>(texture)] : ""))
            .push_back(static_cast<uint32_t>(i));
    }
    for (const auto& [material, groups] : byMaterial) {
        Json attributes = {{"POSITION", a.positions}, {"NORMAL", a.normals}};
        if (materials_.All()[static_cast<size_t>(material)].texture >= 0)
            attributes["TEXCOORD_0"] = TexCoordAccessor(index);
        primitives.push_back({{"attributes", std::move(attributes)},
                              {"indices", IndexAccessor(index, false, groups)},
                              {"material", material}});
    }
    byMaterial.clear();
    for (size_t i = 0; i < g.lines.size(); ++i)
        groupOf(materials_.Index(ResolvedColour(palette_, g.lines[i].colour, colour), false))
            .push_back(static_cast<uint32_t>(i));
    for (const auto& [material, groups] : byMaterial)
        primitives.push_back({{"attributes", {{"POSITION", a.linePoints}}},
                              {"indices", IndexAccessor(index, true, groups)},
                              {"material", material},
                              {"mode", kLinesMode}});
    json_->meshes.push_back({{"name", name},
                             {"primitives", std::move(primitives)},
                             {"extras", {{"ldrawColour", colour}}}});
    ++meshCount_;
    return static_cast<int32_t>(json_->meshes.size() - 1);
}

std::string GltfDocument::HeadText(const std::string* uri) const {
    Json doc;
    doc["asset"] = {{"version", "2.0"}, {"generator", "Zarvel " ZARVEL_VERSION}};
    doc["scene"] = 0;
    doc["scenes"] = Json::array({{{"name", modelName_}, {"nodes", {0}}}});
    if (!json_->meshes.empty()) doc["meshes"] = json_->meshes;
    Json materials = Json::array();
    for (const Material& m : materials_.All()) {
        Json material = {{"name", m.name}};
        if (m.texture >= 0)
            material["pbrMetallicRoughness"] = {{"baseColorTexture", {{"index", m.texture}}},
                                                {"metallicFactor", m.metallic},
                                                {"roughnessFactor", m.roughness}};
        else
            material["pbrMetallicRoughness"] = {
                {"baseColorFactor", {m.linear[0], m.linear[1], m.linear[2], m.alpha}},
                {"metallicFactor", m.metallic},
                {"roughnessFactor", m.roughness}};
        if (m.emissive[0] > 0 || m.emissive[1] > 0 || m.emissive[2] > 0)
            material["emissiveFactor"] = {m.emissive[0], m.emissive[1], m.emissive[2]};
        if (m.Blends()) material["alphaMode"] = "BLEND";
        if (m.doubleSided) material["doubleSided"] = true;
        material["extras"] = {{"ldrawColour", m.colour}};
        if (m.texture >= 0)
            material["extras"]["texture"] = pngNames_[static_cast<size_t>(m.texture)];
        materials.push_back(std::move(material));
    }
    if (!materials.empty()) doc["materials"] = std::move(materials);
    // The prints: a texture per image in the buffer, sampled smoothly, clamped to the
    // image's border, or repeated around a mapping that goes all the way round.
    if (!pngs_.empty()) {
        bool clamps = false, wraps = false;
        for (const bool w : pngWraps_) (w ? wraps : clamps) = true;
        Json samplers = Json::array();
        int32_t clampSampler = -1, wrapSampler = -1;
        if (clamps) {
            clampSampler = static_cast<int32_t>(samplers.size());
            samplers.push_back({{"magFilter", kLinear},
                                {"minFilter", kLinearMipmapLinear},
                                {"wrapS", kClampToEdge},
                                {"wrapT", kClampToEdge}});
        }
        if (wraps) {
            wrapSampler = static_cast<int32_t>(samplers.size());
            samplers.push_back({{"magFilter", kLinear},
                                {"minFilter", kLinearMipmapLinear},
                                {"wrapS", kRepeat},
                                {"wrapT", kClampToEdge}});
        }
        Json images = Json::array(), textures = Json::array();
        for (size_t i = 0; i < pngs_.size(); ++i) {
            images.push_back({{"name", pngNames_[i]},
                              {"bufferView", imageViews_[i]},
                              {"mimeType", "image/png"}});
            textures.push_back(
                {{"sampler", pngWraps_[i] ? wrapSampler : clampSampler}, {"source", i}});
        }
        doc["samplers"] = std::move(samplers);
        doc["images"] = std::move(images);
        doc["textures"] = std::move(textures);
    }
    if (binLength_ > 0) {
        doc["accessors"] = json_->accessors;
        doc["bufferViews"] = json_->views;
        Json buffer = {{"byteLength", binLength_}};
        if (uri) buffer["uri"] = *uri;
        doc["buffers"] = Json::array({std::move(buffer)});
    }
    return doc.dump(-1, ' ', false, Json::error_handler_t::replace);
}

template <class Put>
void GltfDocument::PutNodes(Put put) const {
    std::string text;
    for (size_t i = 0; i < scene_.nodes.size(); ++i) {
        const Node& node = scene_.nodes[i];
        text.clear();
        text += i == 0 ? "{\"name\":" : ",{\"name\":";
        text += Quoted(node.kind == NodeKind::Model ? modelName_ : NodeName(node.part->name));
        const int32_t mesh = nodeMesh_[i];
        if (mesh >= 0) {
            text += ",\"mesh\":";
            text += std::to_string(mesh);
        }
        const bool parentMirrored =
            node.parent >= 0 && mirrored_[static_cast<size_t>(node.parent)] != 0;
        const Affine local = placedInMesh_[i]
                                 ? Affine::Identity()
                                 : *NodeMatrix(MirroredAffine(scene_.Local(node), parentMirrored,
                                                              mirrored_[i] != 0));
        if (!IsIdentity(local)) {
            // The placement in glTF's axes and metres: the axes' signs on both sides of
            // the rotation, the translation scaled. Columns first.
            text += ",\"matrix\":[";
            for (int j = 0; j < 4; ++j)
                for (int r = 0; r < 4; ++r) {
                    float v;
                    if (r == 3)
                        v = j == 3 ? 1.0f : 0.0f;
                    else if (j == 3)
                        v = static_cast<float>(kSign[r] * kMetresPerUnit * local.m[r][3]);
                    else
                        v = static_cast<float>(kSign[r] * kSign[j] * local.m[r][j]);
                    PutFloat(text, v);
                    text += j == 3 && r == 3 ? "]" : ",";
                }
        }
        if (firstChild_[i] != firstChild_[i + 1]) {
            text += ",\"children\":[";
            for (uint32_t c = firstChild_[i]; c < firstChild_[i + 1]; ++c) {
                if (c != firstChild_[i]) text += ',';
                text += std::to_string(children_[c]);
            }
            text += ']';
        }
        if (node.kind != NodeKind::Model) {
            text += ",\"extras\":{\"step\":";
            text += std::to_string(node.step);
            text += '}';
        }
        text += '}';
        put(text);
    }
}

template <class Put>
void GltfDocument::PutJson(const std::string* uri, Put put) const {
    std::string head = HeadText(uri);
    // The head is one object: the nodes go in before its closing brace.
    head.pop_back();
    head += ",\"nodes\":[";
    put(head);
    PutNodes(put);
    put(std::string("]}"));
}

void GltfDocument::WriteJson(std::FILE* file, const std::string& binUri) const {
    PutJson(&binUri,
            [file](const std::string& text) { std::fwrite(text.data(), 1, text.size(), file); });
}

void GltfDocument::WriteBin(std::FILE* file) const {
    std::vector<uint8_t> bytes;
    uint64_t at = 0;
    for (const View& view : views_) {
        for (; at < view.offset; ++at) std::fputc(0, file);
        PutView(view, bytes);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        at += bytes.size();
    }
}

bool GltfDocument::WriteGlb(std::FILE* file) const {
    // The JSON's length first, then the file: header, JSON chunk (padded with blanks),
    // binary chunk (padded with zeros).
    uint64_t jsonLength = 0;
    PutJson(nullptr, [&](const std::string& text) { jsonLength += text.size(); });
    const uint64_t jsonPadded = (jsonLength + 3) / 4 * 4;
    const uint64_t binPadded = (binLength_ + 3) / 4 * 4;
    const uint64_t total = 12 + 8 + jsonPadded + (binLength_ == 0 ? 0 : 8 + binPadded);
    if (total > 0xFFFFFFFFu) return false;
    auto word = [file](uint32_t v) { std::fwrite(&v, 4, 1, file); };
    word(0x46546C67);  // "glTF"
    word(2);
    word(static_cast<uint32_t>(total));
    word(static_cast<uint32_t>(jsonPadded));
    word(0x4E4F534A);  // "JSON"
    PutJson(nullptr,
            [file](const std::string& text) { std::fwrite(text.data(), 1, text.size(), file); });
    for (uint64_t i = jsonLength; i < jsonPadded; ++i) std::fputc(' ', file);
    if (binLength_ == 0) return true;
    word(static_cast<uint32_t>(binPadded));
    word(0x004E4942);  // "BIN"
    WriteBin(file);
    for (uint64_t i = binLength_; i < binPadded; ++i) std::fputc(0, file);
    return true;
}

}  // namespace exports
