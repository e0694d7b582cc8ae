// CPomvexDlg: the main window's logic. It keeps the command table (the handlers the buttons, the
// menu and the timers call), the texts of its controls, the closing data exchange and the
// general message-error handler, and forwards everything else to the objects that own it: the
// batch (batch/Batch.h), the transfers it runs (transfer/Transfers.h) and the list editor
// (lists/ListEditor.h). Toolkit-free: it talks to the window only through Host.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "batch/Batch.h"
#include "lists/ListEditor.h"
#include "platform/Desktop.h"
#include "platform/Host.h"
#include "platform/Internet.h"
#include "transfer/JobRunner.h"
#include "transfer/Transfers.h"

class CPomvexDlg : public HostEvents {
  public:
    // The program's window: jobs run on the real transfers over `internet`, every session with
    // the program's agent and `limits`. REQUIRES: host and internet outlive this object.
    CPomvexDlg(Host& host, InternetClient& internet, const InternetLimits& limits = {});
    // A window whose jobs run on `runner` instead (a stand-in that keeps the transfers'
    // contract). REQUIRES: host and runner outlive this object.
    CPomvexDlg(Host& host, JobRunner& runner);
    ~CPomvexDlg() override;
    CPomvexDlg(const CPomvexDlg&) = delete;
    CPomvexDlg& operator=(const CPomvexDlg&) = delete;

    // REQUIRES: desktop outlives this object. Set before the window's first event.
    void SetDesktop(Desktop& desktop) { m_batch.SetDesktop(desktop); }

    // HostEvents. The window's initialisation: timers, program folder, start values, control
    // defaults. REQUIRES: the host's controls exist. Called once before the window shows.
    bool OnInitDialog() override;
    // Every call goes through the general message-error handler.
    void OnCommand(int id, bool fromMenu) override;
    void OnTimerEvent(unsigned id) override;
    // Closing data exchange with the 2-byte length checks. True: the window may close. While a
    // batch runs or the timer is armed, an exchange that passes first asks whether to end the
    // program; "いいえ" leaves every field as it was.
    bool OnOKCommand() override;
    // True: the window may close (while a batch runs or the timer is armed, after "はい").
    bool OnCancelCommand() override;
    // Runs `handler` under the general message-error handler: a failure ends the handler at
    // the failing step and is reported in a box; the caller goes on. fromMenu picks the text
    // shown when the failure has no description.
    void RunGuarded(const std::function<void()>& handler, bool fromMenu) override;

    // Lines handed over from outside (the command line, a second start; CP932, CR LF after each):
    // in the list box in place of what it holds (`replace`) or after it; then "Get" (`get`) or
    // "リストチェック" (`check`) as if pressed, unless a batch runs: its lines wait for the next.
    void TakeList(const std::string& lines, bool replace, bool get, bool check);
    // The downloads' receive-speed cap from the next one on, bytes per second; 0: none.
    void SetRateCap(int64_t bytesPerSec);

    // A logout, a shutdown or a kill is ending the program (see Batch::EndFromOutside).
    bool OnEndedFromOutside() { return m_batch.EndFromOutside(); }

    // Read-only views for the program's peers (the desktop glue, tests).
    const Batch& batch() const { return m_batch; }
    const ListEditor& lists() const { return m_lists; }
    // The list text as the last closing data exchange copied it.
    const std::string& ListOnClose() const { return m_strListEdit; }

  private:
    // The command table's handlers, named as the window's commands are.
    void OnGet() { m_batch.Get(); }
    void OnCheckList() { m_batch.CheckList(); }
    void OnGetLater() { m_batch.GetLater(); }
    void OnNext() { m_batch.Next(); }
    void OnAbort() { m_batch.Abort(); }
    void OnOpenList() { m_lists.Open(); }
    void OnSaveList() { m_lists.Save(); }
    void OnSerial() { m_lists.Serial(); }
    void OnRateLimit();  // ツール > 速度制限...
    void OnAbout();
    void OnExit();  // ends the process at once, status 0 (after "はい" while busy)
    // One timer firing, ids TIMER_TICK .. TIMER_RATE: one handler of the batch per timer.
    void OnTimer(unsigned id);
    // False when a batch runs or the timer is armed and the user answers "いいえ" to the
    // question whether to end the program; true at once otherwise.
    bool ConfirmEnd();
    // The closing data exchange itself; false when a field failed its check.
    bool ExchangeOnClose();

    Host& m_host;                            // not owned
    std::unique_ptr<Transfers> m_transfers;  // null when a stand-in runs the jobs
    Batch m_batch;                           // runs on *m_transfers or the stand-in
    ListEditor m_lists;
    std::string m_strListEdit;  // list text as the closing data exchange copied it
};
