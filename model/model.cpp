#include "model.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <vector>

// The address sanitizer, as GCC and Clang tell of it.
#if defined(__SANITIZE_ADDRESS__)
#define QZ_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QZ_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef QZ_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

#include "diagnostics.h"
#include "drawdata.h"
#include "largepages.h"
#include "texmap.h"

const char* const QzStudNames[19] = {
    "stud5.dat",  "stu2.dat",   "stu22.dat",    "stu22a.dat",  "stu23.dat",
    "stu23a.dat", "stu24.dat",  "stu24a.dat",   "stud2.dat",   "stud2a.dat",
    "stud3a.dat", "stud4a.dat", "studline.dat", "stu2p01.dat", "studp01.dat",
    "studel.dat", "stud.dat",   "stud3.dat",    "stud4.dat",
};

namespace {

// The transform blocks that one list of lines references, handed back in `blocks`
// rather than freed here, so that deeply nested blocks are released by a loop instead
// of a recursion as deep as the nesting.
void CollectBlocks(const QzLine* line, std::vector<QzPart*>& blocks) {
    for (; line; line = line->next) {
        if (line->type == 1 && line->part && (line->part->flags & PF_INTERNAL)) {
            blocks.push_back(line->part);
        }
    }
}

// A store's first chunk and the most that growing or expecting gives one chunk, in
// lines: a short part takes a few hundred bytes, a long file a few chunks of a megabyte,
// two of which (with their headers) fill a block of the arena.
constexpr size_t kFirstChunkLines = 8;
constexpr size_t kLargestChunkLines = (plat::kLargePageBytes / 2 - 64) / sizeof(QzLine);

// Name, vertices, drawing form and texture view of a record; its lines are the
// caller's business.
void ReleaseRecordStorage(QzPart* part) {
    std::string().swap(part->name);
    QzFreeVertices(*part);
    QzFreeDrawData(*part);
    delete part->textured;
    part->textured = nullptr;
}

}  // namespace

QzModel::QzModel() : parts(new QzPart[QZ_MAX_PARTS]()), lineArena(new QzLineArena) {}

QzModel::~QzModel() {
    if (parts) QzFreeAllParts(*this);
}

QzModel::QzModel(QzModel&& other) { *this = std::move(other); }

QzModel& QzModel::operator=(QzModel&& other) {
    if (this == &other) return *this;
    if (parts) QzFreeAllParts(*this);
    parts = std::move(other.parts);
    lineArena = std::move(other.lineArena);
    partCount = std::exchange(other.partCount, 0);
    lights = std::move(other.lights);
    coloursUsed = std::move(other.coloursUsed);
    inputLog = std::move(other.inputLog);
    inputDiagnostics = std::move(other.inputDiagnostics);
    sections = std::move(other.sections);
    writtenNames = std::move(other.writtenNames);
    modelTitle = std::move(other.modelTitle);
    modelAuthor = std::move(other.modelAuthor);
    loadTimeMs = std::exchange(other.loadTimeMs, 0);
    transfCounter = std::exchange(other.transfCounter, 0);
    definitions = std::exchange(other.definitions, {});
    partIndex = std::exchange(other.partIndex, {});
    tableFullShown = std::exchange(other.tableFullShown, false);
    leftOut = std::exchange(other.leftOut, {});
    textureParts = std::exchange(other.textureParts, {});
    texturePartIndex = std::exchange(other.texturePartIndex, {});
    textures = std::exchange(other.textures, {});
    dataSections = std::exchange(other.dataSections, {});
    dataImages = std::exchange(other.dataImages, {});
    // The moved-from model is an empty one, ready for a load.
    other.parts.reset(new QzPart[QZ_MAX_PARTS]());
    other.lineArena.reset(new QzLineArena);
    other.lights.clear();
    other.coloursUsed.clear();
    other.inputLog.clear();
    other.inputDiagnostics.clear();
    other.sections.clear();
    other.writtenNames.clear();
    other.modelTitle.clear();
    other.modelAuthor.clear();
    return *this;
}

namespace {

void MarkStud(QzPart& part) {
    for (int i = 18; i >= 0; --i) {
        if (part.name == QzStudNames[i]) {
            part.flags |= PF_STUD;
            break;
        }
    }
}

}  // namespace

QzPart* QzFindPart(QzModel& model, QzLogContext& log, bool internal, const std::string& name) {
    if (name.size() > size_t(QZ_MAX_NAME)) {
        QzError(QzCompose("Name too long '%s'.", name.c_str()));
        return nullptr;
    }

    QzPart* part = nullptr;
    if (internal) {
        part = new (std::nothrow) QzPart{};
        if (!part) {
            QzError("Out of memory for new internal part");
            return nullptr;
        }
    } else {
        const auto found = model.partIndex.find(name);
        if (found != model.partIndex.end()) return &model.parts[found->second];
        if (model.partCount >= QZ_MAX_PARTS) {
            if (!model.tableFullShown) {
                QzError(QzCompose("Sorry, max %d parts.", QZ_MAX_PARTS));
                model.leftOut.clear();
            }
            model.tableFullShown = true;
            model.leftOut.push_back(name);
            QzWarn(log, 0, QZ_SKIPPING, "Sorry, max %d parts: %s left out", QZ_MAX_PARTS,
                   name.c_str());
            return nullptr;
        }
        part = &model.parts[model.partCount++];
    }

    *part = QzPart{};
    part->store.arena = model.lineArena.get();
    part->flags = internal ? PF_INTERNAL : 0;
    try {
        part->name = name;
    } catch (const std::bad_alloc&) {
        // Give the record back: no entry stays counted without a name.
        if (internal) {
            delete part;
        } else {
            --model.partCount;
        }
        QzError("Out of memory for new part name");
        return nullptr;
    }

    if (!internal) {
        try {
            model.partIndex.emplace(part->name, static_cast<int>(part - model.parts.get()));
        } catch (const std::bad_alloc&) {
            // Found by name no more, the part is read again when named again: only slower.
        }
    }
    MarkStud(*part);
    return part;
}

QzPart* QzFindTexturePart(QzModel& model, QzLogContext& log, const std::string& name) {
    if (const auto found = model.partIndex.find(name); found != model.partIndex.end())
        return &model.parts[found->second];
    if (const auto found = model.texturePartIndex.find(name); found != model.texturePartIndex.end())
        return found->second;
    if (name.size() > size_t(QZ_MAX_NAME) ||
        model.textureParts.size() >= static_cast<size_t>(QZ_MAX_PARTS)) {
        QzWarn(log, 0, QZ_SKIPPING, "Too many files for texture geometry: %s left out",
               name.c_str());
        return nullptr;
    }
    try {
        auto part = std::make_unique<QzPart>();
        part->name = name;
        part->store.arena = model.lineArena.get();
        part->flags = PF_TEXTURE_PART;
        MarkStud(*part);
        QzPart* made = part.get();
        model.textureParts.push_back(std::move(part));
        model.texturePartIndex.emplace(name, made);
        return made;
    } catch (const std::bad_alloc&) {
        QzError("Out of memory for new part name");
        return nullptr;
    }
}

void QzFreeLines(QzPart* part) {
    if (!part) return;
    QzFreeDrawData(*part);
    delete part->textured;
    part->textured = nullptr;
    std::vector<QzPart*> blocks;
    CollectBlocks(part->lines, blocks);
    part->lines = nullptr;
    QzReleaseStore(part->store);
    while (!blocks.empty()) {
        QzPart* block = blocks.back();
        blocks.pop_back();
        CollectBlocks(block->lines, blocks);
        block->lines = nullptr;
        QzReleaseStore(block->store);
        ReleaseRecordStorage(block);
        delete block;
    }
}

void QzFreePart(QzPart* part) {
    if (!part) return;
    std::string().swap(part->name);
    QzFreeLines(part);
    QzFreeVertices(*part);
    if (part->flags & PF_INTERNAL) {
        delete part;
    } else {
        *part = QzPart{};
    }
}

void QzFreeAllParts(QzModel& model) {
    for (int i = 0; i < model.partCount; ++i) QzFreePart(&model.parts[i]);
    model.partCount = 0;
    model.partIndex.clear();
    for (const auto& part : model.textureParts) QzFreePart(part.get());
    model.textureParts.clear();
    model.texturePartIndex.clear();
    model.textures.clear();
    model.dataSections.clear();
    model.dataImages.clear();
    model.sections.clear();
    model.writtenNames.clear();
}

void QzRenameMain(QzModel& model, std::string name) {
    QzPart& main = model.parts[0];
    const auto old = model.partIndex.find(main.name);
    if (old != model.partIndex.end() && old->second == 0) {
        // The first other entry of that name, if any, is found by it from now on.
        model.partIndex.erase(old);
        for (int i = 1; i < model.partCount; ++i) {
            if (model.parts[i].name == main.name) {
                model.partIndex.emplace(main.name, i);
                break;
            }
        }
    }
    main.name = std::move(name);
    model.partIndex[main.name] = 0;
}

QzLight* QzNewLight(std::vector<QzLight>& lights) {
    try {
        return &lights.emplace_back();
    } catch (const std::bad_alloc&) {
        QzError("Out of memory for more lights");
        return nullptr;
    }
}

int QzAddColour(QzModel& model, int32_t n) {
    // Newest entries first: a model tends to repeat the colours it used last.
    for (auto it = model.coloursUsed.rbegin(); it != model.coloursUsed.rend(); ++it)
        if (*it == n) return 0;
    try {
        model.coloursUsed.push_back(n);
    } catch (const std::bad_alloc&) {
        QzError("Out of memory for more colors");
        return -1;
    }
    return 0;
}

void QzNormaliseName(std::string& name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
}

// A chunk of a line store: its header, then the room for lines and texts.
struct QzLineChunk {
    QzLineChunk* older;
    size_t bytes;  // room after the header
};

namespace {

constexpr size_t kStoreAlign = alignof(QzLine);
static_assert(sizeof(QzLineChunk) % kStoreAlign == 0);

size_t RoundUp(size_t bytes) { return (bytes + kStoreAlign - 1) / kStoreAlign * kStoreAlign; }

// Room for `bytes` in the store, in a new chunk when the newest has too little; null
// when there is no memory.
void* StoreAllocate(QzLineStore& store, size_t bytes) {
    bytes = RoundUp(bytes);
    if (static_cast<size_t>(store.end - store.free) < bytes) {
        // Each chunk doubles the room of the store (the expected lines set the first),
        // up to the largest chunk; a single large text gets a chunk of its own size.
        size_t lines = store.expected;
        if (lines == 0) lines = store.newest ? store.newest->bytes / sizeof(QzLine) * 2 : 0;
        lines = std::clamp(lines, kFirstChunkLines, kLargestChunkLines);
        store.expected = 0;
        const size_t room = std::max(lines * sizeof(QzLine), bytes);
        if (room > std::numeric_limits<size_t>::max() - sizeof(QzLineChunk)) return nullptr;
        char* memory = nullptr;
        size_t size = sizeof(QzLineChunk) + room;
        if (store.arena) {
            memory = static_cast<char*>(store.arena->Take(size, size));
        } else {
            memory = new (std::nothrow) char[size];
        }
        if (!memory) return nullptr;
        QzLineChunk* chunk = new (memory) QzLineChunk{store.newest, size - sizeof(QzLineChunk)};
        store.newest = chunk;
        store.free = memory + sizeof(QzLineChunk);
        store.end = store.free + room;
    }
    void* at = store.free;
    store.free += bytes;
    return at;
}

}  // namespace

QzLine* QzNewLine(QzLineStore& store, const QzLine& copy, std::string_view text) {
    void* memory = StoreAllocate(store, sizeof(QzLine));
    if (!memory) return nullptr;
    QzLine* line = new (memory) QzLine(copy);
    line->text = nullptr;
    if (copy.type != 0) return line;
    char* target = reinterpret_cast<char*>(line->p);
    if (text.size() > size_t(QZ_INLINE_TEXT)) {
        target = static_cast<char*>(StoreAllocate(store, text.size() + 1));
        // The line stays in the store unused: it is freed with the rest.
        if (!target) return nullptr;
    }
    std::memcpy(target, text.data(), text.size());
    target[text.size()] = '\0';
    line->text = target;
    return line;
}

void QzExpectLines(QzLineStore& store, size_t lines) {
    store.expected = std::min(lines, kLargestChunkLines);
}

void QzReleaseStore(QzLineStore& store) {
    QzLineArena* arena = store.arena;
    QzLineChunk* chunk = store.newest;
    while (chunk) {
        QzLineChunk* older = chunk->older;
        if (arena) {
            arena->Give(chunk, sizeof(QzLineChunk) + chunk->bytes);
        } else {
            delete[] reinterpret_cast<char*>(chunk);
        }
        chunk = older;
    }
    store = QzLineStore{};
    store.arena = arena;
}

namespace {

// Chunks start on a cache line.
constexpr size_t kChunkAlign = 64;
// Two of the largest chunks fill a block.
static_assert(2 * ((sizeof(QzLineChunk) + kLargestChunkLines * sizeof(QzLine) + kChunkAlign - 1) /
                   kChunkAlign * kChunkAlign) <=
              plat::kLargePageBytes);
static_assert(kChunkAlign % alignof(QzLine) == 0 && kChunkAlign % alignof(QzLineChunk) == 0);
// What is left of a block too short for a chunk is kept for smaller ones when it holds
// at least this much.
constexpr size_t kSmallestSpare = 4096;

// While the address sanitizer watches, the room no chunk holds may not be touched.
void Poison([[maybe_unused]] void* at, [[maybe_unused]] size_t bytes) {
#ifdef QZ_ADDRESS_SANITIZER
    __asan_poison_memory_region(at, bytes);
#endif
}
void Unpoison([[maybe_unused]] void* at, [[maybe_unused]] size_t bytes) {
#ifdef QZ_ADDRESS_SANITIZER
    __asan_unpoison_memory_region(at, bytes);
#endif
}

}  // namespace

QzLineArena::~QzLineArena() { ReleaseAll(); }

void QzLineArena::ReleaseAll() {
    for (const Block& block : blocks_) {
        Unpoison(block.data, block.size);
        plat::FreeLargePages(block.data, block.size);
    }
    blocks_.clear();
    spare_.clear();
    free_ = end_ = nullptr;
    inUse_ = 0;
}

void* QzLineArena::Take(size_t bytes, size_t& size) {
    if (bytes > std::numeric_limits<size_t>::max() - kChunkAlign) return nullptr;
    bytes = (std::max<size_t>(bytes, 1) + kChunkAlign - 1) / kChunkAlign * kChunkAlign;
    char* chunk = nullptr;
    // A chunk given back serves when it is not much larger than asked for.
    auto spare = spare_.lower_bound(bytes);
    if (spare != spare_.end() && spare->first / 2 <= bytes) {
        chunk = spare->second;
        bytes = spare->first;
        spare_.erase(spare);
    } else {
        if (static_cast<size_t>(end_ - free_) < bytes) {
            const size_t size = plat::LargePagesFor(bytes);
            char* data = size == 0 ? nullptr : static_cast<char*>(plat::AllocateLargePages(size));
            if (!data) return nullptr;
            try {
                blocks_.push_back({data, size});
            } catch (const std::bad_alloc&) {
                plat::FreeLargePages(data, size);
                return nullptr;
            }
            Poison(data, size);
            const size_t left = static_cast<size_t>(end_ - free_);
            if (left >= kSmallestSpare) {
                try {
                    spare_.emplace(left, free_);
                } catch (const std::bad_alloc&) {
                    // That room stays unused until the arena empties.
                }
            }
            free_ = data;
            end_ = data + size;
        }
        chunk = free_;
        free_ += bytes;
    }
    Unpoison(chunk, bytes);
    inUse_ += bytes;
    size = bytes;
    return chunk;
}

size_t QzLineArena::Shrink(void* chunk, size_t size, size_t keep) {
    keep = (std::max<size_t>(keep, 1) + kChunkAlign - 1) / kChunkAlign * kChunkAlign;
    char* at = static_cast<char*>(chunk);
    if (keep >= size || at + size != free_) return size;
    Poison(at + keep, size - keep);
    free_ = at + keep;
    inUse_ -= size - keep;
    return keep;
}

void QzLineArena::Give(void* chunk, size_t size) {
    if (!chunk) return;
    inUse_ -= size;
    if (inUse_ == 0) {
        ReleaseAll();
        return;
    }
    Poison(chunk, size);
    char* at = static_cast<char*>(chunk);
    // The last chunk taken goes back to the free part of its block.
    if (at + size == free_) {
        free_ = at;
        return;
    }
    try {
        spare_.emplace(size, at);
    } catch (const std::bad_alloc&) {
        // That room stays unused until the arena empties.
    }
}

void QzTrimStore(QzLineStore& store) {
    if (!store.arena || !store.newest) return;
    char* start = reinterpret_cast<char*>(store.newest);
    const size_t size = sizeof(QzLineChunk) + store.newest->bytes;
    const size_t kept = store.arena->Shrink(start, size, static_cast<size_t>(store.free - start));
    store.newest->bytes = kept - sizeof(QzLineChunk);
    store.end = start + kept;
}

bool QzAllocVertices(QzPart& part, int32_t count) {
    QzFreeVertices(part);
    if (count <= 0) return true;
    part.vertices = new (std::nothrow) QzVector[size_t(count)];
    if (!part.vertices) return false;
    part.vertexCount = count;
    return true;
}

void QzFreeDrawData(const QzPart& part) {
    delete part.cache;
    part.cache = nullptr;
}

void QzFreeVertices(QzPart& part) {
    delete[] part.vertices;
    part.vertices = nullptr;
    part.vertexCount = 0;
}
