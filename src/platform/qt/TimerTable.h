// The window timers of the logic (ids 1..5) on top of QTimer, the way the program expects them:
// starting a running id restarts its period, and a tick may fire again inside the handling of
// the previous one (inside the download a tick started, inside a box a timer handler opened).
// Qt never delivers a QTimer's timeout while that same timer's previous timeout is still being
// handled, so every firing first hands its id to a fresh QTimer and only then reports it: the
// next tick comes from a timer that is not busy (docs/ARCHITECTURE.md has the measurement).
#pragma once

#include <functional>
#include <map>

class QObject;
class QTimer;

namespace qthost {

class TimerTable {
  public:
    // The timers are children of `owner`; `fire(id)` runs for every firing of a running id and
    // may start and kill timers, its own id included.
    // REQUIRES: owner outlives this table.
    TimerTable(QObject& owner, std::function<void(unsigned id)> fire);
    // Stops every running timer: no firing reaches a destroyed table.
    ~TimerTable();
    TimerTable(const TimerTable&) = delete;
    TimerTable& operator=(const TimerTable&) = delete;

    // Starts timer `id` with a period of `periodMs`, or restarts it with that period.
    void Start(unsigned id, int periodMs);
    // Stops timer `id`; none of its firings is reported afterwards. An id that does not run is
    // ignored.
    void Kill(unsigned id);

  private:
    QTimer* Arm(unsigned id, int periodMs);
    void OnTimeout(unsigned id, QTimer* fired);

    QObject& m_owner;  // not owned
    std::function<void(unsigned)> m_fire;
    std::map<unsigned, QTimer*> m_timers;  // children of m_owner, one per running id
};

}  // namespace qthost
