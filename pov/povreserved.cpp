#include <algorithm>
#include <iterator>
#include <string_view>

#include "povparts.h"

namespace {

// Words POV-Ray 3.7 refuses after "#declare": its reserved words and built-in
// identifiers made of letters and digits only; the others join words with a single "_",
// which an identifier made from a name never does. Each word here was tried against
// POV-Ray 3.7.0.10. Sorted, for the binary search.
// clang-format off
constexpr std::string_view kReserved[] = {
    "abs", "absorption", "accuracy", "acos", "acosh", "adaptive", "agate", "albedo", "all",
    "alpha", "altitude", "ambient", "angle", "anisotropy", "aoi", "aperture", "append", "array",
    "asc", "ascii", "asin", "asinh", "atan", "atan2", "atanh", "autostop", "average",
    "background", "blob", "blue", "bokeh", "box", "boxed", "bozo", "break", "brick",
    "brightness", "brilliance", "bumps", "camera", "case", "caustics", "ceil", "cells",
    "charset", "checker", "chr", "circular", "clock", "collect", "color", "colour", "component",
    "composite", "concat", "cone", "confidence", "control0", "control1", "coords", "cos",
    "cosh", "count", "crackle", "crand", "cube", "cubic", "cylinder", "cylindrical", "datetime",
    "debug", "declare", "default", "defined", "degrees", "density", "dents", "deprecated",
    "df3", "difference", "diffuse", "dimensions", "direction", "disc", "dispersion", "distance",
    "div", "dtag", "eccentricity", "else", "elseif", "emission", "end", "error", "evaluate",
    "exp", "exponent", "exr", "exterior", "extinction", "facets", "falloff", "false", "fclose",
    "filter", "finish", "fisheye", "flatness", "flip", "floor", "fog", "fopen", "for", "form",
    "frequency", "fresnel", "function", "gamma", "gather", "gif", "gradient", "granite", "gray",
    "green", "hdr", "hexagon", "hierarchy", "hollow", "hypercomplex", "if", "ifdef", "iff",
    "ifndef", "importance", "include", "inside", "int", "interior", "internal", "interpolate",
    "intersection", "intervals", "inverse", "ior", "irid", "isosurface", "jitter", "jpeg",
    "julia", "lambda", "lathe", "leopard", "ln", "local", "location", "log", "macro", "magnet",
    "mandel", "marble", "material", "matrix", "max", "media", "merge", "mesh", "mesh2",
    "metallic", "method", "metric", "min", "mod", "mortar", "no", "normal", "now", "object",
    "octaves", "off", "offset", "omega", "omnimax", "on", "once", "onion", "open", "orient",
    "orientation", "orthographic", "ovus", "panoramic", "parallel", "parametric", "pattern",
    "pavement", "perspective", "pgm", "phase", "phong", "photons", "pi", "pigment", "planar",
    "plane", "png", "poly", "polygon", "polynomial", "pot", "pow", "ppm", "precision",
    "precompute", "premultiplied", "prism", "prod", "pwr", "quadric", "quartic", "quaternion",
    "quilted", "radial", "radians", "radiosity", "radius", "rainbow", "rand", "range", "ratio",
    "read", "reciprocal", "red", "reflection", "refraction", "render", "repeat", "rgb", "rgbf",
    "rgbft", "rgbt", "right", "ripples", "rotate", "roughness", "samples", "scale",
    "scattering", "seed", "select", "shadowless", "sin", "sinh", "sint16be", "sint16le",
    "sint32be", "sint32le", "sint8", "size", "sky", "slice", "slope", "smooth", "solid", "sor",
    "spacing", "specular", "sphere", "spherical", "spiral1", "spiral2", "spline", "spotlight",
    "spotted", "sqr", "sqrt", "square", "srgb", "srgbf", "srgbft", "srgbt", "statistics",
    "steps", "str", "strcmp", "strength", "strlen", "strlwr", "strupr", "sturm", "substr",
    "subsurface", "sum", "superellipsoid", "switch", "sys", "t", "tan", "tanh", "target",
    "text", "texture", "tga", "thickness", "threshold", "tiff", "tightness", "tile2", "tiles",
    "tiling", "tolerance", "toroidal", "torus", "trace", "transform", "translate",
    "translucency", "transmit", "triangle", "triangular", "true", "ttf", "turbulence", "type",
    "u", "uint16be", "uint16le", "uint8", "undef", "union", "up", "utf8", "v", "val",
    "variance", "vcross", "vdot", "version", "vlength", "vnormalize", "vrotate", "vstr",
    "vturbulence", "warning", "warp", "waves", "while", "width", "wood", "wrinkles", "write",
    "x", "xyz", "y", "yes", "z",
};
// clang-format on

static_assert(std::is_sorted(std::begin(kReserved), std::end(kReserved)));

// Names the scene itself declares; a part of the same name would replace them.
constexpr std::string_view kSceneNames[] = {
    "AMB", "BUMPNORMAL", "BUMPS", "DIF", "O7071", "QUAL", "STUDS", "SW",
};

}  // namespace

bool PovIsReservedIdentifier(std::string_view id) {
    if (std::binary_search(std::begin(kReserved), std::end(kReserved), id)) return true;
    if (std::find(std::begin(kSceneNames), std::end(kSceneNames), id) != std::end(kSceneNames))
        return true;
    // The colour materials: "Color" and a number.
    return id.size() > 5 && id.substr(0, 5) == "Color" && id[5] >= '0' && id[5] <= '9';
}
