#include "platform/qt/PopupStack.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <algorithm>

#include "platform/qt/InputGate.h"

namespace qthost {

PopupStack::PopupStack(QWidget& base, InputGate& gate) : m_base(base), m_gate(gate) {
    // A click into a disabled window brings the window that stands over it forward, with a
    // beep, as the desktop does for a window that waits for its dialog.
    m_gate.onRefusedClick = [this](QWidget* refused) {
        QWidget* top = Top();
        if (top == refused || !top->isVisible()) return;
        QApplication::beep();
        top->raise();
        top->activateWindow();
    };
    // Switching to a disabled window (the task switcher, a click on its task-bar entry) brings
    // up the window it waits for, with the keyboard, as the desktop does for a window that owns
    // an open dialog; otherwise the keys would go to a window that refuses them.
    m_gate.onActivated = [this](QWidget* refused) {
        QWidget* top = Top();
        if (top == refused || !top->isVisible()) return;
        QTimer::singleShot(0, top, [top] { top->activateWindow(); });
    };
}

QWidget* PopupStack::Top() const {
    for (auto it = m_popups.rbegin(); it != m_popups.rend(); ++it)
        if (*it && (*it)->isVisible()) return it->data();
    return &m_base;
}

int PopupStack::Exec(QDialog& dialog) {
    QPointer<QWidget> active = QApplication::activeWindow();
    m_popups.emplace_back(&dialog);
    const int result = dialog.exec();
    std::erase_if(m_popups, [&dialog](const QPointer<QWidget>& p) { return !p || p == &dialog; });
    // Qt keeps a window's focus widget across a deactivation, so activating the window the box
    // stood over is enough to give its control the focus again.
    QWidget* now = QApplication::activeWindow();
    if (active && active->isVisible() && (!now || now == &dialog)) active->activateWindow();
    return result;
}

void PopupStack::Push(QWidget* popup) {
    std::erase_if(m_popups, [](const QPointer<QWidget>& p) { return !p; });
    m_popups.emplace_back(popup);
}

void PopupStack::DisableOwner(const QtDialogView* view, QWidget* owner) {
    if (owner == &m_base || !m_gate.IsEnabled(owner)) return;
    m_gate.SetEnabled(owner, false);
    m_disabledOwners[view] = owner;
}

void PopupStack::Release(const QtDialogView* view) {
    auto it = m_disabledOwners.find(view);
    if (it == m_disabledOwners.end()) return;
    if (it->second) m_gate.SetEnabled(it->second, true);
    m_disabledOwners.erase(it);
}

}  // namespace qthost
