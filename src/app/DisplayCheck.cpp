#include "app/DisplayCheck.h"

#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "app/WaylandSeat.h"

namespace app {

namespace {

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

// The platform asked for on the command line or in the environment; empty for Qt's default.
std::string_view AskedPlatform(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string_view(argv[i]) == "-platform") return argv[i + 1];
    const char* env = Env("QT_QPA_PLATFORM");
    return env ? env : "";
}

bool XServerAnswers() {
    if (!Env("DISPLAY")) return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

bool WaylandSocketExists() {
    const char* name = Env("WAYLAND_DISPLAY");
    if (!name) return false;
    std::string path = name;
    if (path.front() != '/') {
        const char* runtime = Env("XDG_RUNTIME_DIR");
        if (!runtime) return false;
        path = std::string(runtime) + "/" + path;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

}  // namespace

void ChooseInputContext(int argc, char** argv) {
    if (Env("QT_IM_MODULE")) return;
    const std::string_view asked = AskedPlatform(argc, argv);
    const char* session = Env("XDG_SESSION_TYPE");
    const bool wayland = asked.starts_with("wayland") ||
                         (asked.empty() && session && std::string_view(session) == "wayland");
    if (!wayland) return;
    if (WaylandOffersSeat(WaylandSocketPath()) == false) setenv("QT_IM_MODULE", "compose", 1);
}

bool CanShowWindow(int argc, char** argv) {
    const std::string_view asked = AskedPlatform(argc, argv);
    // A platform list or plugin options ("xcb:...", "wayland;xcb") start with the plugin's name.
    const bool windowSystem =
        asked.empty() || asked.starts_with("xcb") || asked.starts_with("wayland");
    return !windowSystem || XServerAnswers() || WaylandSocketExists();
}

}  // namespace app
