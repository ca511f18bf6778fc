#include "drawdata.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <unordered_set>

#include "model.h"
#include "texmap.h"

namespace {

uint64_t PointKey(const QzVector4& p) {
    uint32_t x, y, z;
    std::memcpy(&x, &p.x, 4);
    std::memcpy(&y, &p.y, 4);
    std::memcpy(&z, &p.z, 4);
    uint64_t h = x * 0x9E3779B97F4A7C15ULL;
    h ^= (h >> 29) + y * 0xBF58476D1CE4E5B9ULL;
    h ^= (h >> 31) + z * 0x94D049BB133111EBULL;
    return h ^ (h >> 32);
}

bool SamePoint(const QzVector& a, const QzVector4& b) {
    return std::memcmp(&a, &b, sizeof(QzVector)) == 0;
}

// Numbers every distinct point (bit for bit) of one part's lines: an open-addressed
// table of point numbers, grown to stay at most half full.
class PointIndex {
  public:
    PointIndex(std::vector<QzVector>& points, size_t expected) : points_(points) {
        size_t size = 16;
        while (size < 2 * expected) size *= 2;
        slots_.assign(size, -1);
    }
    // The point's number; -1 when the part has more points than a number holds.
    int32_t Of(const QzVector4& p) {
        const size_t mask = slots_.size() - 1;
        for (size_t i = PointKey(p) & mask;; i = (i + 1) & mask) {
            const int32_t number = slots_[i];
            if (number < 0) break;
            if (SamePoint(points_[static_cast<size_t>(number)], p)) return number;
        }
        if (points_.size() >= QZ_MAX_DRAW_POINTS) return -1;
        const int32_t number = static_cast<int32_t>(points_.size());
        points_.push_back({p.x, p.y, p.z});
        if (2 * points_.size() > slots_.size()) {
            Grow();
        } else {
            Place(PointKey(p), number);
        }
        return number;
    }

  private:
    void Place(uint64_t key, int32_t number) {
        const size_t mask = slots_.size() - 1;
        size_t i = key & mask;
        while (slots_[i] >= 0) i = (i + 1) & mask;
        slots_[i] = number;
    }
    void Grow() {
        slots_.assign(slots_.size() * 2, -1);
        for (size_t n = 0; n < points_.size(); ++n) {
            const QzVector& q = points_[n];
            Place(PointKey({q.x, q.y, q.z, 0.0f}), static_cast<int32_t>(n));
        }
    }

    std::vector<QzVector>& points_;
    std::vector<int32_t> slots_;
};

std::atomic<uint64_t> lastVersion{0};

QzPartCache* BuildCache(const QzPart& part) {
    auto data = std::make_unique<QzPartCache>();
    data->version = ++lastVersion;
    size_t lineCount = 0;
    for (const QzLine* line = part.lines; line; line = line->next) ++lineCount;
    data->items.reserve(lineCount);
    PointIndex index(data->points, std::min(lineCount * 2, QZ_MAX_DRAW_POINTS));
    for (const QzLine* line = part.lines; line; line = line->next) {
        if (line->type < 1 || line->type > 5) continue;
        QzDrawItem item{line,
                        line->colour,
                        static_cast<uint8_t>(line->type),
                        static_cast<uint8_t>(line->bfc),
                        {0, 0, 0, 0},
                        0};
        const int n = line->type == 1 ? 0 : line->type == 5 ? 4 : line->type;
        for (int i = 0; i < n; ++i) {
            const int32_t number = index.Of(line->p[i]);
            if (number < 0) {
                data->perLine = true;
                break;
            }
            item.point[i] = static_cast<uint16_t>(number);
        }
        ++data->lines[line->type];
        if (line->type == 1) data->references.push_back(static_cast<uint32_t>(data->items.size()));
        if (line->type == 1 && line->part) {
            const QzPart* sub = line->part;
            if ((sub->flags & PF_STUD) || (sub->cache && sub->cache->studsBelow))
                data->studsBelow = true;
        }
        data->items.push_back(item);
    }
    if (data->perLine) std::vector<QzVector>().swap(data->points);
    if (part.textured) {
        // The walk of a reader with textures reads its lines whole: no shared points.
        data->textured = true;
        // A mapping without an image (not found) maps nothing.
        const std::vector<QzTexmap>& texmaps = part.textured->texmaps;
        for (const QzTexturedLines::Entry& entry : part.textured->lines) {
            if (!part.textured->Seen(entry)) continue;
            const QzLine* line = entry.line;
            if (line->type == 1)
                data->texturedReferences.push_back(
                    static_cast<uint32_t>(data->texturedItems.size()));
            data->texturedItems.push_back(
                {line,
                 line->colour,
                 static_cast<uint8_t>(line->type),
                 static_cast<uint8_t>(line->bfc),
                 {0, 0, 0, 0},
                 entry.texmap && texmaps[entry.texmap - 1u].image ? entry.texmap : uint16_t{0}});
        }
    }
    return data.release();
}

bool Prepare(const QzPart* part, std::unordered_set<const QzPart*>& seen) {
    if (!part || !seen.insert(part).second) return true;
    if (const QzPartCache* data = part->cache) {
        // Made before: its references are at hand.
        for (uint32_t at : data->references)
            if (!Prepare(data->items[at].line->part, seen)) return false;
    } else {
        for (const QzLine* line = part->lines; line; line = line->next)
            if (line->type == 1 && !Prepare(line->part, seen)) return false;
    }
    if (part->textured)
        for (const QzLine* line : part->textured->references)
            if (!Prepare(line->part, seen)) return false;
    if (part->cache) return true;
    try {
        part->cache = BuildCache(*part);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

uint64_t Mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xBF58476D1CE4E5B9ull;
}

}  // namespace

bool QzPrepareDrawData(const QzPart* part) {
    std::unordered_set<const QzPart*> seen;
    return Prepare(part, seen);
}

namespace {

// a + b for the figures below a part (both at most QZ_MAX_FIGURE), held at QZ_MAX_FIGURE:
// a small file of references nested deep enough reaches any number.
int64_t FigureSum(int64_t a, int64_t b) { return b > QZ_MAX_FIGURE - a ? QZ_MAX_FIGURE : a + b; }

}  // namespace

int64_t QzDrawWork(const QzPart& part) {
    QzPartCache& data = *part.cache;
    if (data.work >= 0) return data.work;
    int64_t work = 0;
    for (const QzDrawItem& item : data.items)
        work = FigureSum(work, item.type != 1    ? 1
                               : item.line->part ? QzDrawWork(*item.line->part)
                                                 : 0);
    data.work = work;
    return work;
}

int64_t QzStudReferences(const QzPart& part) {
    QzPartCache& data = *part.cache;
    if (data.studReferences >= 0) return data.studReferences;
    int64_t count = 0;
    if (data.studsBelow) {
        for (const QzDrawItem& item : data.items) {
            if (item.type != 1 || !item.line->part) continue;
            const QzPart* sub = item.line->part;
            count = FigureSum(count, (sub->flags & PF_STUD) ? 1 : QzStudReferences(*sub));
        }
    }
    data.studReferences = count;
    return count;
}

int64_t QzStudPassProducts(const QzPart& part, bool skipStuds, bool seams) {
    QzPartCache& data = *part.cache;
    int64_t& memo = data.studPassProducts[skipStuds ? 1 : 0][seams ? 1 : 0];
    if (memo >= 0) return memo;
    int64_t count = 0;
    for (const QzDrawItem& item : data.items) {
        if (item.type != 1 || !item.line->part) continue;
        const QzPart* sub = item.line->part;
        if ((sub->flags & PF_STUD) && skipStuds) continue;
        count = FigureSum(count, 1);
        if (sub->flags & PF_STUD) continue;
        if (seams && (sub->flags & PF_PARTS_DIR) && !(part.flags & PF_PARTS_DIR))
            count = FigureSum(count, 1);
        count = FigureSum(count, QzStudPassProducts(*sub, skipStuds, seams));
    }
    memo = count;
    return count;
}

uint64_t QzMeshKeys::Of(const QzPart& part) {
    if (auto it = keys_.find(&part); it != keys_.end()) return it->second;
    uint64_t h = Mix(0x51ED270B27A8F3D1ull, part.cache ? part.cache->version : 0);
    if (part.cache) {
        for (const QzDrawItem& item : part.cache->items)
            if (item.type == 1) h = Mix(h, item.line->part ? Of(*item.line->part) : 0);
        for (const uint32_t i : part.cache->texturedReferences) {
            const QzLine* line = part.cache->texturedItems[i].line;
            h = Mix(h, line->part ? Of(*line->part) : 0);
        }
    }
    keys_[&part] = h;
    return h;
}

const QzPartMesh& QzPartMeshOf(const QzPart& part, bool flatten, QzMeshKeys& keys) {
    QzPartCache& cache = *part.cache;
    const int k = flatten ? 0 : 1;
    const uint64_t key = flatten ? keys.Of(part) : cache.version;
    if (!cache.mesh[k] || cache.meshKey[k] != key) {
        cache.mesh[k] = std::make_unique<QzPartMesh>(QzBuildPartMesh(part, flatten));
        cache.meshKey[k] = key;
    }
    return *cache.mesh[k];
}

void QzKeepPartMesh(const QzPart& part, bool flatten, QzMeshKeys& keys,
                    std::unique_ptr<QzPartMesh> mesh) {
    QzPartCache& cache = *part.cache;
    const int k = flatten ? 0 : 1;
    cache.meshKey[k] = flatten ? keys.Of(part) : cache.version;
    cache.mesh[k] = std::move(mesh);
}

const QzPartMesh* QzKeptPartMesh(const QzPart& part, bool flatten, QzMeshKeys& keys) {
    const QzPartCache& cache = *part.cache;
    const int k = flatten ? 0 : 1;
    if (!cache.mesh[k] || cache.meshKey[k] != (flatten ? keys.Of(part) : cache.version))
        return nullptr;
    return cache.mesh[k].get();
}
