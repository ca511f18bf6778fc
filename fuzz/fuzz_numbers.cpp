// libFuzzer target for the number reader: the short decimal forms it reads its own way
// must give exactly what the general parser gives, value and end alike, for every text.
// Each input is read as a run of numbers until one fails.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t fastPos = 0, generalPos = 0;
    for (;;) {
        float fast = 0, general = 0;
        const bool fastRead = QzScanNumber(text, fastPos, fast);
        const bool generalRead = QzScanNumberGeneral(text, generalPos, general);
        if (fastRead != generalRead || fastPos != generalPos) std::abort();
        if (!fastRead) return 0;
        uint32_t a, b;
        std::memcpy(&a, &fast, sizeof a);
        std::memcpy(&b, &general, sizeof b);
        if (a != b) std::abort();
    }
}
