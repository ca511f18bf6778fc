#include "zimage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "diagnostics.h"

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
    // An image whose depth buffer would exceed 2 GB counts as out of memory.
    const long long count = static_cast<long long>(width) * height;
    if (width <= 0 || height <= 0 || count * 4 > 0x7FFFFFFFLL) return -1;
    image.depth = static_cast<float*>(std::malloc(static_cast<size_t>(count) * 4));
    if (!image.depth) return -1;
    std::free(image.pixels);
    image.pixels = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(count) * 3));
    if (!image.pixels) {
        std::free(image.depth);
        image.depth = nullptr;
        return -1;
    }
    image.width = width;
    image.height = height;
    image.clearedRect = QzEmptyRect(width, height);
    image.dirtyRect = QzEmptyRect(width, height);
    image.drawnRect = QzEmptyRect(width, height);
    return 0;
}

void free_zimage(QzZImage& image) {
    std::free(image.depth);
    std::free(image.pixels);
    image = QzZImage{};
}
