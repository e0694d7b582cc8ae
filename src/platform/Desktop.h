// The desktop services around an unattended batch, as the logic sees them: a lock that keeps
// the machine from sleeping, and a notification for the user. Real implementation:
// platform/dbus (logind and the freedesktop notification service). Tests: tests/fake.
// All texts are CP932 bytes. No call throws or waits for the desktop: a desktop without these
// services, or one that refuses them, changes nothing for the program.
#pragma once

#include <functional>
#include <string>

// What the machine does when a night's batch is done.
enum class PowerAction { Suspend, PowerOff };

class Desktop {
  public:
    virtual ~Desktop() = default;
    // Asks for a lock against idle sleep and suspend while `why` (shown by the desktop) holds.
    // REQUIRES: no lock held (the logic releases the old one before it asks again).
    virtual void HoldSleepLock(const std::string& why) = 0;
    // Drops the lock asked for last, whether or not the desktop has granted it yet. Harmless
    // when none is held.
    virtual void ReleaseSleepLock() = 0;
    // Shows one notification with a one-line `title` and a plain-text `body`.
    virtual void Notify(const std::string& title, const std::string& body) = 0;
    // Asks the system to suspend or power off now, without asking the user. `done` runs once,
    // later, from the event loop: true when the system took the request, else false with why
    // (CP932, one line).
    virtual void RequestPower(PowerAction action,
                              std::function<void(bool taken, const std::string& why)> done) = 0;
};

// The desktop of a program that has none: every call does nothing. Lives for the process.
Desktop& NoDesktop();
