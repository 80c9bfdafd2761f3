#include "app/root_guard.h"

#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace quarry::app {
namespace {

std::string_view environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

RootStart rootStart(bool root, std::string_view qpaPlatform, std::string_view waylandDisplay,
                    std::string_view x11Display) {
    if (!root)
        return RootStart::Fine;
    if (!qpaPlatform.empty()) {
        if (qpaPlatform.starts_with("wayland"))
            return RootStart::Refuse;
        return qpaPlatform.starts_with("xcb") ? RootStart::Warn : RootStart::Fine;
    }
    if (!waylandDisplay.empty())
        return RootStart::Refuse;
    return x11Display.empty() ? RootStart::Fine : RootStart::Warn;
}

RootStart checkRootStart() {
    const auto verdict = rootStart(::geteuid() == 0, environment("QT_QPA_PLATFORM"),
                                   environment("WAYLAND_DISPLAY"), environment("DISPLAY"));
    // Reading a disk needs no root: the system asks for a password when it is needed.
    if (verdict == RootStart::Refuse)
        std::cerr << "quarry: Quarry Recovery does not run as root in a Wayland session.\n"
                     "Start it as your own user; it asks for your password when a disk needs it.\n";
    else if (verdict == RootStart::Warn)
        std::cerr << "quarry: warning: running as root. Start Quarry Recovery as your own user;\n"
                     "it asks for your password when a disk needs it.\n";
    return verdict;
}

} // namespace quarry::app
