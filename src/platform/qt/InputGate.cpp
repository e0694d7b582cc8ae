#include "platform/qt/InputGate.h"

#include <QApplication>
#include <QEvent>
#include <QInputEvent>
#include <QTimer>
#include <algorithm>

#include "platform/qt/CoarseClock.h"

namespace qthost {

namespace {

// How long after a window is taken again input made before that moment may still arrive.
constexpr int kQueuedInputMs = 3000;
// Input held back is at most this old; a larger difference means the window system's clock has
// another base than the monotonic one, and the stamp says nothing.
constexpr int32_t kPlausibleAgeMs = 10 * 60 * 1000;

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
    const bool wasDisabled = !IsEnabled(window);
    std::erase_if(m_disabled, [window](const QPointer<QWidget>& w) { return !w || w == window; });
    std::erase_if(m_enabling,
                  [window](const Enabling& e) { return !e.window || e.window == window; });
    const unsigned generation = ++m_generation;
    if (enable) {
        if (!wasDisabled) return;
        m_enabling.push_back({window, CoarseNowMs()});
        // Input held back that long is no longer waiting anywhere: the watch ends.
        QTimer::singleShot(
            kQueuedInputMs, this, [this, window = QPointer<QWidget>(window), generation] {
                if (generation != m_generation) return;  // a later call decided
                std::erase_if(m_enabling,
                              [&](const Enabling& e) { return !e.window || e.window == window; });
            });
        return;
    }
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

bool InputGate::Refuses(const QWidget* window, const QEvent* event) const {
    if (!IsEnabled(window)) return true;
    if (!event->isInputEvent()) return false;
    const auto stamp = static_cast<uint32_t>(static_cast<const QInputEvent*>(event)->timestamp());
    if (stamp == 0) return false;  // a synthetic event: no time to judge by
    return std::any_of(m_enabling.begin(), m_enabling.end(), [&](const Enabling& e) {
        // Compared in the window system's 32-bit milliseconds, which wrap after 49 days.
        // A clock of another base gives no plausible age: such input is not judged.
        const int32_t age = static_cast<int32_t>(static_cast<uint32_t>(e.sinceMs) - stamp);
        return e.window == window && age > 0 && age < kPlausibleAgeMs;
    });
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
    if (m_disabled.empty() && m_enabling.empty()) return false;
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
        auto* window = static_cast<QWidget*>(watched);
        if (!IsEnabled(window) && onActivated) onActivated(window);
        return false;
    }
    if (!IsUserInput(event)) return false;
    QWidget* window = InputWindow(watched);
    if (!window || !Refuses(window, event)) return false;
    // Refused as a whole: a shortcut override taken here stops the key from becoming a
    // shortcut of the disabled window, the key itself is refused next.
    event->accept();
    if (event->type() == QEvent::Close) event->ignore();  // the window stays open
    if (event->type() == QEvent::MouseButtonPress && onRefusedClick) onRefusedClick(window);
    return true;
}

}  // namespace qthost
