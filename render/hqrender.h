// The high-quality drawing: the same model, view and switches as the normal drawing,
// made a different way. Every pixel is drawn as 2 x 2 samples and filtered down, faces
// and lines alike; faces are lit by a light placed beside the eye, with normals averaged across the
// edges the model marks as smooth; transparent colours are blended by their alpha
// over what lies behind them, farthest first; edge lines are drawn a pixel wide,
// and lighter on parts that are small on the screen. Faces with texture mapping show
// their images (filtered bilinearly, from a halved copy where the image is shown small),
// their own colour wherever the image is transparent or absent; the finishes of
// LDConfig.ldr's colours are drawn (chrome, metal, pearl, rubber, glitter and speckle
// grains). The drag previews and the decorations (model box, axes) stay those of the
// normal drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "drawdata.h"
#include "drawlist.h"
#include "geometry.h"
#include "largepages.h"
#include "measurements.h"
#include "model.h"
#include "partmesh.h"

class QzRenderState;
struct QzZImage;

// The most placements the high-quality drawing walks: it keeps an instance of every part
// placed (some 100 bytes each) until the picture is drawn.
inline constexpr uint64_t QZ_MAX_HQ_PLACEMENTS = 1'000'000;

// The light and how lines are drawn (chosen so that pictures come close to those of
// today's LDraw viewers).
struct QzHqLook {
    // The light stands this far (model units) right of and above an eye placed where a
    // camera with this field of view (degrees, across the picture's height) would just
    // take in everything drawn. Each part is lit from that spot as seen from its own
    // middle, one direction for all its faces. Big models are so lit nearly from the
    // front, small ones more from the upper right.
    float lightRight = 300.0f;
    float lightUp = 300.0f;
    float fieldOfView = 30.0f;
    // A face gets ambient + diffuse x |n . light|, at most its full colour: the side
    // turned away from the light is lit like the side turned to it.
    float ambient = 0.65f;
    float diffuse = 0.6f;
    // A white highlight of gloss x |r . eye|^shininess, r the light reflected by the
    // face, at most gloss.
    float gloss = 0.25f;
    float shininess = 8.0f;
    // Edge lines are drawn in their colour on parts at least this many pixels across,
    // mixed towards the part's own colour on smaller ones, down to minimum.
    float fullLinePixels = 60.0f;
    float minimumLineWeight = 0.75f;
    // Width of edge lines in samples (2 samples: one pixel).
    int lineSamples = 2;
};

class QzHqRenderer {
  public:
    // Samples per pixel along each axis.
    static constexpr int kSamples = 2;

    // Draws the job into the image (cleared by the caller), counting its work into
    // statistics. The samples are split into bands of rows, one thread each (the job's
    // threads); the picture is the same for any number of threads. The caller shows it.
    QzDrawOutcome Draw(const QzDrawJob& job, QzZImage& image, QzDrawStatistics& statistics);

    QzHqLook look;

  private:
    struct Rgba {
        float r, g, b, a;  // 0..255, alpha 0..1
    };
    // What of an instance a pass draws: everything, all but its studs, or its studs
    // whose boxes are not hidden.
    enum class Pass : uint8_t { All, Body, Studs };
    struct Instance {
        const QzPartMesh* mesh;
        QzMatrix matrix;  // part to samples
        int32_t colour;
        bool cull;
        bool invert;
        bool stud;  // a stud file drawn on its own: all of it is a stud
        Pass pass;
        // The texture mapping its faces without one of their own take from the file
        // that placed it (1 + its index in inherited_), 0 for none.
        uint32_t inherited;
        bool faded;  // of an earlier building step: drawn lighter
        // The sample rows its groups' boxes cover (SortAndAim), for sharing rows among
        // threads and passing over what misses a band.
        float top = 0, bottom = 0;
    };
    // How a colour's finish draws: the light it takes, its highlight (white, or in the
    // colour's own hue for metals), a mirror's bright-above dark-below, and its grains.
    struct Material {
        float ambient, diffuse, gloss, shininess;
        float glossFloor;  // below this |r . eye| the highlight adds nothing visible
        float tint;        // 0: white highlight, 1: in the colour's hue
        float mirror;
        QzGrains grains;
        Rgba grain;
        float fraction, minSize, maxSize;
        // The look's own light and nothing else: drawn the plain way.
        bool plain;
    };
    // The drawing of one band of sample rows, and the walk that finds the instances
    // (hqrender.cpp).
    class Band;
    class Finder;

    void Add(const Instance& instance);
    // Sizes the samples for the image and works out the drawing's constants; false
    // when there is no memory for the samples.
    bool Prepare(const QzZImage& image, const QzMatrix& screen);
    // Orders the instances nearest first and places the eye and the light by their boxes
    // (on up to `threads` threads), keeping in each the rows it covers.
    void SortAndAim(const QzMatrix& screen, const QzZImage& image, int threads);
    // Draws the instances in bands of rows, one thread each, into the image.
    void DrawBands(QzZImage& image, int threads);
    // Places the eye and the light for what the walk found, within the box lo to hi (in
    // samples, depth scaled like x and y), drawn on a picture of this aspect at this many
    // pixels per model unit.
    void AimLight(const double lo[3], const double hi[3], double scale, double aspect);
    Rgba Resolve(int32_t number) const;
    Material MaterialOf(int32_t number) const;
    int32_t Number(const QzMeshColour& colour, int32_t instanceColour) const;

    // The drawing.
    const QzDrawJob* job_ = nullptr;
    // The main model's own lines up to a building step's end, for one drawing, and with
    // earlier steps faded, those of the earlier steps.
    QzPartMesh stepMesh_;
    QzPartMesh fadedMesh_;
    QzDrawStatistics* statistics_ = nullptr;
    // What the walk found to draw, in order; the studs after everything else.
    std::vector<Instance> instances_;
    std::vector<Instance> studs_;
    // Texture mappings instances take from the files that placed them.
    std::vector<QzMeshTexture> inherited_;
    float offsetLimit_ = 0;
    // Where the light and the eye stand, in samples (x right, y down, z away from the
    // viewer, depth scaled like x and y).
    float lightPoint_[3] = {0, 0, -1.0e20f};
    float eyePoint_[3] = {0, 0, -1.0e20f};
    // Below this |r . eye| the highlight adds less than a quarter of a level: none.
    float glossFloor_ = 2.0f;

    // The samples: colour (0xRRGGBB) and depth, width_ x height_.
    int width_ = 0, height_ = 0;
    plat::ByteBuffer samples_;
    uint32_t* colour_ = nullptr;
    float* depth_ = nullptr;
};

// The high-quality drawing of a job into the state's image (its high-quality renderer
// made on first use and kept in the state), shown when done: what DrawModel does instead
// of the normal drawing when the switch is on.
QzDrawOutcome QzDrawHighQuality(QzRenderState& state, const QzDrawJob& job);
