#include "pictures.h"

#include <png.h>

namespace pictures {

bool ReadPng(const std::string& path, Picture& picture, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgba = std::move(pixels);
    return true;
}

bool WritePng(const std::string& path, const Picture& picture, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, picture.rgba.data(), 0, nullptr)) {
        error = image.message;
        return false;
    }
    return true;
}

Picture FromRgb(const std::vector<uint8_t>& rgb, int width, int height) {
    Picture p;
    p.width = width;
    p.height = height;
    p.rgba.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n && i * 3 + 2 < rgb.size();
         ++i) {
        p.rgba[i * 4 + 0] = rgb[i * 3 + 0];
        p.rgba[i * 4 + 1] = rgb[i * 3 + 1];
        p.rgba[i * 4 + 2] = rgb[i * 3 + 2];
        p.rgba[i * 4 + 3] = 255;
    }
    return p;
}

std::vector<Speck> FindSpecks(const Picture& picture, const std::set<uint32_t>& lineColours) {
    std::vector<Speck> specks;
    for (int y = 1; y + 1 < picture.height; ++y)
        for (int x = 1; x + 1 < picture.width; ++x) {
            const uint32_t c = picture.Rgb(x, y);
            const uint32_t around = picture.Rgb(x - 1, y - 1);
            if (around == c) continue;
            bool alike = true;
            for (int dy = -1; dy <= 1 && alike; ++dy)
                for (int dx = -1; dx <= 1 && alike; ++dx)
                    if ((dx || dy) && picture.Rgb(x + dx, y + dy) != around) alike = false;
            if (!alike || lineColours.count(c) || lineColours.count(around)) continue;
            specks.push_back({x, y, c, around});
        }
    return specks;
}

std::set<uint32_t> EdgeColours(const QzLDConfigTable& table) {
    std::set<uint32_t> colours;
    for (const QzLDConfigColour& c : table.Colours()) {
        uint32_t rgb;
        if (c.edge >= 0x2000000 && c.edge <= 0x2FFFFFF) {
            rgb = static_cast<uint32_t>(c.edge) & 0xFFFFFF;
        } else if (const QzLDConfigColour* named = table.Find(c.edge)) {
            // VALUE is stored blue, green, red.
            const uint32_t v = named->rgb;
            rgb = (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
        } else {
            continue;
        }
        colours.insert(rgb);
    }
    return colours;
}

}  // namespace pictures
