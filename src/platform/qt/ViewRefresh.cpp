#include "platform/qt/ViewRefresh.h"

#include <QTimer>
#include <algorithm>

#include "platform/qt/CoarseClock.h"
#include "platform/qt/QtDialogView.h"

namespace qthost {

ViewRefresh::ViewRefresh(QObject& owner) : m_timer(new QTimer(&owner)) {
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer, &QTimer::timeout, &owner, [this] { Flush(); });
}

ViewRefresh::~ViewRefresh() {
    m_timer->stop();
}

void ViewRefresh::Register(QtDialogView* view) {
    m_views.push_back(view);
}

void ViewRefresh::Unregister(QtDialogView* view) {
    std::erase(m_views, view);
}

void ViewRefresh::Flush() {
    m_timer->stop();
    m_lastFlushMs = CoarseNowMs();
    for (QtDialogView* v : m_views) v->Flush();
}

void ViewRefresh::Schedule() {
    if (m_timer->isActive()) return;
    const int64_t since = CoarseNowMs() - m_lastFlushMs;
    m_timer->start(
        static_cast<int>(std::clamp<int64_t>(kViewRefreshMs - since, 0, kViewRefreshMs)));
}

}  // namespace qthost
