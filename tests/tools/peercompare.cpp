#include "peercompare.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace pictures {

namespace {

struct Box {
    int x0, y0, x1, y1;  // inclusive
    bool Empty() const { return x0 > x1; }
};

template <typename Shows>
Box ModelBox(const Picture& p, Shows shows) {
    Box b{p.width, p.height, -1, -1};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (shows(x, y)) {
                b.x0 = std::min(b.x0, x);
                b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x);
                b.y1 = std::max(b.y1, y);
            }
    return b;
}

double Linear(double c) {
    c /= 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Box blur of one float channel per pass, edges clamped.
void Blur(std::vector<float>& plane, int w, int h, int side) {
    const int r = side / 2;
    std::vector<float> tmp(plane.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double s = 0;
            for (int k = -r; k <= r; ++k) s += plane[y * w + std::clamp(x + k, 0, w - 1)];
            tmp[y * w + x] = static_cast<float>(s / side);
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double s = 0;
            for (int k = -r; k <= r; ++k) s += tmp[std::clamp(y + k, 0, h - 1) * w + x];
            plane[y * w + x] = static_cast<float>(s / side);
        }
}

}  // namespace

void SrgbToLab(double r, double g, double b, double lab[3]) {
    const double R = Linear(r), G = Linear(g), B = Linear(b);
    const double X = (0.4124564 * R + 0.3575761 * G + 0.1804375 * B) / 0.95047;
    const double Y = 0.2126729 * R + 0.7151522 * G + 0.0721750 * B;
    const double Z = (0.0193339 * R + 0.1191920 * G + 0.9503041 * B) / 1.08883;
    auto f = [](double t) {
        return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
    };
    const double fx = f(X), fy = f(Y), fz = f(Z);
    lab[0] = 116.0 * fy - 16.0;
    lab[1] = 500.0 * (fx - fy);
    lab[2] = 200.0 * (fy - fz);
}

void TheirBackground(const Picture& theirs, double background[3]) {
    std::map<uint32_t, long> counts;
    for (int y = 0; y < theirs.height; ++y)
        for (int x = 0; x < theirs.width; ++x) {
            const uint8_t* p = theirs.At(x, y);
            if (p[3] == 0) ++counts[(uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]];
        }
    uint32_t best = 0;
    long most = 0;
    for (const auto& [rgb, n] : counts)
        if (n > most) {
            most = n;
            best = rgb;
        }
    background[0] = (best >> 16) & 0xff;
    background[1] = (best >> 8) & 0xff;
    background[2] = best & 0xff;
}

bool ComparePictures(const Picture& ours, const Picture& theirs, const PeerOptions& o,
                     PeerComparison& result, Picture* aligned) {
    result = PeerComparison{};
    const uint8_t* bg = o.background;
    auto oursShows = [&](int x, int y) {
        const uint8_t* p = ours.At(x, y);
        return p[0] != bg[0] || p[1] != bg[1] || p[2] != bg[2];
    };
    auto theirsShows = [&](int x, int y) { return theirs.At(x, y)[3] >= 128; };
    const Box a = ModelBox(ours, oursShows);
    const Box b = ModelBox(theirs, theirsShows);
    if (a.Empty() || b.Empty()) return false;
    // Boxes by their pixel edges.
    const double sx = (a.x1 + 1.0 - a.x0) / (b.x1 + 1.0 - b.x0);
    const double sy = (a.y1 + 1.0 - a.y0) / (b.y1 + 1.0 - b.y0);
    result.scaleX = sx;
    result.scaleY = sy;
    const double s = (sx + sy) / 2;
    // Samples per pixel and axis: enough to average what a shrunk pixel covers.
    const int k = std::max(1, static_cast<int>(std::ceil(1.0 / s)) + 1);
    const int w = ours.width, h = ours.height;
    // Theirs scaled and flattened, premultiplied while sampling. Their colours already
    // hold their own background, weighted by what the alpha leaves uncovered (pixels
    // along the outline and behind glass): that share is taken out again, so that our
    // background alone shows through.
    double theirBackground[3];
    TheirBackground(theirs, theirBackground);
    std::vector<float> tr(static_cast<size_t>(w) * h), tg(tr.size()), tb(tr.size()), ta(tr.size());
    auto fetch = [&](int x, int y, double f[4]) {
        if (x < 0 || y < 0 || x >= theirs.width || y >= theirs.height) {
            f[0] = f[1] = f[2] = f[3] = 0;
            return;
        }
        const uint8_t* p = theirs.At(x, y);
        const double al = p[3] / 255.0;
        for (int c = 0; c < 3; ++c) f[c] = std::max(0.0, p[c] - (1 - al) * theirBackground[c]);
        f[3] = al;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double acc[4] = {0, 0, 0, 0};
            for (int j = 0; j < k; ++j)
                for (int i = 0; i < k; ++i) {
                    // A point of our pixel, in their pixel coordinates (centres at +0.5).
                    const double px = x + (i + 0.5) / k, py = y + (j + 0.5) / k;
                    const double u = b.x0 + (px - a.x0) / s - 0.5;
                    const double v = b.y0 + (py - a.y0) / s - 0.5;
                    const int u0 = static_cast<int>(std::floor(u)),
                              v0 = static_cast<int>(std::floor(v));
                    const double fu = u - u0, fv = v - v0;
                    double c00[4], c10[4], c01[4], c11[4];
                    fetch(u0, v0, c00);
                    fetch(u0 + 1, v0, c10);
                    fetch(u0, v0 + 1, c01);
                    fetch(u0 + 1, v0 + 1, c11);
                    for (int c = 0; c < 4; ++c)
                        acc[c] += (c00[c] * (1 - fu) + c10[c] * fu) * (1 - fv) +
                                  (c01[c] * (1 - fu) + c11[c] * fu) * fv;
                }
            const size_t n = static_cast<size_t>(y) * w + x;
            const double kk = static_cast<double>(k) * k;
            const double al = acc[3] / kk;
            ta[n] = static_cast<float>(al);
            tr[n] = static_cast<float>(acc[0] / kk + bg[0] * (1 - al));
            tg[n] = static_cast<float>(acc[1] / kk + bg[1] * (1 - al));
            tb[n] = static_cast<float>(acc[2] / kk + bg[2] * (1 - al));
        }
    if (aligned) {
        aligned->width = w;
        aligned->height = h;
        aligned->rgba.resize(static_cast<size_t>(w) * h * 4);
        for (size_t n = 0; n < tr.size(); ++n) {
            aligned->rgba[n * 4 + 0] =
                static_cast<uint8_t>(std::lround(std::clamp(tr[n], 0.f, 255.f)));
            aligned->rgba[n * 4 + 1] =
                static_cast<uint8_t>(std::lround(std::clamp(tg[n], 0.f, 255.f)));
            aligned->rgba[n * 4 + 2] =
                static_cast<uint8_t>(std::lround(std::clamp(tb[n], 0.f, 255.f)));
            aligned->rgba[n * 4 + 3] = 255;
        }
    }
    std::vector<float> orr(tr.size()), og(tr.size()), ob(tr.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t n = static_cast<size_t>(y) * w + x;
            const uint8_t* p = ours.At(x, y);
            orr[n] = p[0];
            og[n] = p[1];
            ob[n] = p[2];
        }
    // Where both show the model, and the dark shares, before blurring.
    std::vector<uint8_t> both(tr.size());
    long darkA = 0, darkB = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t n = static_cast<size_t>(y) * w + x;
            if (!oursShows(x, y) || ta[n] < 0.5f) continue;
            both[n] = 1;
            ++result.pixels;
            darkA += 0.299 * orr[n] + 0.587 * og[n] + 0.114 * ob[n] < o.darkLuma;
            darkB += 0.299 * tr[n] + 0.587 * tg[n] + 0.114 * tb[n] < o.darkLuma;
        }
    if (result.pixels == 0) return false;
    result.darkOurs = 100.0 * darkA / result.pixels;
    result.darkTheirs = 100.0 * darkB / result.pixels;
    for (std::vector<float>* plane : {&orr, &og, &ob, &tr, &tg, &tb}) Blur(*plane, w, h, o.blur);
    double sumE = 0, sumL = 0;
    for (size_t n = 0; n < both.size(); ++n) {
        if (!both[n]) continue;
        double la[3], lb[3];
        SrgbToLab(orr[n], og[n], ob[n], la);
        SrgbToLab(tr[n], tg[n], tb[n], lb);
        sumE += std::sqrt((la[0] - lb[0]) * (la[0] - lb[0]) + (la[1] - lb[1]) * (la[1] - lb[1]) +
                          (la[2] - lb[2]) * (la[2] - lb[2]));
        sumL += la[0] - lb[0];
    }
    result.deltaE = sumE / result.pixels;
    result.lightness = sumL / result.pixels;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            const uint32_t c = ours.Rgb(x, y);
            const uint32_t side = ours.Rgb(x - 1, y);
            if (side == c || ours.Rgb(x + 1, y) != side || ours.Rgb(x, y - 1) != side ||
                ours.Rgb(x, y + 1) != side)
                continue;
            if (ours.Rgb(x - 1, y - 1) == c && ours.Rgb(x + 1, y - 1) == c &&
                ours.Rgb(x - 1, y + 1) == c && ours.Rgb(x + 1, y + 1) == c)
                ++result.checkerboard;
        }
    return true;
}

}  // namespace pictures
