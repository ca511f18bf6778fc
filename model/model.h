// The in-memory model: the part table (entry 0 is the main model, the rest is the
// parts cache between loads), the stored lines of each part, the light list, and what
// the reading logged. One QzModel holds one loaded model; its owner passes it to
// whatever draws, exports or inspects it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "colours.h"
#include "diagnostics.h"
#include "geometry.h"

inline constexpr int QZ_MAX_PARTS = 2000;
// A part name has at most this many characters.
inline constexpr int QZ_MAX_NAME = 259;

// Part flags.
inline constexpr uint32_t PF_READ = 0x001;
inline constexpr uint32_t PF_PARTS_DIR = 0x002;
inline constexpr uint32_t PF_PRIM_DIR = 0x004;
inline constexpr uint32_t PF_RESOLVED = 0x008;
inline constexpr uint32_t PF_BUSY = 0x010;
inline constexpr uint32_t PF_EMPTY = 0x020;
inline constexpr uint32_t PF_INTERNAL = 0x080;
inline constexpr uint32_t PF_STUD = 0x100;
inline constexpr uint32_t PF_TRANSPARENT = 0x200;
// A section of a main model's own file: its lines are read again at every load, as the
// file being loaded may have changed them.
inline constexpr uint32_t PF_MAIN_SECTION = 0x400;
// A referenced file that was not found: the part stays without lines.
inline constexpr uint32_t PF_MISSING = 0x800;
// One of the model's texture parts (QzFindTexturePart), outside the part table.
inline constexpr uint32_t PF_TEXTURE_PART = 0x1000;
// A section of a main model's file that is a part the modeller embedded, not a
// submodel (QzIsSectionPart, sections.h): lists of parts count it, not what it holds.
inline constexpr uint32_t PF_SECTION_PART = 0x2000;

// BFC bits of a stored type 1, 3 or 4 line.
inline constexpr uint32_t LF_CULL = 1;
inline constexpr uint32_t LF_INVERT = 2;
inline constexpr uint32_t LF_MIRROR = 4;

// Transform block kinds (0: none).
inline constexpr int QZ_BLOCK_TRANSLATE = 1;
inline constexpr int QZ_BLOCK_ROTATE = 2;
inline constexpr int QZ_BLOCK_SCALE = 3;
inline constexpr int QZ_BLOCK_TRANSFORM = 4;

struct QzLine;
struct QzLineChunk;
struct QzPartCache;
struct QzTexturedLines;
struct QzImage;

class QzLineArena;

// Where the lines of one part are kept: chunks of memory holding many lines each, and
// the comment texts too long to be kept inside their line, released all at once with
// the lines (QzFreeLines). A plain record like the part that holds it.
struct QzLineStore {
    // The newest chunk (each links to the one before) and the free room left in it.
    QzLineChunk* newest = nullptr;
    char* free = nullptr;
    char* end = nullptr;
    // The number of lines the next chunk is made for (QzExpectLines); 0 for the usual
    // growth.
    size_t expected = 0;
    // Where the chunks come from: the arena of the model whose part holds the store
    // (set by QzFindPart), or the heap when null. Kept when the store is released.
    QzLineArena* arena = nullptr;
};

// Where the line stores of one model's parts take their chunks: blocks of large pages
// (plat::AllocateLargePages) handed out one chunk after the other, so that a load that
// reads a few thousand files fills a few large pages rather than thousands of small ones.
// A chunk given back is kept for a later chunk it fits; once every chunk is back, the
// blocks go back to the system. Used by one thread at a time, like its model.
class QzLineArena {
  public:
    QzLineArena() = default;
    ~QzLineArena();
    QzLineArena(const QzLineArena&) = delete;
    QzLineArena& operator=(const QzLineArena&) = delete;

    // A chunk of at least `bytes`, aligned for lines, and its size in `size` (which may
    // be more); null when there is no memory.
    void* Take(size_t bytes, size_t& size);
    // Takes back a chunk of Take, with the size Take gave.
    void Give(void* chunk, size_t size);
    // Takes back the end of a chunk of Take (of the size given) past its first `keep`
    // bytes, when it is the last chunk taken from its block; the chunk's size now.
    size_t Shrink(void* chunk, size_t size, size_t keep);
    // Blocks held, and the bytes of the chunks that are out.
    size_t Blocks() const { return blocks_.size(); }
    size_t BytesInUse() const { return inUse_; }

  private:
    void ReleaseAll();

    struct Block {
        char* data;
        size_t size;
    };
    std::vector<Block> blocks_;
    // The part of the newest block no chunk has taken yet.
    char* free_ = nullptr;
    char* end_ = nullptr;
    // Chunks given back, by size.
    std::multimap<size_t, char*> spare_;
    size_t inUse_ = 0;
};

struct QzPart {
    // Entry 0: the model path as given; others: the normalised reference name;
    // transform blocks: "QzTransf%d".
    std::string name;
    // The file the part was read from, as the file system names it; empty for a part
    // not read from a file of its own (a section, a transform block, a missing file).
    std::string path;
    QzLine* lines;
    // Where the lines and their texts are kept.
    QzLineStore store;
    QzBox box;
    QzBox boxNoStuds;
    // Distinct vertices, built by the "Vertex lists" command; null until then.
    QzVector* vertices;
    int32_t vertexCount;
    // What the walks keep of the part (drawdata.h): made on first use, before a
    // drawing's threads start, and dropped whenever its lines change; null until then.
    mutable QzPartCache* cache;
    uint32_t flags;
    // What a reader with textures reads of the part's file (texmap.h), when the file has
    // texture mapping in it; null otherwise. Freed with the lines.
    QzTexturedLines* textured;
    // Transform blocks only: where the block was opened.
    QzPart* parent;
    QzLine** parentTail;
    int32_t parentBlock;
};

struct QzLine {
    int32_t type;
    int32_t colour;
    uint32_t lineNo;
    // Types 2-5: vertices (type 5: line ends, then control points). Type 1: the four
    // matrix rows, also readable as `matrix`. Type 0: the comment text itself when it
    // has at most 63 characters.
    union {
        QzVector4 p[4];
        QzMatrix matrix;
    };
    int32_t vertexIndex[4];
    int32_t randomColour;
    // Types 1, 3, 4: LF_* bits. Type 0: option bits of a "0 BFC" statement.
    uint32_t bfc;
    // Types 1 to 5: the colour number as the file writes it; `colour` holds what the
    // reader draws instead of a number it does not know (or of 24 on a reference).
    int32_t fileColour;
    QzLine* next;
    // Type 1: the referenced part.
    QzPart* part;
    // Type 0: the comment text; points into p or into the store of the part.
    char* text;
};

// The matrix of a type-1 line shares its storage with the vertices.
inline QzMatrix& QzLineMatrix(QzLine& line) { return line.matrix; }
inline const QzMatrix& QzLineMatrix(const QzLine& line) { return line.matrix; }
static_assert(sizeof(QzMatrix) == sizeof(QzVector4[4]));

// Comment texts of at most this many characters are kept inside the line.
inline constexpr int QZ_INLINE_TEXT = 63;

struct QzLight {
    float placement[3];  // latitude, longitude, radius (flag bit 0) or a position
    float unused1;
    float colour[3];  // red, green, blue 0..1
    float unused2;
    uint32_t flags;
};

extern const char* const QzStudNames[19];

// A section ("0 FILE name") of the main model's file.
struct QzModelSection {
    // The table entry the section's lines went to: 0 for the first section, which is
    // the main model itself.
    int index = 0;
    // The name as the FILE line writes it.
    std::string name;
};

// One loaded model and the parts cache it was read with. Loading into the same object
// again keeps every part already read (unless the colours defined changed); a fresh
// object reads everything anew. The table lives on the heap, so moving a model keeps
// every pointer into it valid. Not copyable.
class QzModel {
  public:
    QzModel();
    // Frees every part and the light list.
    ~QzModel();
    QzModel(const QzModel&) = delete;
    QzModel& operator=(const QzModel&) = delete;
    // The model moved from is left empty.
    QzModel(QzModel&& other);
    QzModel& operator=(QzModel&& other);

    // Whether a model was read into entry 0.
    bool Loaded() const { return partCount > 0; }
    QzPart& Main() { return parts[0]; }
    const QzPart& Main() const { return parts[0]; }

    // The part table: QZ_MAX_PARTS records, entry 0 the main model.
    std::unique_ptr<QzPart[]> parts;
    // Where the lines of the parts are kept (QzLineStore::arena); it moves with the table.
    std::unique_ptr<QzLineArena> lineArena;
    int partCount = 0;
    // Lights of the scene: a load leaves none; the POV export adds its default ones to
    // a copy of its own.
    std::vector<QzLight> lights;
    // Every colour number the stored lines of type 1 to 5 use, in order of first use.
    std::vector<int32_t> coloursUsed;
    // The input log of the last load ("\r\n" after every entry) and its entries as
    // values, in the same order.
    std::string inputLog;
    std::vector<QzDiagnostic> inputDiagnostics;
    // The sections of the main model's file in file order (none for a file without
    // "0 FILE" lines); a section the reader skipped ("already read") is not among them.
    std::vector<QzModelSection> sections;
    // The file names of the main model file's references as the file writes them, where
    // that differs from the name stored (normalised) in the referenced part.
    std::unordered_map<const QzLine*, std::string> writtenNames;
    // The main model's first plain comment and first "Author:" text.
    std::string modelTitle;
    std::string modelAuthor;
    // Duration of the last load into this model, in milliseconds.
    int32_t loadTimeMs = 0;

    // Bookkeeping of the reader between loads. The number given to the next transform
    // block ("QzTransf%d"), never reset by loading:
    int32_t transfCounter = 0;
    // The colour definitions the cached parts were checked against:
    QzColourDefinitions definitions;
    // Where each name of the table is (its first entry), for the lookup of references.
    std::unordered_map<std::string, int> partIndex;
    // Whether the "Sorry, max 2000 parts." box has been shown during the current load:
    // a model with many parts too many shows it once, and the log names each part
    // left out.
    bool tableFullShown = false;
    // While tableFullShown: the names the full table left out during the load, in the
    // order they came, one for each time (a name referenced twice is there twice).
    std::vector<std::string> leftOut;

    // Files that only the geometry of texture mapping ("0 !:" lines) reaches, kept out of
    // the part table so that the table, and every count and report made from it, stays
    // what a reader without textures makes of the model. Kept between loads like the
    // table's parts; at most QZ_MAX_PARTS of them.
    std::vector<std::unique_ptr<QzPart>> textureParts;
    std::unordered_map<std::string, QzPart*> texturePartIndex;
    // The images of texture mapping, decoded once: those found in the library's and the
    // model's "textures" folders by normalised name (null: looked for and not found, or
    // not decoded, with the reason), kept between loads like the parts; and the "!DATA"
    // sections of the main model's own file (their decoded bytes, empty when the
    // section held none), read again at every load.
    struct FoundImage {
        std::shared_ptr<const QzImage> image;
        std::string error;
    };
    std::unordered_map<std::string, FoundImage> textures;
    std::unordered_map<std::string, std::string> dataSections;
    std::unordered_map<std::string, FoundImage> dataImages;
};

// ---- Operations ----
// The table entry of a name, made when there is none (internal: a transform block or
// section scratch record of its own, outside the table). Null, after a box or a log
// entry, when the name is too long, the table is full or memory ran out.
QzPart* QzFindPart(QzModel& model, QzLogContext& log, bool internal, const std::string& name);
void QzFreePart(QzPart* part);
void QzFreeLines(QzPart* part);
void QzFreeAllParts(QzModel& model);
// A new light at the end of a list; null (after a box) when there is no memory.
QzLight* QzNewLight(std::vector<QzLight>& lights);
void QzNormaliseName(std::string& name);

// A copy of a line in a store, to be appended to the list of the part that owns the
// store; null when there is no memory. A comment (type 0) gets `text` as its text, inside
// the line when it has at most QZ_INLINE_TEXT characters, else in the store; other lines
// get none.
QzLine* QzNewLine(QzLineStore& store, const QzLine& copy, std::string_view text = {});
// The store's next chunk is made with room for that many lines (up to a limit), so that
// the lines of a file whose length is known take one allocation.
void QzExpectLines(QzLineStore& store, size_t lines);
// Frees every chunk of a store and empties it.
void QzReleaseStore(QzLineStore& store);
// Gives the room left in the store's newest chunk back to its arena when nothing was
// taken from the arena after it: for a part whose lines are all read, so that the room
// its file's lines were expected to need and did not serves the parts read next.
void QzTrimStore(QzLineStore& store);

// The vertex array of a part (new[] and delete[]); QzFreePart releases it with
// QzFreeVertices. QzAllocVertices replaces any previous array; false (and no array)
// when there is no memory.
bool QzAllocVertices(QzPart& part, int32_t count);
void QzFreeVertices(QzPart& part);
// Drops what the walks keep of a part (its lines changed).
void QzFreeDrawData(const QzPart& part);

// Gives entry 0 (the main model) a new name, keeping the name lookup in step.
void QzRenameMain(QzModel& model, std::string name);

// The record of a file reached through texture geometry ("0 !:" lines): the part of
// that name in the table when there is one, else one of the model's texture parts
// (made when new). Null, after a log entry, when there is no room or memory for it.
QzPart* QzFindTexturePart(QzModel& model, QzLogContext& log, const std::string& name);

// Records a colour number in the model's used list (once). 0 when it is in the list
// afterwards, -1 (after a box) when there was no memory.
int QzAddColour(QzModel& model, int32_t n);
