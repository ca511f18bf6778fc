// libFuzzer target for the number reader: the short decimal forms it reads its own way
// must give exactly what the general parser gives, value and end alike, for every text.
// Each input is read as a run of numbers until one fails, and as the end of a line of
// type 1 whose numbers the line's scanner reads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tokens.h"

namespace {

bool SameBits(float a, float b) {
    uint32_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

// The numbers of a line that the input ends are what QzScanNumber reads one after the
// other, however the line's scanner reads them.
void CheckLine(std::string_view text) {
    std::string line = "1 16 ";
    line.append(text);
    const QzScannedLine scan = QzScanLine(line);
    size_t pos = 4;
    int fields = 2;
    for (const float number : scan.numbers) {
        float expected = 0;
        if (!QzScanNumber(line, pos, expected)) break;
        ++fields;
        if (!SameBits(number, expected)) std::abort();
    }
    if ((scan.fields < 14 ? scan.fields : 14) != fields) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckLine(text);
    size_t fastPos = 0, generalPos = 0;
    for (;;) {
        float fast = 0, general = 0;
        const bool fastRead = QzScanNumber(text, fastPos, fast);
        const bool generalRead = QzScanNumberGeneral(text, generalPos, general);
        if (fastRead != generalRead || fastPos != generalPos) std::abort();
        if (!fastRead) return 0;
        if (!SameBits(fast, general)) std::abort();
    }
}
