// The state of the keyboard's Caps Lock, Num Lock and Scroll Lock, where the window
// system tells it.
#pragma once

#include <optional>

namespace app {

struct KeyboardLocks {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Nothing when the window system does not tell (offscreen, Wayland).
std::optional<KeyboardLocks> ReadKeyboardLocks();

}  // namespace app
