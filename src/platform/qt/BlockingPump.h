// Keeps the main window alive at the window-system level while a transfer blocks the thread.
// The logic's contract is that such a step takes no messages: no timer handler and no command
// runs inside it. A desktop, though, greys a window that stops repainting and stops answering
// its liveness ping (_NET_WM_PING), and offers to kill it. So while the step waits, Pass()
// serves only what the window system needs: paint and expose events, the ping, posted events.
// User input stays queued in the platform plugin and is delivered after the step, in the state
// the step left; a timer of the logic that comes due meanwhile is only recorded, and each
// recorded id fires once as soon as the thread takes messages again.
#pragma once

#include <QObject>
#include <set>

class QTimer;
class QtHost;

namespace qthost {

class BlockingPump : public QObject {
  public:
    // Registers with `host` (its timers ask Defer while a pass runs) until destroyed.
    // REQUIRES: host outlives this pump.
    explicit BlockingPump(QtHost& host);
    ~BlockingPump() override;

    // One pass over the window-system events, for the internet client's wait hook. Never
    // throws; a nested call returns at once.
    void Pass();

    // Called by the host when timer `id` fires: true (recorded, not to be handled now) while a
    // pass runs.
    bool Defer(unsigned id);
    // Called by the host when timer `id` is killed: a recorded firing of it is dropped.
    void Forget(unsigned id) { m_due.erase(id); }

    // True while a pass runs. For tests.
    bool InPass() const { return m_inPass; }

  private:
    void ReleaseDue();

    QtHost& m_host;            // not owned
    QTimer* m_release;         // child of this object; fires the recorded ids
    std::set<unsigned> m_due;  // timers that came due during the blocked step
    bool m_inPass = false;
};

}  // namespace qthost
