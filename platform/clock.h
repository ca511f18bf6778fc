// Millisecond clock and local time texts.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace plat {

// Milliseconds since an arbitrary start; wraps at 2^32.
uint32_t TickCount();
// Local time of day, "hh:mm:ss".
std::string TimeOfDay();
// Local date and time in 24 characters: "Tue Dec 08 00:30:21 2026".
std::string DateText();
// The same text for a given time.
std::string DateText(std::time_t t);

// Replaces the source of the current time for the two texts above (tests); null
// restores the system clock.
using TimeSource = std::time_t (*)();
void SetTimeSource(TimeSource source);

}  // namespace plat
