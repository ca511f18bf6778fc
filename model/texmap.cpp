#include "texmap.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "model.h"
#include "tokens.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = 180.0 / kPi;

// A whole word as a number (no trailing characters).
bool WordNumber(std::string_view word, double& out) {
    if (word.empty()) return false;
    size_t pos = 0;
    float value = 0;
    if (!QzScanNumber(word, pos, value) || pos != word.size()) return false;
    out = value;
    return true;
}

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

bool Normalise(double v[3]) {
    const double length = std::sqrt(Dot(v, v));
    if (!(length > 1e-9) || !std::isfinite(length)) return false;
    for (int i = 0; i < 3; ++i) v[i] /= length;
    return true;
}

// `v` less its part along the unit vector `axis`, made unit; false when nothing is left.
bool Orthogonal(const double v[3], const double axis[3], double out[3]) {
    const double along = Dot(v, axis);
    for (int i = 0; i < 3; ++i) out[i] = v[i] - along * axis[i];
    return Normalise(out);
}

int Base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The next level of an image: each pixel the mean of the (up to) four it covers.
QzImage::Level Halve(const QzImage::Level& from) {
    QzImage::Level to;
    to.width = std::max(1, from.width / 2);
    to.height = std::max(1, from.height / 2);
    to.rgba.resize(static_cast<size_t>(to.width) * to.height * 4);
    for (int y = 0; y < to.height; ++y)
        for (int x = 0; x < to.width; ++x) {
            const int x0 = std::min(2 * x, from.width - 1),
                      x1 = std::min(2 * x + 1, from.width - 1);
            const int y0 = std::min(2 * y, from.height - 1),
                      y1 = std::min(2 * y + 1, from.height - 1);
            for (int c = 0; c < 4; ++c) {
                auto at = [&](int px, int py) {
                    return static_cast<unsigned>(
                        from.rgba[(static_cast<size_t>(py) * from.width + px) * 4 + c]);
                };
                const unsigned sum = at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1);
                to.rgba[(static_cast<size_t>(y) * to.width + x) * 4 + c] =
                    static_cast<uint8_t>((sum + 2) / 4);
            }
        }
    return to;
}

}  // namespace

QzTexturedLines::~QzTexturedLines() { QzReleaseStore(ownStore); }

bool QzDecodeBase64(std::string_view text, std::string& out) {
    out.clear();
    // "=" only at the end, at most two of them.
    size_t end = text.size();
    int padding = 0;
    while (end > 0 && text[end - 1] == '=' && padding < 2) {
        --end;
        ++padding;
    }
    if ((end + static_cast<size_t>(padding)) % 4 != 0 && padding != 0) return false;
    if (end % 4 == 1) return false;
    out.reserve(end / 4 * 3 + 2);
    uint32_t bits = 0;
    int count = 0;
    for (size_t i = 0; i < end; ++i) {
        const int value = Base64Value(static_cast<unsigned char>(text[i]));
        if (value < 0) return false;
        bits = bits << 6 | static_cast<uint32_t>(value);
        if (++count == 4) {
            out.push_back(static_cast<char>(bits >> 16 & 0xFF));
            out.push_back(static_cast<char>(bits >> 8 & 0xFF));
            out.push_back(static_cast<char>(bits & 0xFF));
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out.push_back(static_cast<char>(bits >> 4 & 0xFF));
    } else if (count == 3) {
        out.push_back(static_cast<char>(bits >> 10 & 0xFF));
        out.push_back(static_cast<char>(bits >> 2 & 0xFF));
    }
    return true;
}

bool QzDecodePng(std::string_view bytes, QzImage& image, std::string& error) {
    image.levels.clear();
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
        error = png.message[0] ? png.message : "not a PNG image";
        return false;
    }
    const uint64_t pixels = static_cast<uint64_t>(png.width) * png.height;
    if (pixels == 0 || pixels > QZ_MAX_TEXTURE_PIXELS) {
        png_image_free(&png);
        error = "the image is " + std::to_string(png.width) + " x " + std::to_string(png.height) +
                " pixels, more than the 64 megapixels a texture may have";
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    QzImage::Level level;
    level.width = static_cast<int>(png.width);
    level.height = static_cast<int>(png.height);
    try {
        level.rgba.resize(static_cast<size_t>(pixels) * 4);
    } catch (const std::bad_alloc&) {
        png_image_free(&png);
        error = "out of memory";
        return false;
    }
    if (!png_image_finish_read(&png, nullptr, level.rgba.data(), 0, nullptr)) {
        error = png.message[0] ? png.message : "damaged PNG image";
        return false;
    }
    // Colours multiplied by their alpha, so that filtering never bleeds the colour of
    // a transparent texel.
    for (size_t i = 0; i < level.rgba.size(); i += 4) {
        const unsigned a = level.rgba[i + 3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c)
            level.rgba[i + c] = static_cast<uint8_t>((level.rgba[i + c] * a + 127) / 255);
    }
    try {
        image.levels.push_back(std::move(level));
        while (image.levels.back().width > 1 || image.levels.back().height > 1)
            image.levels.push_back(Halve(image.levels.back()));
    } catch (const std::bad_alloc&) {
        image.levels.clear();
        error = "out of memory";
        return false;
    }
    return true;
}

bool QzSafeTextureName(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    // A drive letter ("C:") names an absolute place too.
    if (name.size() >= 2 && name[1] == ':') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

bool QzParseTexmap(std::string_view args, QzTexmap& texmap) {
    size_t pos = 0;
    const std::string_view method = QzScanWord(args, pos);
    int angles = 0;
    if (method == "PLANAR") {
        texmap.method = QzTexmapMethod::Planar;
    } else if (method == "CYLINDRICAL") {
        texmap.method = QzTexmapMethod::Cylindrical;
        angles = 1;
    } else if (method == "SPHERICAL") {
        texmap.method = QzTexmapMethod::Spherical;
        angles = 2;
    } else {
        return false;
    }
    for (int i = 0; i < 9; ++i)
        if (!WordNumber(QzScanWord(args, pos), texmap.p[i / 3][i % 3])) return false;
    texmap.a = texmap.b = 0;
    if (angles >= 1 && !WordNumber(QzScanWord(args, pos), texmap.a)) return false;
    if (angles >= 2 && !WordNumber(QzScanWord(args, pos), texmap.b)) return false;
    // The image's name runs to the end of the line, or to a "GLOSSMAP" word.
    QzSkipSpace(args, pos);
    std::string_view rest = QzTrimLineEnd(args.substr(std::min(pos, args.size())));
    texmap.glossmap.clear();
    size_t gloss = std::string_view::npos;
    for (size_t at = rest.find("GLOSSMAP"); at != std::string_view::npos;
         at = rest.find("GLOSSMAP", at + 1)) {
        const bool before = at == 0 || rest[at - 1] == ' ' || rest[at - 1] == '\t';
        const size_t after = at + 8;
        if (before && (after == rest.size() || rest[after] == ' ' || rest[after] == '\t')) {
            gloss = at;
            break;
        }
    }
    std::string_view name = rest;
    if (gloss != std::string_view::npos) {
        name = QzTrimLineEnd(rest.substr(0, gloss));
        size_t g = gloss + 8;
        QzSkipSpace(rest, g);
        texmap.glossmap.assign(rest.substr(std::min(g, rest.size())));
        if (texmap.glossmap.empty()) return false;
    }
    if (name.empty()) return false;
    texmap.name.assign(name);
    return true;
}

bool QzTexmapProject(const QzTexmap& t, const double point[3], double& u, double& v) {
    const double* p1 = t.p[0];
    double d[3], e1[3], e2[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = point[i] - p1[i];
        e1[i] = t.p[1][i] - p1[i];
        e2[i] = t.p[2][i] - p1[i];
    }
    switch (t.method) {
        case QzTexmapMethod::Planar: {
            // P1 the image's top left corner, P1 to P2 its width, P1 to P3 its height,
            // laid straight through the part.
            const double l1 = Dot(e1, e1), l2 = Dot(e2, e2);
            if (!(l1 > 1e-12) || !(l2 > 1e-12)) return false;
            u = Dot(d, e1) / l1;
            v = Dot(d, e2) / l2;
            return std::isfinite(u) && std::isfinite(v);
        }
        case QzTexmapMethod::Cylindrical: {
            // P1 the middle of the bottom, P2 of the top, P3 a point towards the middle
            // of the image; a the image's extent around the axis.
            const double height = std::sqrt(Dot(e1, e1));
            double up[3] = {e1[0], e1[1], e1[2]}, front[3], side[3];
            if (!Normalise(up) || !Orthogonal(e2, up, front) || !(t.a > 0)) return false;
            // u grows to the right as seen from outside, top up.
            Cross(up, front, side);
            const double along = Dot(d, up);
            const double x = Dot(d, front), y = Dot(d, side);
            if (!(x * x + y * y > 1e-18)) return false;
            u = 0.5 + std::atan2(y, x) * kDegrees / t.a;
            v = 1.0 - along / height;
            return std::isfinite(u) && std::isfinite(v);
        }
        case QzTexmapMethod::Spherical: {
            // P1 the centre, P2 a point towards the middle of the image, P3 with them in
            // the plane of the equator; a and b the image's extents in longitude and
            // latitude.
            double front[3] = {e1[0], e1[1], e1[2]}, east[3], north[3];
            if (!Normalise(front) || !Orthogonal(e2, front, east) || !(t.a > 0) || !(t.b > 0))
                return false;
            Cross(front, east, north);
            const double x = Dot(d, front), y = Dot(d, east), z = Dot(d, north);
            const double flat = std::sqrt(x * x + y * y);
            if (!(flat * flat + z * z > 1e-18)) return false;
            u = 0.5 + std::atan2(y, x) * kDegrees / t.a;
            v = 0.5 - std::atan2(z, flat) * kDegrees / t.b;
            return std::isfinite(u) && std::isfinite(v);
        }
    }
    return false;
}

double QzTexmapPeriod(const QzTexmap& texmap) {
    if (texmap.method == QzTexmapMethod::Planar || !(texmap.a > 0)) return 0;
    return 360.0 / texmap.a;
}

bool QzTexturedLines::Seen(const Entry& entry) const {
    uint16_t block = entry.block;
    Side side = entry.side;
    // Up through the blocks: each must be read the way that shows this side of it.
    for (int depth = 0; block != 0 && depth <= QZ_MAX_TEXMAP_DEPTH; ++depth) {
        const Block& b = blocks[block - 1u];
        if (side == Side::Textured && !b.usable) return false;
        if (side == Side::Fallback && b.usable) return false;
        side = b.side;
        block = b.parent;
    }
    return true;
}

bool QzTexturedLines::Settle() {
    bool changed = false;
    for (Block& block : blocks) {
        const bool usable = block.texmap != 0 && !block.missingGeometry &&
                            texmaps[block.texmap - 1u].image != nullptr;
        changed = changed || usable != block.usable;
        block.usable = usable;
    }
    return changed;
}
