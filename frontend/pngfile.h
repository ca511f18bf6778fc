// Writing an image as a PNG file with libpng: 8 bits per channel, red, green, blue and,
// where asked, an alpha channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// How the pixels to write lie in memory: rows `stride` bytes apart (0: packed), and per
// pixel blue, green, red instead of red, green, blue (as the renderer keeps them).
struct QzPngLayout {
    size_t stride = 0;
    bool bgr = false;
};

// Writes width x height pixels (rows from the top; per pixel red, green, blue and, when
// channels is 4, alpha) to a PNG file through plat::AtomicFile: a failure leaves the file
// that was there. On failure returns false with the reason in error. libpng reads the
// rows where they are, in either order of the colours: no copy of the image is made.
bool QzWritePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
                std::string& error, QzPngLayout layout = {});
