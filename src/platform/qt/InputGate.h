// Disabled windows the way the dialog model has them: a disabled top-level window keeps the look
// of its controls, only its mouse and keyboard input is refused. Qt's own setEnabled(false)
// greys every control and also disables the window's child windows (a progress window over it),
// so the host disables its windows here instead. One gate per application, installed as an
// application-wide event filter.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

namespace qthost {

class InputGate : public QObject {
  public:
    // Installs itself on the application; removed when destroyed.
    // REQUIRES: a QApplication exists.
    explicit InputGate(QObject* parent);
    ~InputGate() override;

    // Refuses (false) or takes again (true) the input of top-level `window` and of its pop-ups
    // (menus, combo lists). A window that is deleted meanwhile is simply forgotten. Input made
    // while the window took none is dropped, never delivered later: a blocked pass holds user
    // input back, and for a while after the window is taken again, input whose window-system
    // time (the monotonic clock in milliseconds, as X servers and Wayland compositors stamp it)
    // is older than that moment is still refused.
    // REQUIRES: window is not null.
    void SetEnabled(QWidget* window, bool enable);
    // Whether the window takes input as the caller last set it (true while it still refuses
    // only what was queued before).
    bool IsEnabled(const QWidget* window) const;

    // Called with the disabled window when the user clicks into it, so the host can bring the
    // window that stands over it forward. May be empty.
    std::function<void(QWidget*)> onRefusedClick;
    // Called with the disabled window when it is activated (the user switched to it), so the
    // host can hand the activation on to the window that stands over it. May be empty.
    std::function<void(QWidget*)> onActivated;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The top-level window whose input `o` is: its own window, through menus and drop-down
    // lists to the window they were opened from. Null for objects outside any window.
    static QWidget* InputWindow(QObject* o);

    std::vector<QPointer<QWidget>> m_disabled;  // not owned
    // Taken again, and when (monotonic ms): input stamped before then is still refused.
    struct Enabling {
        QPointer<QWidget> window;
        int64_t sinceMs;
    };
    // Whether the gate refuses `event` for `window` now.
    bool Refuses(const QWidget* window, const QEvent* event) const;

    std::vector<Enabling> m_enabling;
    unsigned m_generation = 0;  // counts SetEnabled calls
};

}  // namespace qthost
