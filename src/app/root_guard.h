#pragma once

#include <string_view>

namespace quarry::app {

// What starting the window as root leads to.
enum class RootStart {
    Fine,   // not root, or no display server to be exposed to (offscreen runs, CI)
    Warn,   // root on an X11 display: it works, but a desktop user should not do it
    Refuse, // root in a Wayland session, which does not let root draw on the user's desktop
};

// The platform Qt will choose comes from QT_QPA_PLATFORM, or else from the session's display
// variables; an empty view stands for an unset variable.
RootStart rootStart(bool root, std::string_view qpaPlatform, std::string_view waylandDisplay,
                    std::string_view x11Display);

// The verdict for this process, said on stderr when it is not Fine.
RootStart checkRootStart();

} // namespace quarry::app
