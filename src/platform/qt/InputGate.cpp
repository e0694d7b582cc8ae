#include "platform/qt/InputGate.h"

#include <QApplication>
#include <QEvent>
#include <algorithm>

namespace qthost {

namespace {

// The user's input, and the window system's close request (the caption's close box). Leave and
// hover-leave pass, so a control that was hovered when its window was disabled lets go of it.
bool IsUserInput(const QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::Enter:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            return e->spontaneous();
        default:
            return false;
    }
}

}  // namespace

InputGate::InputGate(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

InputGate::~InputGate() {
    if (qApp) qApp->removeEventFilter(this);
}

void InputGate::SetEnabled(QWidget* window, bool enable) {
    std::erase_if(m_disabled, [window](const QPointer<QWidget>& w) { return !w || w == window; });
    if (enable) return;
    m_disabled.emplace_back(window);
    // A menu or drop-down list that is open now would go on taking input: close it, the way a
    // disabled window loses its menu mode.
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (InputWindow(popup) != window) break;
        popup->close();
    }
}

bool InputGate::IsEnabled(const QWidget* window) const {
    return std::none_of(m_disabled.begin(), m_disabled.end(),
                        [window](const QPointer<QWidget>& w) { return w == window; });
}

QWidget* InputGate::InputWindow(QObject* o) {
    while (o && !o->isWidgetType()) o = o->parent();  // a shortcut or an action: its widget's
    if (!o) return nullptr;
    QWidget* window = static_cast<QWidget*>(o)->window();
    while ((window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip) &&
           window->parentWidget())
        window = window->parentWidget()->window();
    return window;
}

bool InputGate::eventFilter(QObject* watched, QEvent* event) {
    if (m_disabled.empty()) return false;
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
        auto* window = static_cast<QWidget*>(watched);
        if (!IsEnabled(window) && onActivated) onActivated(window);
        return false;
    }
    if (!IsUserInput(event)) return false;
    QWidget* window = InputWindow(watched);
    if (!window || IsEnabled(window)) return false;
    // Refused as a whole: a shortcut override taken here stops the key from becoming a
    // shortcut of the disabled window, the key itself is refused next.
    event->accept();
    if (event->type() == QEvent::Close) event->ignore();  // the window stays open
    if (event->type() == QEvent::MouseButtonPress && onRefusedClick) onRefusedClick(window);
    return true;
}

}  // namespace qthost
