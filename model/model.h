// The in-memory model: the part table (entry 0 is the main model, the rest is the
// parts cache between loads), the stored lines of each part and the light list.
// All of it is program-wide state of the reader, declared here in one place.
#pragma once

#include <cstdint>
#include <string>

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
inline constexpr uint32_t PF_EXPORTED = 0x040;
inline constexpr uint32_t PF_INTERNAL = 0x080;
inline constexpr uint32_t PF_STUD = 0x100;
inline constexpr uint32_t PF_TRANSPARENT = 0x200;

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

struct QzPart {
    // Entry 0: the model path as given; others: the normalised reference name;
    // transform blocks: "QzTransf%d".
    std::string name;
    QzLine* lines;
    // Working fields of the POV export; zero when the record is created.
    int32_t povObjects;
    int32_t povNonStudObjects;
    int32_t studCount;
    int32_t frameLevelObjects;
    QzBox box;
    QzBox boxNoStuds;
    // Distinct vertices, built by the renderer; null until then.
    QzVector* vertices;
    int32_t vertexCount;
    uint32_t flags;
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
    QzLine* next;
    // Type 1: the referenced part.
    QzPart* part;
    // Type 0: the comment text; points into p or to an owned heap copy.
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

// ---- Program-wide state ----
extern QzPart QzParts[QZ_MAX_PARTS];
extern int QzPartCount;

extern QzLight* QzLights;
extern int QzLightCount;
extern int QzLightCapacity;

extern const char* const QzStudNames[19];

// Whether the "Sorry, max 2000 parts." box has been shown since the start of the load
// (QzReadModel clears it): a model with many parts too many shows it once, and the
// input log names each part left out.
extern bool QzTableFullShown;

// ---- Operations ----
QzPart* QzFindPart(bool internal, const std::string& name);
void QzFreePart(QzPart* part);
void QzFreeLines(QzPart* part);
void QzFreeAllParts();
QzLight* QzNewLight();
void QzFreeLights();
void QzNormaliseName(std::string& name);

// Sets a type-0 line's text: inline when short enough, else an owned heap copy.
// Returns false when the copy cannot be made.
bool QzSetLineText(QzLine& line, const char* text, size_t length);
// Whether a type-0 line's text is an owned heap copy.
bool QzLineTextIsHeap(const QzLine& line);

// A heap copy of a line, to be appended to a part's list; null when there is no
// memory. An inline text is re-pointed into the new line's own area; a heap text is
// taken over by the new line (only the new line frees it afterwards, through
// QzFreeLines). Every stored line is a single `new` allocation, as QzFreeLines
// deletes them.
QzLine* QzNewLine(const QzLine& copy);

// The vertex array of a part (new[] and delete[]); the renderer allocates through
// here because QzFreePart releases the array with QzFreeVertices. QzAllocVertices
// replaces any previous array; false (and no array) when there is no memory.
bool QzAllocVertices(QzPart& part, int32_t count);
void QzFreeVertices(QzPart& part);

// Frees the whole table and the light list and resets the model's program-wide
// state to what it is at start-up; for tests and for a clean exit.
void QzResetModelState();
