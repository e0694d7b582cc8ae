// The real Host: the main window as a Qt dialog built from IDD_MAIN, its timers, boxes, file
// dialogs and template dialogs. The widget owns the logic and only forwards events to it.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <memory>

#include "platform/Host.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/InputGate.h"
#include "platform/qt/PopupStack.h"
#include "platform/qt/TimerTable.h"
#include "platform/qt/ViewRefresh.h"

class QMenuBar;

namespace qthost {
class QtDialogView;
class BlockingPump;
}  // namespace qthost

class QtHost : public QDialog, public Host {
    Q_OBJECT
  public:
    using LogicFactory = std::function<std::unique_ptr<HostEvents>(Host&)>;

    // Builds the window from IDD_MAIN, makes the logic with `makeLogic(*this)` and runs its
    // OnInitDialog. The window is not shown yet.
    // REQUIRES: a QApplication exists; makeLogic returns a non-null logic object.
    explicit QtHost(LogicFactory makeLogic, QWidget* parent = nullptr);
    ~QtHost() override;

    // The logic object; owned by this window, lives as long as it.
    HostEvents& logic() { return *m_logic; }
    // Control `id` of the main window (nullptr when there is none). For tests.
    QWidget* control(int id) const;
    // The area the template is laid out in (below the menu bar). For tests.
    QWidget* client() const { return m_client; }
    const qthost::DialogUnits& units() const { return m_units; }

    // Test hook: called once for every modal box or dialog this host runs (message boxes, file
    // dialogs, template dialogs), from inside its modal loop just after it is shown. The hook
    // may inspect it and close it; when unset, the box waits for the user.
    std::function<void(QDialog&)> onModalShown;
    // While a transfer blocks, timer firings go through this pump; null when there is none.
    // Not owned: the pump sets and clears it.
    qthost::BlockingPump* blockingPump = nullptr;
    // Test hook: the period a timer of the logic really gets (the timer type stays the real
    // one). When unset, the logic's period.
    std::function<int(unsigned id, int periodMs)> timerPeriodForTest;

    // ---- Host ----
    void SetDlgItemText(int id, const std::string& text) override;
    std::string GetDlgItemText(int id) override;
    void AddComboItem(int id, const std::string& item) override;
    void SetFocus(int id) override;
    void InvalidateRect(bool erase) override;
    void UpdateWindow() override;
    // Disabling refuses the window's mouse and keyboard input and keeps its look.
    void EnableWindow(bool enable) override;
    bool IsWindowEnabled() const override { return m_enabled; }
    void SetTimer(unsigned id, uint32_t elapseMs) override;
    void KillTimer(unsigned id) override;
    void PumpMessages() override;
    bool PumpDue() const override;
    int MessageBox(const std::string& text, unsigned type) override;
    bool FileDialog(bool open, const std::string& initialPath, std::string& chosenPath) override;
    int DoModal(int templateId, DialogHandler& handler) override;
    // Owned by the main window or, like every pop-up without a given parent, by the pop-up that
    // window last activated (an open modal box, another modeless window); that owner is
    // disabled while the new window lives.
    std::unique_ptr<DialogView> CreateModeless(int templateId, DialogHandler& handler) override;
    int64_t Now() override;
    [[noreturn]] void ExitProcess(int status) override;
    void CheckMenuItem(int command) override;

    // ---- for the template dialogs of this host ----
    // Runs a modal Qt dialog the way every modal loop of the program runs: timers go on, the
    // test hook sees it, and the window that was active gets the activation (and with it its
    // focused control) back afterwards. Returns exec()'s result.
    int RunModal(QDialog& dialog);
    // A message box owned by `owner` with the application name as caption; returns as
    // Host::MessageBox.
    int ShowMessageBox(QWidget* owner, const std::string& text, unsigned type);
    // Runs `fn` under the logic's error wrapper; false when it failed.
    bool Guarded(const std::function<void()>& fn);
    // Modeless views register while they live, so pumping can apply their stored texts.
    // Unregistering enables again the owner that CreateModeless disabled for the view.
    void RegisterView(qthost::QtDialogView* view);
    void UnregisterView(qthost::QtDialogView* view);
    // The pop-up this window activated last and that is still open (a modal box or dialog, a
    // modeless window), or this window itself.
    QWidget* LastActivePopup() const;
    // Disables and enables the host's windows without greying them.
    qthost::InputGate& gate() { return *m_gate; }
    // Applies every modeless view's stored texts now.
    void FlushViews();
    // Applies them at the next pass of the event loop at the latest (once per burst of texts).
    void ScheduleFlush();
    // The application name: the executable's name without extension.
    static QString AppName();

  public slots:
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

  private:
    // A firing of the logic's timer `id`, its successor already armed.
    void OnTimerFired(unsigned id);

    qthost::DialogUnits m_units;
    QMenuBar* m_menuBar = nullptr;       // owned by this window
    QWidget* m_client = nullptr;         // owned by this window; parent of every control
    std::map<int, QWidget*> m_controls;  // children of m_client
    qthost::InputGate* m_gate{new qthost::InputGate(this)};  // child of this window
    qthost::PopupStack m_popups{*this, *m_gate};             // the pop-ups over this window
    qthost::ViewRefresh m_views{*this};                      // the modeless views' stored texts
    // The logic's timers, children of this window.
    qthost::TimerTable m_timers{*this, [this](unsigned id) { OnTimerFired(id); }};
    bool m_enabled = true;
    int64_t m_lastPumpMs = INT64_MIN / 2;  // coarse monotonic ms at the end of the last pump
    std::unique_ptr<HostEvents>
        m_logic;  // declared last: built after, destroyed before the widgets
};
