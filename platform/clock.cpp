#include "clock.h"

#include <chrono>

#include "format.h"

namespace plat {

namespace {

TimeSource timeSource = nullptr;

std::time_t Now() { return timeSource != nullptr ? timeSource() : std::time(nullptr); }

bool LocalTime(std::time_t t, std::tm& out) { return localtime_r(&t, &out) != nullptr; }

}  // namespace

uint32_t TickCount() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(static_cast<uint64_t>(ms.count()));
}

std::string TimeOfDay() {
    std::tm tm{};
    if (!LocalTime(Now(), tm)) return "00:00:00";
    return Format("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::string DateText() { return DateText(Now()); }

// Day and month names are written from fixed tables rather than through strftime, so
// that a locale set by a user interface never changes the text.
std::string DateText(std::time_t t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    if (!LocalTime(t, tm) || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 || tm.tm_mon > 11)
        return "Thu Jan 01 00:00:00 1970";
    return Format("%s %s %02d %02d:%02d:%02d %d", kDays[tm.tm_wday], kMonths[tm.tm_mon], tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
}

void SetTimeSource(TimeSource source) { timeSource = source; }

}  // namespace plat
