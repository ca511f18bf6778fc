// A scratch LDraw library for the export tests, a model loaded from text, exports of it
// into a temporary folder, and the layout of what they wrote (a .glb's chunks, the data
// of an accessor, an STL's records) for checks of its values. Whether the files are
// valid and what programs make of them is checked with the programs themselves
// (test_export_tools.cpp).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "colours.h"
#include "exportfile.h"
#include "loader.h"
#include "model.h"
#include "test_support.h"

namespace export_test {

using Json = nlohmann::json;

// The two chunks of a .glb.
struct Glb {
    Json json;
    std::string bin;
};

inline uint32_t Word(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

inline Glb ReadGlb(const std::string& path) {
    const std::string bytes = testing_support::Slurp(path);
    Glb glb;
    if (bytes.size() < 20) return glb;
    const uint32_t jsonLength = Word(bytes, 12);
    glb.json = Json::parse(bytes.substr(20, jsonLength));
    const size_t bin = 20 + jsonLength;
    if (bytes.size() >= bin + 8) glb.bin = bytes.substr(bin + 8, Word(bytes, bin));
    return glb;
}

// The values of an accessor, as floats (positions, normals, texture coordinates) or
// whole numbers (indices).
inline std::vector<float> Floats(const Glb& glb, int accessor) {
    const Json& a = glb.json["accessors"][accessor];
    const Json& view = glb.json["bufferViews"][a["bufferView"].get<int>()];
    const size_t count = a["count"].get<size_t>() * (a["type"] == "VEC3"   ? 3
                                                     : a["type"] == "VEC2" ? 2
                                                                           : 1);
    std::vector<float> out(count);
    std::memcpy(out.data(), glb.bin.data() + view["byteOffset"].get<size_t>(), count * 4);
    return out;
}
inline std::vector<uint32_t> Indices(const Glb& glb, int accessor) {
    const Json& a = glb.json["accessors"][accessor];
    const Json& view = glb.json["bufferViews"][a["bufferView"].get<int>()];
    const size_t offset = view["byteOffset"].get<size_t>();
    std::vector<uint32_t> out;
    for (size_t i = 0; i < a["count"].get<size_t>(); ++i) {
        if (a["componentType"] == 5123) {
            uint16_t v;
            std::memcpy(&v, glb.bin.data() + offset + i * 2, 2);
            out.push_back(v);
        } else {
            out.push_back(Word(glb.bin, offset + i * 4));
        }
    }
    return out;
}

// A node's matrix (columns first), the identity when it has none.
inline std::array<double, 16> NodeMatrix(const Json& node) {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (node.contains("matrix"))
        for (int i = 0; i < 16; ++i) m[i] = node["matrix"][i].get<double>();
    return m;
}

// The text of a closed box from (x0, y0, z0) to (x1, y1, z1): six quadrilaterals in
// colour 16 whose corners run counter-clockwise seen from outside, and its twelve edges
// in colour 24.
inline std::string Box(double x0, double y0, double z0, double x1, double y1, double z1) {
    const double xs[2] = {x0, x1}, ys[2] = {y0, y1}, zs[2] = {z0, z1};
    auto corner = [&](int i) {
        std::ostringstream s;
        s << xs[i & 1] << ' ' << ys[(i >> 1) & 1] << ' ' << zs[(i >> 2) & 1];
        return s.str();
    };
    const int faces[6][4] = {{0, 2, 3, 1}, {1, 3, 7, 5}, {5, 7, 6, 4},
                             {4, 6, 2, 0}, {0, 1, 5, 4}, {3, 2, 6, 7}};
    const int edges[12][2] = {{0, 1}, {1, 5}, {4, 5}, {0, 4}, {2, 3}, {3, 7},
                              {6, 7}, {2, 6}, {0, 2}, {1, 3}, {5, 7}, {4, 6}};
    std::string text;
    for (const auto& f : faces)
        text += "4 16 " + corner(f[0]) + ' ' + corner(f[1]) + ' ' + corner(f[2]) + ' ' +
                corner(f[3]) + '\n';
    for (const auto& e : edges) text += "2 24 " + corner(e[0]) + ' ' + corner(e[1]) + '\n';
    return text;
}

// A scratch library with a model read from text, and exports of it.
class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        library = (dir.path() / "ldraw").string();
        std::filesystem::create_directories(dir.path() / "ldraw" / "parts");
        std::filesystem::create_directories(dir.path() / "ldraw" / "p");
        settings.ldrawDir = library;
    }
    // Writes a file below the scratch folder ("ldraw/parts/x.dat" for a part).
    std::string Write(const std::string& relative, const std::string& content) {
        return dir.Write(relative, content);
    }
    // Writes a part into the library's parts folder.
    void Part(const std::string& name, const std::string& content) {
        Write("ldraw/parts/" + name, content);
    }
    // Writes a model beside the library and loads it.
    bool Load(const std::string& content, const std::string& name = "model.ldr") {
        return QzReadModel(model, Write(name, content), settings, palette) != 0;
    }
    // Exports the loaded model to `name` in the scratch folder.
    exports::ExportResult Export(const std::string& name, exports::SceneRequest scene = {}) {
        exports::ExportRequest request;
        request.format = *exports::FormatOfPath(name);
        request.scene = scene;
        request.colourNames = names;
        return exports::ExportModel(Path(name), model, palette, request);
    }
    std::string Path(const std::string& name) const { return (dir.path() / name).string(); }

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
    std::string library;
    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
    std::map<int32_t, std::string> names;
};

// A brick-like certified part: a box of 20 x 24 x 20 with its top at y = 0.
inline const std::string kCubePart = "0 Cube\n0 BFC CERTIFY CCW\n" + Box(-10, 0, -10, 10, 24, 10);

}  // namespace export_test
