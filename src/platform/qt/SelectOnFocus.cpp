#include "platform/qt/SelectOnFocus.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

namespace qthost {

void SelectOnFocus::Install(QWidget* client) {
    auto* filter = new SelectOnFocus(client);
    for (auto* e : client->findChildren<QLineEdit*>()) e->installEventFilter(filter);
    for (auto* m : client->findChildren<QPlainTextEdit*>()) m->installEventFilter(filter);
}

bool SelectOnFocus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusIn) return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    const bool first = !m_firstFocusSeen;
    m_firstFocusSeen = true;
    const bool throughDialog =
        reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
        reason == Qt::ShortcutFocusReason ||
        (first && (reason == Qt::ActiveWindowFocusReason || reason == Qt::OtherFocusReason));
    if (!throughDialog) return false;
    // Before the control's own focus handling, which keeps a selection it finds.
    if (auto* e = qobject_cast<QLineEdit*>(watched)) e->selectAll();
    if (auto* m = qobject_cast<QPlainTextEdit*>(watched)) m->selectAll();
    return false;
}

}  // namespace qthost
