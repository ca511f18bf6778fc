#include <algorithm>
#include <iterator>
#include <string_view>

#include "povparts.h"

namespace {

// Words POV-Ray 3.7 refuses after "#declare": its reserved words and built-in
// identifiers made of lower-case letters and digits only (the only ones a part name
// can turn into). Sorted.
constexpr std::string_view kReserved[] = {
    "box",
};

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
