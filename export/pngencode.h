// PNG files made in memory, for the images an export embeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace exports {

// The PNG file of an image of 8-bit red, green and blue (no alpha), rows from the top.
// Empty when libpng fails (memory ran out).
std::string EncodePngRgb(int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace exports
