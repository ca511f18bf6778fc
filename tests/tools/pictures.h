// Pictures for the test tools: reading the PNG files zarvel-cli (and other programs)
// write, and counting the specks of hidden faces in a drawing.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ldconfig.h"

namespace pictures {

// 8-bit red, green, blue, alpha per pixel, rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* At(int x, int y) const {
        return rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
    }
    // 0xRRGGBB of a pixel.
    uint32_t Rgb(int x, int y) const {
        const uint8_t* p = At(x, y);
        return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
};

// Reads any PNG (grey, palette, 16-bit and alpha are converted). False with a reason
// when the file cannot be read.
bool ReadPng(const std::string& path, Picture& picture, std::string& error);
// Writes a picture as an 8-bit RGBA PNG (for looking at what a tool compared).
bool WritePng(const std::string& path, const Picture& picture, std::string& error);
// A picture from red, green, blue rows (the form QzViewCore::RgbPixels gives), opaque.
Picture FromRgb(const std::vector<uint8_t>& rgb, int width, int height);

// A single pixel of one colour whose eight neighbours all have one other colour: in a
// drawing of opaque faces it is a face showing where another hides it.
struct Speck {
    int x, y;
    uint32_t colour;    // 0xRRGGBB
    uint32_t surround;  // 0xRRGGBB
};

// The specks of a picture. A pixel in one of the line colours, as the speck or as its
// surround, is a line rather than a face and never counts.
std::vector<Speck> FindSpecks(const Picture& picture, const std::set<uint32_t>& lineColours);

// The edge colours (0xRRGGBB) of an LDConfig.ldr table: the colours its edge lines are
// drawn in, unshaded.
std::set<uint32_t> EdgeColours(const QzLDConfigTable& table);

}  // namespace pictures
