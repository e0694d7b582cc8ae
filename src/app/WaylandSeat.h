// Whether a Wayland compositor offers an input seat, asked over its socket before the toolkit
// connects. Qt 6.4's Wayland input context crashes on the first paint of a text field where the
// compositor offers no seat at all (a headless or kiosk setup); with no keyboard there, Qt's
// compose input context loses nothing, while forcing it elsewhere would bypass the desktop's
// input method.
#pragma once

#include <optional>
#include <string>

namespace app {

// The socket WAYLAND_DISPLAY names (a name under XDG_RUNTIME_DIR, or a path); empty when none.
std::string WaylandSocketPath();

// Whether the compositor listening at `socketPath` announces a wl_seat global. nullopt when it
// cannot be asked: no socket, no answer within `timeoutMs`, or a reply that is no protocol.
// Never throws.
std::optional<bool> WaylandOffersSeat(const std::string& socketPath, int timeoutMs = 2000);

}  // namespace app
