// Texture mapping: the "!TEXMAP" meta-command that lays a PNG image onto the faces of a
// file, the "0 !:" lines that only a reader with textures takes as geometry, and the
// images themselves, embedded in the model's own file ("!DATA" sections of base64
// lines) or found in the "textures" folders of the library and of the model.
//
// A reader without textures reads all of these as comments, and so does every
// drawing, count and report but the high-quality drawing: what a reader with textures
// sees of a file is kept beside its lines (QzTexturedLines), for the walks that ask for
// it (QzWalkRules::textures).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

// How an image is laid onto the faces (the methods of "!TEXMAP").
enum class QzTexmapMethod : uint8_t { Planar, Cylindrical, Spherical };

// The largest image decoded, in pixels (64 megapixels): a bigger one is refused before
// any pixel is decoded.
inline constexpr uint64_t QZ_MAX_TEXTURE_PIXELS = uint64_t{64} * 1024 * 1024;
// The warning level of notes on texture mapping that leave the picture as it should be:
// a "!TEXMAP" block left open at the end of its file (the standard ends it there), and
// a file of texture geometry not found (the block is drawn as without textures). Logged
// only when the log's warning level is raised to it.
inline constexpr int QZ_TEXMAP_NOTE_LEVEL = 1;

// Open texture blocks of one file at most; a deeper START is left out.
inline constexpr int QZ_MAX_TEXMAP_DEPTH = 16;

// A decoded image: 8-bit red, green, blue and alpha (the colours multiplied by the
// alpha), rows from the top, and a chain of halved copies for faces that show it small;
// with the name it was found by and the PNG file it was decoded from.
struct QzImage {
    struct Level {
        int width = 0, height = 0;
        std::vector<uint8_t> rgba;
    };
    // Level 0 is the image itself; each further one half as wide and high (at least
    // one pixel), down to a single pixel.
    std::vector<Level> levels;
    std::string name;
    std::string png;
    int Width() const { return levels.empty() ? 0 : levels[0].width; }
    int Height() const { return levels.empty() ? 0 : levels[0].height; }
};

// Decodes a PNG file's bytes into an image with its halved copies. False, with the
// reason in `error`, for data that is not a PNG, a damaged one, or one of more than
// QZ_MAX_TEXTURE_PIXELS.
bool QzDecodePng(std::string_view bytes, QzImage& image, std::string& error);

// Decodes base64 (RFC 4648, "=" padding optional, no other characters); false for
// anything else.
bool QzDecodeBase64(std::string_view text, std::string& out);

// Whether an image name stays inside the folders it is looked for in: relative, and no
// component "..".
bool QzSafeTextureName(std::string_view name);

// One "!TEXMAP START" or "!TEXMAP NEXT": the method with its points and angles in the
// coordinates of the file that holds it, the image it names and, after the load, the
// image itself.
struct QzTexmap {
    QzTexmapMethod method = QzTexmapMethod::Planar;
    double p[3][3] = {};
    // Degrees: CYLINDRICAL's extent around the axis; SPHERICAL's extents in longitude
    // (a) and latitude (b).
    double a = 0, b = 0;
    std::string name;
    std::string glossmap;
    // Where the command stands, for the warnings of the image's lookup.
    uint32_t lineNo = 0;
    std::string lineText;
    // The image, once found and decoded (null: none); whether the lookup was made, and
    // whether it came from the model's own "!DATA" section (looked up again at every
    // load, as that file may have changed).
    std::shared_ptr<const QzImage> image;
    bool looked = false;
    bool fromData = false;
};

// Parses the words after "!TEXMAP START" or "!TEXMAP NEXT": the method, its nine
// coordinates, its angles, the image and an optional "GLOSSMAP" image. False for
// anything else.
bool QzParseTexmap(std::string_view args, QzTexmap& texmap);

// The point of the image (u to the right, v down, 0 to 1 across it) that a point in the
// coordinates of the texmap's file takes. False where the method lays no image
// (outside the extents, or points on the axis or at the centre).
bool QzTexmapProject(const QzTexmap& texmap, const double point[3], double& u, double& v);

// The period of u around a curved mapping (360 / its extent), 0 for PLANAR: a face whose
// corners lie on both sides of the seam takes its corners' u this far apart.
double QzTexmapPeriod(const QzTexmap& texmap);

// What a reader with textures reads of one file that has texture mapping in it: its
// lines of types 1 to 5 in order, the "0 !:" geometry among them, each with the block of
// the file it stands in and the texture mapping that covers it.
//
// A block is read as a reader with textures reads it (its START section, "0 !:" lines
// included, textured; its FALLBACK section left out) when it can be: its START line was
// read, its image was found and every file its geometry references was found. Otherwise
// it is read as a reader without textures reads it, so that a broken texture leaves the
// part as it was before.
struct QzTexturedLines {
    QzTexturedLines() = default;
    ~QzTexturedLines();
    QzTexturedLines(const QzTexturedLines&) = delete;
    QzTexturedLines& operator=(const QzTexturedLines&) = delete;

    // Where a line stands in its block.
    enum class Side : uint8_t {
        Both,      // seen by both readers (the START section's lines of types 1 to 5)
        Textured,  // only by a reader with textures ("0 !:" lines)
        Fallback,  // only by a reader without (the FALLBACK section)
    };
    struct Block {
        uint16_t texmap = 0;     // 1 + its index in texmaps; 0 for a START line not read
        uint16_t parent = 0;     // the block it stands in (1 + its index), 0 for none
        Side side = Side::Both;  // where it stands in that one
        bool missingGeometry = false;
        bool usable = false;  // worked out once the images are looked up
    };
    struct Entry {
        const QzLine* line;
        // 1 + the index in texmaps; 0: none of its own (a reference passes on the one
        // its file is placed with).
        uint16_t texmap;
        uint16_t block;  // 1 + the index in blocks; 0 for a line outside any block
        Side side;
    };
    std::vector<QzTexmap> texmaps;
    std::vector<Block> blocks;
    std::vector<Entry> lines;
    // The "0 !:" geometry, owned here (a list through QzLine::next); a reference among
    // them is found by name once the file is read (referenceNames, referenceBlocks).
    QzLine* own = nullptr;
    QzLine** ownTail = &own;
    QzLineStore ownStore;
    std::vector<std::string> referenceNames;
    std::vector<std::string> referenceTexts;  // the lines as read, for the log
    std::vector<uint16_t> referenceBlocks;
    std::vector<QzLine*> references;

    // Whether a reader with textures reads the line, by the blocks it stands in.
    bool Seen(const Entry& entry) const;
    // Works out which blocks are read with textures (after the images were looked up);
    // true when that changed for any.
    bool Settle();
};