// The pop-ups of the main window in the order they opened: modal boxes and dialogs while their
// loop runs, modeless windows while they live. The last one still open stands over all others:
// a new pop-up without a given parent goes over it, and a click or a switch into a window that
// waits for it brings it forward, as the desktop does for a window that owns an open dialog.
// A modeless window opened over an open box disables that box meanwhile (the box's modal loop
// would block a window outside it, so the window is the box's child and the box waits for it).
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <vector>

class QDialog;

namespace qthost {

class InputGate;
class QtDialogView;

class PopupStack {
  public:
    // Takes over the gate's refused-click and activation callbacks.
    // REQUIRES: base and gate outlive this stack.
    PopupStack(QWidget& base, InputGate& gate);
    PopupStack(const PopupStack&) = delete;
    PopupStack& operator=(const PopupStack&) = delete;

    // The pop-up opened last that is still open and visible, else the base window.
    QWidget* Top() const;

    // Runs `dialog.exec()` as the top pop-up. Afterwards the window that was active takes the
    // activation back, and with it the control that had the focus. Returns exec()'s result.
    int Exec(QDialog& dialog);
    // Records the modeless window `popup`, open from now on until it is deleted.
    // REQUIRES: popup is not null.
    void Push(QWidget* popup);

    // Disables `owner` while `view` lives, unless it is the base window (disabled by the logic
    // itself) or already disabled; Release(view) enables it again.
    void DisableOwner(const QtDialogView* view, QWidget* owner);
    void Release(const QtDialogView* view);

  private:
    QWidget& m_base;                          // not owned
    InputGate& m_gate;                        // not owned
    std::vector<QPointer<QWidget>> m_popups;  // in the order they opened; not owned
    // Owners that DisableOwner disabled, by view.
    std::map<const QtDialogView*, QPointer<QWidget>> m_disabledOwners;
};

}  // namespace qthost
