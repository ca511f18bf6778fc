// The high-quality drawing: the same model, view and switches as the normal drawing,
// made a different way. Every pixel is drawn as 2 x 2 samples and filtered down, faces
// and lines alike; faces are lit by a fixed light with normals averaged across the
// edges the model marks as smooth; transparent colours are blended by their alpha
// over what lies behind them, farthest first; edge lines are drawn half a pixel wide,
// and lighter on parts that are small on the screen. The drag previews and the
// decorations (model box, axes) stay those of the normal drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"
#include "hqmesh.h"
#include "measurements.h"
#include "model.h"

class QzRenderState;
struct QzZImage;

// The fixed light and how lines are drawn.
struct QzHqLook {
    // Towards the light, in screen space (x right, y down, z away from the viewer).
    float light[3] = {-0.40f, -0.70f, -0.59f};
    // A face turned to the light gets ambient + diffuse (1: its full colour).
    float ambient = 0.55f;
    float diffuse = 0.45f;
    // Edge lines are drawn in their colour on parts at least this many pixels across,
    // mixed towards the part's own colour on smaller ones, down to minimum.
    float fullLinePixels = 60.0f;
    float minimumLineWeight = 0.35f;
    // Width of edge lines in samples (2 samples: one pixel).
    int lineSamples = 1;
    // A light at a point instead (view space, LDraw units from the model's centre),
    // with a white highlight seen from an eye at eyeZ.
    bool positional = false;
    float lightPosition[3] = {626.5f, -628.2f, -1542.5f};
    float eyeZ = -934.0f;
    float gloss = 0.407f;
    float shininess = 50.6f;
    // The light's and the eye's positions in multiples of the model's radius.
    bool relative = false;
};

class QzHqRenderer {
  public:
    // Samples per pixel along each axis.
    static constexpr int kSamples = 2;

    // Draws the model into the state's image (cleared by the caller) with the
    // model-to-screen matrix, counting its work into statistics, and shows it.
    void Draw(QzRenderState& state, const QzModel& model, const QzMatrix& screen,
              QzDrawStatistics& statistics);

    QzHqLook look;

  private:
    struct Rgba {
        float r, g, b, a;  // 0..255, alpha 0..1
    };
    struct Instance {
        const QzHqMesh* mesh;
        QzMatrix matrix;  // part to samples
        int32_t colour;
        bool cull;
        bool invert;
        bool stud;  // a stud file drawn on its own: all of it is a stud
    };
    // What of an instance a pass draws: everything, all but its studs, or its studs
    // whose boxes are not hidden.
    enum class Pass { All, Body, Studs };
    struct Glass {
        float x[3], y[3], z[3], shade[3], gloss[3];
        Rgba colour;
        float depth;  // for sorting: the farthest corner's
    };

    void Walk(const QzPart* part, int32_t colour, const QzMatrix& m, bool cull, bool invert,
              bool top);
    void DrawInstance(const Instance& instance, Pass pass);
    void DrawGroup(const Instance& instance, const QzHqGroup& group);
    // Transformed position and lit normal of a mesh's vertex, made on first use.
    const QzVector& Position(uint32_t v);
    float Light(uint32_t n);
    bool BoxHidden(const QzHqGroup& group, const QzMatrix& m);

    void FillTriangle(const QzVector& a, const QzVector& b, const QzVector& c, const float shade[3],
                      const float gloss[3], const Rgba& colour);
    void BlendTriangle(const Glass& glass);
    void DrawSegment(const QzVector& a, const QzVector& b, float pull, uint32_t rgb);
    Rgba Resolve(int32_t number) const;
    int32_t Number(const QzHqColour& colour, int32_t instanceColour) const;
    void Resolve(QzZImage& image);

    // The drawing's state.
    QzRenderState* state_ = nullptr;
    QzHqMeshCache meshes_;
    QzDrawStatistics* statistics_ = nullptr;
    std::vector<Instance> studs_;
    std::vector<Glass> glass_;
    float offsetLimit_ = 0;
    float lightDir_[3] = {0, 0, 1};

    // The samples: colour (0xRRGGBB) and depth, width_ x height_.
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> colour_;
    std::vector<float> depth_;
    int32_t drawn_[4];  // x0, x1, y0, y1 of the samples written

    // Scratch of the instance being drawn.
    const Instance* instance_ = nullptr;
    double normalMatrix_[3][3];
    bool mirrored_ = false;
    std::vector<QzVector> positions_;
    std::vector<uint32_t> positionStamp_;
    std::vector<float> light_;
    std::vector<QzVector> unitNormals_;
    // Samples to view space: (sample / S - origin) / scale.
    float viewOrigin_[2] = {0, 0};
    float viewScale_ = 1;
    float radius_ = 1;
    std::vector<uint32_t> lightStamp_;
    uint32_t stamp_ = 0;
    // Colours of the instance: its own and a few others.
    int32_t cachedNumber_[8];
    Rgba cachedColour_[8];
    int cached_ = 0;
    float lineWeight_ = 1;
    Rgba instanceColour_{};
};

// The high-quality drawing of the state (its renderer, made on first use and kept in
// the state): what DrawModel does instead of the normal walk when the switch is on.
void QzDrawHighQuality(QzRenderState& state, const QzModel& model, const QzMatrix& screen);
