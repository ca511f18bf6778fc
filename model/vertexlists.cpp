#include "vertexlists.h"

#include <cstring>
#include <vector>

#include "clock.h"
#include "format.h"
#include "messagebox.h"
#include "random.h"

namespace {

constexpr int kMaxVertices = 80000;

struct VertexKey {
    uint32_t x, y, z;
    bool operator==(const VertexKey&) const = default;
};

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// Finds a vertex among those collected so far by its exact bits: an open-addressing
// table of fixed size (well over twice the vertex limit), emptied after each part
// through the slots it used, so building lists allocates nothing per vertex.
class VertexTable {
  public:
    VertexTable() : slots_(kSlots, -1) {
        keys_.reserve(kMaxVertices);
        used_.reserve(kMaxVertices);
    }
    // The index of the vertex, or -1 with the free slot remembered for Add.
    int32_t Find(const VertexKey& k) {
        uint64_t h = k.x * 0x9E3779B97F4A7C15ULL;
        h ^= (h >> 29) + k.y * 0xBF58476D1CE4E5B9ULL;
        h ^= (h >> 31) + k.z * 0x94D049BB133111EBULL;
        size_t slot = static_cast<size_t>(h ^ (h >> 32)) & (kSlots - 1);
        while (slots_[slot] >= 0) {
            if (keys_[slots_[slot]] == k) return slots_[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
        free_ = slot;
        return -1;
    }
    // Adds the key Find did not find; returns its index.
    int32_t Add(const VertexKey& k) {
        const int32_t index = static_cast<int32_t>(keys_.size());
        keys_.push_back(k);
        slots_[free_] = index;
        used_.push_back(free_);
        return index;
    }
    int32_t Size() const { return static_cast<int32_t>(keys_.size()); }
    void Clear() {
        for (size_t slot : used_) slots_[slot] = -1;
        used_.clear();
        keys_.clear();
    }

  private:
    static constexpr size_t kSlots = size_t{1} << 18;
    std::vector<int32_t> slots_;
    std::vector<VertexKey> keys_;
    std::vector<size_t> used_;
    size_t free_ = 0;
};

// Builds the lists of one part after another with the same scratch array and index.
class ListBuilder {
  public:
    // False when the part has no list afterwards (too many vertices, no memory, or no
    // points at all). maxPoints and maxVertices are raised to this part's figures.
    bool Build(QzPart* part, int& maxPoints, int& maxVertices);

  private:
    std::vector<QzVector> scratch;
    VertexTable seen;
};

}  // namespace

bool QzBuildPartVertexList(QzPart* part, int& maxPoints, int& maxVertices) {
    ListBuilder builder;
    return builder.Build(part, maxPoints, maxVertices);
}

bool ListBuilder::Build(QzPart* part, int& maxPoints, int& maxVertices) {
    QzFreeVertices(*part);
    // The points may change below (-0 becomes 0): what the renderer kept of them goes.
    QzFreeDrawData(*part);
    scratch.clear();
    scratch.reserve(kMaxVertices);
    seen.Clear();
    int points = 0;
    for (QzLine* line = part->lines; line; line = line->next) {
        int n = 0;
        if (line->type == 1) {
            line->vertexIndex[0] = 0;
        } else if (line->type >= 2 && line->type <= 4) {
            n = line->type;
        } else if (line->type == 5) {
            n = 4;
        }
        for (int i = 0; i < n; ++i) {
            QzVector4& p = line->p[i];
            // -0.0 and 0.0 are one vertex.
            if (p.x == 0.0f) p.x = 0.0f;
            if (p.y == 0.0f) p.y = 0.0f;
            if (p.z == 0.0f) p.z = 0.0f;
            const VertexKey key{Bits(p.x), Bits(p.y), Bits(p.z)};
            int32_t index = seen.Find(key);
            if (index < 0) {
                if (seen.Size() >= kMaxVertices) {
                    plat::ShowMessage(
                        plat::Format("%s: Max vertices %d\n", part->name.c_str(), kMaxVertices),
                        plat::MessageKind::Exclamation);
                    return false;
                }
                index = seen.Add(key);
                scratch.push_back({p.x, p.y, p.z});
            }
            line->vertexIndex[i] = index;
        }
        points += n;
    }
    bool built = false;
    if (!scratch.empty()) {
        if (!QzAllocVertices(*part, static_cast<int32_t>(scratch.size()))) {
            plat::ShowMessage(
                plat::Format("Could not alloc for %d vertices\n", static_cast<int>(scratch.size())),
                plat::MessageKind::Exclamation);
        } else {
            std::memcpy(part->vertices, scratch.data(), scratch.size() * sizeof(QzVector));
            built = true;
        }
    }
    if (points > maxPoints) maxPoints = points;
    if (static_cast<int>(scratch.size()) > maxVertices)
        maxVertices = static_cast<int>(scratch.size());
    return built;
}

void BuildVertexLists(QzModel& model) {
    if (!model.Loaded()) return;
    const uint32_t start = plat::TickCount();
    int maxPoints = 0, maxVertices = 0;
    ListBuilder builder;
    for (int i = 0; i < model.partCount; ++i)
        builder.Build(&model.parts[i], maxPoints, maxVertices);
    const int elapsed = static_cast<int>(plat::TickCount() - start);
    plat::ShowMessage(plat::Format("%d parts in %d ms\nmax vertices: %d\nmax ver.list: %d",
                                   model.partCount, elapsed, maxPoints, maxVertices),
                      plat::MessageKind::Exclamation);
}

void QzAssignRandomColours(QzModel& model) {
    if (!model.Loaded()) return;
    plat::RandomGenerator random(plat::TickCount());
    for (QzLine* line = model.Main().lines; line; line = line->next) {
        if (line->type >= 1 && line->type <= 5)
            line->randomColour = (random.Next() * 16) / plat::kRandomMax;
    }
}
