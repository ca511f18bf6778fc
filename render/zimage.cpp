#include "zimage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "diagnostics.h"

// Blue 242, green 215, red 119 in every pixel of the block.
uint8_t QzBackgroundPattern[2][12] = {
    {242, 215, 119, 242, 215, 119, 242, 215, 119, 242, 215, 119},
    {242, 215, 119, 242, 215, 119, 242, 215, 119, 242, 215, 119},
};

void QzSetBackgroundColours(const uint8_t first[3], const uint8_t second[3]) {
    // The rows alternate the two colours in a checkerboard: row 0 starts with the
    // first, row 1 with the second.
    for (int row = 0; row < 2; ++row) {
        for (int px = 0; px < 4; ++px) {
            const uint8_t* c = ((px + row) % 2 == 0) ? first : second;
            QzBackgroundPattern[row][px * 3 + 0] = c[2];
            QzBackgroundPattern[row][px * 3 + 1] = c[1];
            QzBackgroundPattern[row][px * 3 + 2] = c[0];
        }
    }
}

QzPixelRect QzEmptyRect(int32_t width, int32_t height) { return {width - 1, 0, height - 1, 0}; }

void QzRectGrow(QzPixelRect& r, const QzPixelRect& by) {
    r.x0 = std::min(r.x0, by.x0);
    r.y0 = std::min(r.y0, by.y0);
    r.x1 = std::max(r.x1, by.x1);
    r.y1 = std::max(r.y1, by.y1);
}

int init_zimage(QzZImage& image, int width, int height) {
    QzDebugLog("init_zimage(%d,%d)\n", width, height);
    std::free(image.depth);
    image.depth = nullptr;
    // Sizes that do not fit the 32-bit header fields count as out of memory.
    const long long count = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || count * 4 > 0x7FFFFFFFLL) return -1;
    image.depth = static_cast<float*>(std::malloc(static_cast<size_t>(count) * 4));
    if (!image.depth) return -1;
    std::free(image.header);
    image.header = nullptr;
    image.pixels = nullptr;
    void* block = std::malloc(static_cast<size_t>(count) * 3 + sizeof(QzBitmapHeader));
    if (!block) {
        std::free(image.depth);
        image.depth = nullptr;
        return -1;
    }
    image.header = static_cast<QzBitmapHeader*>(block);
    std::memset(image.header, 0, sizeof(QzBitmapHeader));
    image.header->size = 40;
    image.header->width = width;
    image.header->height = -height;
    image.header->planes = 1;
    image.header->bitCount = 24;
    image.header->compression = 0;
    // Wide images overflow 32 bits in the row arithmetic: the product is taken in 64.
    image.header->sizeImage =
        static_cast<uint32_t>(((static_cast<int64_t>(width) * 24 + 31) / 32) * 4 * height);
    image.pixels = static_cast<uint8_t*>(block) + sizeof(QzBitmapHeader);
    image.width = width;
    image.height = height;
    image.clearedRect = QzEmptyRect(width, height);
    image.dirtyRect = QzEmptyRect(width, height);
    image.drawnRect = QzEmptyRect(width, height);
    return 0;
}

void free_zimage(QzZImage& image) {
    std::free(image.depth);
    std::free(image.header);
    image = QzZImage{};
}
