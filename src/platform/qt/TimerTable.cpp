#include "platform/qt/TimerTable.h"

#include <QTimer>
#include <utility>

namespace qthost {

TimerTable::TimerTable(QObject& owner, std::function<void(unsigned id)> fire)
    : m_owner(owner), m_fire(std::move(fire)) {}

TimerTable::~TimerTable() {
    for (auto& [id, timer] : m_timers) timer->stop();
}

QTimer* TimerTable::Arm(unsigned id, int periodMs) {
    auto* timer = new QTimer(&m_owner);
    // A coarse timer of 20 s or more is rounded to whole seconds, and shorter ones may be off
    // by 5 %; the watchdog, the schedule check and the deadline must keep their period.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(periodMs);
    QObject::connect(timer, &QTimer::timeout, &m_owner,
                     [this, id, timer] { OnTimeout(id, timer); });
    timer->start();
    return timer;
}

void TimerTable::Start(unsigned id, int periodMs) {
    Kill(id);
    m_timers[id] = Arm(id, periodMs);
}

void TimerTable::Kill(unsigned id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    it->second->stop();
    it->second->deleteLater();  // may be the timer whose handler is running right now
    m_timers.erase(it);
}

void TimerTable::OnTimeout(unsigned id, QTimer* fired) {
    auto it = m_timers.find(id);
    if (it == m_timers.end() || it->second != fired) return;  // killed or replaced meanwhile
    // The fresh timer takes over the id before the logic runs, so that the logic's handler can
    // be entered again while it still runs.
    const int period = fired->interval();
    fired->stop();
    fired->deleteLater();
    it->second = Arm(id, period);
    m_fire(id);
}

}  // namespace qthost
