// Whether the program can show a window at all, asked before the toolkit tries: without a
// display Qt's platform plugin aborts with a message that tells a user nothing useful (it
// suggests reinstalling), so the program says plainly why it cannot start instead.
#pragma once

namespace app {

// True when a window can be shown: a platform other than X11 or Wayland was asked for
// (QT_QPA_PLATFORM or -platform, e.g. offscreen), the X server named by DISPLAY accepts a
// connection, or the Wayland socket named by WAYLAND_DISPLAY exists. Never throws.
bool CanShowWindow(int argc, char** argv);

// Before the application object: where the platform will be Wayland (asked for, or the
// session's type with a Wayland socket) and no input-method module is set (QT_IM_MODULE), and
// the compositor offers no seat, selects Qt's compose input context. Never throws.
void ChooseInputContext(int argc, char** argv);

}  // namespace app
