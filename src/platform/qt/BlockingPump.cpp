#include "platform/qt/BlockingPump.h"

#include <QCoreApplication>
#include <QTimer>
#include <vector>

#include "platform/qt/QtHost.h"

namespace qthost {

BlockingPump::BlockingPump(QtHost& host) : m_host(host), m_release(new QTimer(this)) {
    m_release->setSingleShot(true);
    m_release->setTimerType(Qt::PreciseTimer);
    connect(m_release, &QTimer::timeout, this, &BlockingPump::ReleaseDue);
    m_host.blockingPump = this;
}

BlockingPump::~BlockingPump() {
    if (m_host.blockingPump == this) m_host.blockingPump = nullptr;
}

void BlockingPump::Pass() {
    if (m_inPass) return;
    m_inPass = true;
    try {
        // Timers still fire inside this pass; the host asks Defer and holds the logic's back.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } catch (...) {
        // Nothing the window system does may end the transfer that waits underneath.
    }
    m_inPass = false;
    // The release timer fires at the thread's next ordinary pass: the logic's own pump after
    // the step or the event loop. If it fires inside a later blocked pass, it is re-armed here.
    if (!m_due.empty()) m_release->start(0);
}

bool BlockingPump::Defer(unsigned id) {
    if (!m_inPass) return false;
    m_due.insert(id);
    return true;
}

void BlockingPump::ReleaseDue() {
    if (m_inPass) return;  // Pass re-arms the release when it ends
    std::vector<unsigned> due(m_due.begin(), m_due.end());
    m_due.clear();
    for (unsigned id : due) m_host.logic().OnTimerEvent(id);
}

}  // namespace qthost
