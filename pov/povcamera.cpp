#include "povcamera.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <utility>

#include "loader.h"
#include "model.h"

namespace {

// 2 atan(2/3) in degrees: the horizontal angle at which a 4:3 picture is 2 by 1.5
// units wide at distance 1.5.
constexpr float kFittingAngle = 67.380135f;
constexpr double kPi = 3.14159265358979323846;
constexpr float kNoMinimum = 1000000.0f;
constexpr float kTiny = 1.0e-20f;

constexpr QzVector kUp{0.0f, -1.0f, 0.0f};

// (Latitude, longitude) of the default lights; radius 0 puts them at the camera's
// distance from the model centre.
constexpr float kDefaultLights[3][2] = {{45.0f, 0.0f}, {30.0f, 120.0f}, {60.0f, -120.0f}};

// POV-Ray refuses a camera less than 1e-5 from its look-at point. The distance a camera
// keeps at least: twice that, and enough for the two points to stay apart in the six
// digits they are written with, however far from the origin the model lies.
double SmallestCameraDistance(const QzVector& lookAt) {
    const double far = std::max({std::fabs(lookAt.x), std::fabs(lookAt.y), std::fabs(lookAt.z)});
    return std::max(2.0e-5, 1.0e-4 * far);
}

}  // namespace

void PovCameraSetup(PovScene& scene) {
    PovExportOptions& o = scene.options;
    if (o.cameraAngle == 0.0f) o.cameraAngle = kFittingAngle;
    PovCameraState& c = scene.camera;
    QzDirectionFromAngles(o.cameraLatitude, o.cameraLongitude, c.direction);
    const QzVector& d = c.direction;

    QzVector u, v, uHat{}, vHat{};
    QzVecCross(u, d, kUp);
    QzVecCross(v, u, d);
    QzVecNormalise(uHat, u);
    QzVecNormalise(vHat, v);
    const double side = 1.0 / std::tan(double(o.cameraAngle) * kPi / 360.0);
    QzVecAddScaled(c.normal[2], d, -side, uHat);
    QzVecAddScaled(c.normal[3], d, side, uHat);
    // The picture is 4:3: the vertical half-angle's tangent is 3/4 of the horizontal one.
    const double upright = side * 4.0 / 3.0;
    QzVecAddScaled(c.normal[0], d, -upright, vHat);
    QzVecAddScaled(c.normal[1], d, upright, vHat);
    for (float& m : c.minimum) m = kNoMinimum;
}

void PovCameraAccumulate(PovCameraState& camera, const QzVector& p) {
    for (int i = 0; i < 4; ++i) {
        const float value = float(QzVecDot(camera.normal[i], p));
        if (value < camera.minimum[i]) camera.minimum[i] = value;
    }
}

void PovCollectCameraPoints(PovScene& scene, const QzPart& model) {
    // The loader's bounds walk over the model's own lines: the transformed box corners
    // of every non-empty referenced part and the vertices of the other lines come here.
    QzBoundsPoints(model, [&scene](const QzVector& p) { PovCameraAccumulate(scene.camera, p); });
}

void LuDecompose(float a[6][6], int pivots[6]) {
    constexpr int n = 6;
    float scale[n];
    for (int i = 0; i < n; ++i) {
        float big = 0.0f;
        for (int j = 0; j < n; ++j) big = std::max(big, std::fabs(a[i][j]));
        // A row of zeros cannot come from the camera's planes; keep it harmless anyway.
        scale[i] = big == 0.0f ? 0.0f : 1.0f / big;
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            float sum = a[i][j];
            for (int k = 0; k < i; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
        }
        float big = 0.0f;
        int pivot = j;
        for (int i = j; i < n; ++i) {
            float sum = a[i][j];
            for (int k = 0; k < j; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
            const float weight = scale[i] * std::fabs(sum);
            if (weight >= big) {
                big = weight;
                pivot = i;
            }
        }
        if (pivot != j) {
            for (int k = 0; k < n; ++k) std::swap(a[pivot][k], a[j][k]);
            scale[pivot] = scale[j];
        }
        pivots[j] = pivot;
        if (a[j][j] == 0.0f) a[j][j] = kTiny;
        if (j < n - 1) {
            for (int i = j + 1; i < n; ++i) a[i][j] /= a[j][j];
        }
    }
}

void LuBackSubstitute(const float a[6][6], const int pivots[6], float b[6]) {
    constexpr int n = 6;
    int first = -1;
    for (int i = 0; i < n; ++i) {
        const int p = pivots[i];
        float sum = b[p];
        b[p] = b[i];
        if (first >= 0) {
            for (int j = first; j < i; ++j) sum -= a[i][j] * b[j];
        } else if (sum != 0.0f) {
            first = i;
        }
        b[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        float sum = b[i];
        for (int j = i + 1; j < n; ++j) sum -= a[i][j] * b[j];
        b[i] = sum / a[i][i];
    }
}

void PovWriteCamera(PovScene& scene) {
    PovCameraState& c = scene.camera;
    const PovExportOptions& o = scene.options;
    const QzVector& d = c.direction;
    c.lookAt = c.centre;

    // Unknowns: P (0-2) against the top and bottom planes, Q (3-5) against the sides,
    // and w = Q - P parallel to D.
    float a[6][6] = {};
    float b[6] = {c.minimum[0], c.minimum[1], c.minimum[2], c.minimum[3], 0.0f, 0.0f};
    for (int i = 0; i < 2; ++i) {
        a[i][0] = c.normal[i].x;
        a[i][1] = c.normal[i].y;
        a[i][2] = c.normal[i].z;
        a[i + 2][3] = c.normal[i + 2].x;
        a[i + 2][4] = c.normal[i + 2].y;
        a[i + 2][5] = c.normal[i + 2].z;
    }
    // Each parallelism row is (coefficient of w's first axis, first axis, coefficient
    // of w's second axis, second axis): cf * w[f] + cs * w[s] = 0.
    auto parallel = [&](float* row, char which) {
        int f = 0, s = 0;
        float cf = 0, cs = 0;
        switch (which) {
            case 'X':
                f = 1, cf = d.z, s = 2, cs = -d.y;
                break;  // Dz wy - Dy wz
            case 'Y':
                f = 0, cf = d.z, s = 2, cs = -d.x;
                break;  // Dz wx - Dx wz
            default:
                f = 0, cf = d.y, s = 1, cs = -d.x;
                break;  // Dy wx - Dx wy
        }
        row[f] = -cf;
        row[3 + f] = cf;
        row[s] = -cs;
        row[3 + s] = cs;
    };
    if (d.x == 0.0f) {
        parallel(a[4], 'X');
        parallel(a[5], d.y == 0.0f ? 'Y' : 'Z');
    } else {
        parallel(a[4], 'Y');
        parallel(a[5], (d.y == 0.0f && d.z != 0.0f) ? 'X' : 'Z');
    }
    int pivots[6];
    LuDecompose(a, pivots);
    LuBackSubstitute(a, pivots, b);
    const QzVector p{b[0], b[1], b[2]};
    const QzVector q{b[3], b[4], b[5]};
    QzVector w;
    QzVecSub(w, q, p);
    c.location = QzVecDot(w, d) > 0.0 ? p : q;

    QzVector toCentre;
    QzVecSub(toCentre, c.centre, c.location);
    QzVecAddScaled(c.lookAt, c.location, QzVecDot(toCentre, d), d);
    // A model too small for its fitted camera to stand apart from the look-at point is
    // seen from the smallest distance that works; the look-at point stays.
    QzVector offset;
    QzVecSub(offset, c.location, c.lookAt);
    const double least = SmallestCameraDistance(c.lookAt);
    if (QzVecLength(offset) < least) QzVecAddScaled(c.location, c.lookAt, -least, d);

    // POV-Ray refuses a camera that stands on its look-at point, as it does when the
    // two are equal as written (a model tiny against its distance from the origin).
    if (PovVector(scene, c.location) == PovVector(scene, c.lookAt)) scene.outOfRange = true;
    PovPrintf(scene, "\n// Camera");
    PovPrintf(scene, " (Latitude,Longitude,Radius = %g,%g,%g)", double(o.cameraLatitude),
              double(o.cameraLongitude), double(o.cameraRadius));
    QzVector view;
    QzVecSub(view, c.location, c.lookAt);
    const double percent = 0.0;
    PovPrintf(scene,
              "\ncamera {\n\t#declare PCT = %g; // Percentage further away\n"
              "\t#declare STEREO = 0; // Normal view\n"
              "\t//#declare STEREO =  degrees(atan2(1,12))/2; // Left view\n"
              "\t//#declare STEREO = -degrees(atan2(1,12))/2; // Right view\n"
              "\tlocation vaxis_rotate(%s",
              percent, PovVector(scene, c.location).c_str());
    PovPrintf(scene, " + PCT/100.0*%s,\n", PovVector(scene, view).c_str());
    QzVector across, upright;
    QzVecCross(across, view, kUp);
    QzVecCross(upright, across, view);
    PovPrintf(scene, "\t                      %s,STEREO)\n", PovVector(scene, upright).c_str());
    PovPrintf(scene,
              "\tsky      -y\n\tright    -4/3*x\n\tlook_at  %s\n\tangle    %g\n"
              "\trotate   <0,1e-5,0> // Prevent gap between adjecent quads\n"
              "\t//orthographic\n}\n",
              PovVector(scene, c.lookAt).c_str(), double(o.cameraAngle));
}

bool PovAddDefaultLights(PovScene& scene) {
    for (const auto& angles : kDefaultLights) {
        QzLight* light = QzNewLight(scene.lights);
        if (!light) return false;
        *light = QzLight{{angles[0], angles[1], 0.0f}, 0.0f, {1.0f, 1.0f, 1.0f}, 0.0f, 1u};
    }
    return true;
}

void PovWriteLights(PovScene& scene) {
    const PovCameraState& c = scene.camera;
    QzVector distance;
    QzVecSub(distance, c.lookAt, c.location);
    const double cameraDistance = QzVecLength(distance);
    PovPut(scene, "\n// Lights:\n");
    for (const QzLight& light : scene.lights) {
        PovPut(scene, "light_source {\n\t");
        float radius = light.placement[2];
        if (!(radius > 0.0f)) radius = float((1.0 - radius / 100.0) * cameraDistance);
        QzVector direction, position;
        QzDirectionFromAngles(light.placement[0], light.placement[1], direction);
        QzVecAddScaled(position, c.centre, -double(radius), direction);
        PovPrintf(scene, "%s  // Latitude,Longitude,Radius: %g,%g,%g",
                  PovVector(scene, position).c_str(), double(light.placement[0]),
                  double(light.placement[1]), PovChecked(scene, radius));
        PovPrintf(scene, "\n\tcolor rgb %s\n}\n",
                  PovVector(scene, light.colour[0], light.colour[1], light.colour[2]).c_str());
    }
    PovPut(scene, "\n");
}
