// A renderer drawing into a small cleared image, a sink that records what it is asked
// to show, a scratch LDraw library for model files, and pixel helpers.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "colours.h"
#include "loader.h"
#include "model.h"
#include "renderer.h"
#include "test_support.h"
#include "zimage.h"

namespace render_test {

class RecordingSink : public QzDisplaySink {
  public:
    void Paint(const QzZImage&, const QzPixelRect& rect) override { rects.push_back(rect); }
    std::vector<QzPixelRect> rects;
};

using Rgb = std::array<int, 3>;

// The text of a closed box from (x0, y0, z0) to (x1, y1, z1): six quadrilaterals in
// colour 16 facing outwards, and its twelve edges in colour 24.
inline std::string Box(double x0, double y0, double z0, double x1, double y1, double z1) {
    const double xs[2] = {x0, x1}, ys[2] = {y0, y1}, zs[2] = {z0, z1};
    auto corner = [&](int i) {
        std::ostringstream s;
        s << xs[i & 1] << ' ' << ys[(i >> 1) & 1] << ' ' << zs[(i >> 2) & 1];
        return s.str();
    };
    const int faces[6][4] = {{0, 1, 3, 2}, {1, 5, 7, 3}, {5, 4, 6, 7},
                             {4, 0, 2, 6}, {0, 4, 5, 1}, {3, 7, 6, 2}};
    const int edges[12][2] = {{0, 1}, {1, 5}, {4, 5}, {0, 4}, {2, 3}, {3, 7},
                              {6, 7}, {2, 6}, {0, 2}, {1, 3}, {5, 7}, {4, 6}};
    std::string text;
    for (const auto& f : faces)
        text += "4 16 " + corner(f[0]) + ' ' + corner(f[1]) + ' ' + corner(f[2]) + ' ' +
                corner(f[3]) + '\n';
    for (const auto& e : edges) text += "2 24 " + corner(e[0]) + ' ' + corner(e[1]) + '\n';
    return text;
}

inline Rgb PixelAt(const QzZImage& img, int x, int y) {
    const uint8_t* p = img.pixels + (static_cast<size_t>(y) * img.width + x) * 3;
    return {p[2], p[1], p[0]};
}
inline float DepthAt(const QzZImage& img, int x, int y) {
    return img.depth[static_cast<size_t>(y) * img.width + x];
}
// The colour of a palette entry under scheme 0, the scheme of a new palette.
inline Rgb PaletteRgb(int n) {
    static const QzPalette scheme0;
    const uint32_t c = scheme0.rgb[n];
    return {static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
            static_cast<int>((c >> 16) & 0xFF)};
}
inline const Rgb kBackground{119, 215, 242};

inline bool Drawn(const QzZImage& img, int x, int y) { return DepthAt(img, x, y) != QZ_FAR_DEPTH; }
inline int CountDrawn(const QzZImage& img) {
    int n = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) n += Drawn(img, x, y) ? 1 : 0;
    return n;
}
inline int CountChanged(const QzZImage& img) {
    int n = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) n += PixelAt(img, x, y) != kBackground ? 1 : 0;
    return n;
}

// Rasteriser and model tests: a model, a palette of scheme 0, a scratch library, and a
// renderer with its own image.
class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        library = (dir.path() / "ldraw").string();
        std::filesystem::create_directories(dir.path() / "ldraw" / "parts");
        std::filesystem::create_directories(dir.path() / "ldraw" / "p");
        settings.ldrawDir = library;
    }
    void TearDown() override { free_zimage(image); }

    // A cleared image of this size handed to the renderer.
    void MakeImage(int width, int height) {
        ASSERT_EQ(init_zimage(image, width, height), 0);
        renderer.SetImage(image);
        renderer.ClearImage(true);
    }
    const QzZImage& Img() const { return renderer.image; }

    // Writes a file below the scratch folder ("ldraw/parts/x.dat" for a part).
    std::string Write(const std::string& relative, const std::string& content) {
        return dir.Write(relative, content);
    }
    // Writes a model beside the library and loads it into `model` under `palette`.
    int LoadText(const std::string& content, const std::string& name = "model.ldr") {
        return LoadText(content, name, palette);
    }
    int LoadText(const std::string& content, const std::string& name, QzPalette& under) {
        return QzReadModel(model, Write(name, content), settings, under);
    }

    testing_support::TempDir dir;
    testing_support::ScopedMessageBox boxes;
    std::string library;
    QzModel model;
    QzPalette palette;
    QzLoadSettings settings;
    QzRenderOptions options;
    RecordingSink sink;
    QzRenderer renderer{&sink, &options, &palette};
    QzZImage image{};
};

}  // namespace render_test
