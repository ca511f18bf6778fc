// What every part of the POV-Ray scene writer shares: the export options, the results,
// the state of one export (PovScene), and the text output, where every "\n" of a
// template goes out as CR LF and every number is checked on its way into the scene.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "colours.h"
#include "geometry.h"
#include "model.h"

// Option flags.
inline constexpr uint32_t POV_CAMERA_GLOBE = 0x01;  // camera given as latitude, longitude, radius
inline constexpr uint32_t POV_PRIMITIVES = 0x04;    // known primitives become POV-Ray shapes

struct PovExportOptions {
    float cameraLatitude;
    float cameraLongitude;
    float cameraRadius;
    float background[3];
    int32_t modelColour;
    float cameraAngle;  // 0: replaced by the angle that fits a 4:3 picture
    float seamWidth;
    int32_t quality;
    uint32_t flags;
};

inline constexpr PovExportOptions kPovDefaultOptions{
    30.0f, 45.0f, 0.0f, {0.0f, 0.0f, 0.0f}, 7, 0.0f, 0.5f, 2, POV_CAMERA_GLOBE | POV_PRIMITIVES};

// Results of one export.
inline constexpr int POV_OK = 0;
inline constexpr int POV_ERROR = -1;
inline constexpr int POV_EMPTY = -2;
// The output file could not be opened; nothing was written.
inline constexpr int POV_NOT_OPENED = -3;
// The model's numbers do not fit a scene (camera or lights out of range); the file
// is left as it was.
inline constexpr int POV_TOO_LARGE = -4;

// The camera of one export.
struct PovCameraState {
    QzVector direction;  // D: unit viewing direction, from the camera towards the model
    QzVector normal[4];  // N0..N3: inward normals of the top, bottom and side planes
    float minimum[4];    // m0..m3: smallest Ni.p over the model's points
    QzVector centre;     // B: model centre
    QzVector location;   // L
    QzVector lookAt;     // A
};

// One export of a model onto a stream: its options, its camera, its lights (the
// model's, then the default ones), the working figures of every part written, the
// colours declared so far, and whether a number did not fit the scene. The model is
// only read.
class PovScene {
  public:
    PovScene(std::ostream& stream, const QzModel& model, const QzPalette& palette,
             const PovExportOptions& options);

    // The figures of a part in this export; all zero until it is declared.
    struct PartFigures {
        bool exported = false;
        int32_t povObjects = 0;
        int32_t povNonStudObjects = 0;
        int32_t studCount = 0;
        int32_t frameLevelObjects = 0;
    };
    PartFigures& Figures(const QzPart* part) { return figures_[part]; }
    const PartFigures* FindFigures(const QzPart* part) const;

    std::ostream& stream;
    const QzModel& model;
    const QzPalette& palette;
    PovExportOptions options;
    PovCameraState camera{};
    std::vector<QzLight> lights;
    // Colour numbers whose material is in the scene.
    std::unordered_set<int32_t> declaredColours;
    // Where the global block starts, so that an abandoned export can overwrite it.
    std::streampos globalsPosition = -1;
    // Set when a number that is not finite was to be written, or a camera that POV-Ray
    // refuses: POV-Ray reads no "inf" or "nan", so the export fails instead of writing
    // a scene that does not parse.
    bool outOfRange = false;

  private:
    std::unordered_map<const QzPart*, PartFigures> figures_;
};

// Writes text with every line feed written as carriage return and line feed.
void PovPut(std::ostream& out, std::string_view text);
inline void PovPut(PovScene& scene, std::string_view text) { PovPut(scene.stream, text); }
// plat::Format, then PovPut.
void PovPrintf(std::ostream& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void PovPrintf(PovScene& scene, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Text for the inside of a "//" comment line: POV-Ray ends such a comment at a carriage
// return or a line feed and would read the rest as scene code, so both become blanks.
std::string PovCommentText(std::string_view text);

// A number on its way into the scene, unchanged; notes when it is not finite.
double PovChecked(PovScene& scene, double value);
// "<x,y,z>" with each number as %g, checked.
std::string PovVector(PovScene& scene, float x, float y, float z);
std::string PovVector(PovScene& scene, const QzVector& v);
