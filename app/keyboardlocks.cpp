#include "keyboardlocks.h"

#include <QGuiApplication>

#ifdef ZARVEL_HAVE_X11
#include <QtGui/qguiapplication_platform.h>
#include <X11/XKBlib.h>
#endif

namespace app {

std::optional<KeyboardLocks> ReadKeyboardLocks() {
#ifdef ZARVEL_HAVE_X11
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->display()) return std::nullopt;
    Display* display = x11->display();
    // The keyboard's lock lights by name: their bit numbers differ between keymaps.
    auto bitOf = [display](const char* name) -> int {
        const Atom atom = XInternAtom(display, name, True);
        int index = -1;
        if (atom == None || !XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr))
            return -1;
        return index;
    };
    static const int caps = bitOf("Caps Lock");
    static const int num = bitOf("Num Lock");
    static const int scroll = bitOf("Scroll Lock");
    unsigned state = 0;
    if (XkbGetIndicatorState(display, XkbUseCoreKbd, &state) != Success) return std::nullopt;
    auto on = [state](int bit) { return bit >= 0 && (state & (1u << bit)) != 0; };
    return KeyboardLocks{on(caps), on(num), on(scroll)};
#else
    return std::nullopt;
#endif
}

}  // namespace app
