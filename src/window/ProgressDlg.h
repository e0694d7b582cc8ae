// The modeless progress-with-cancel window that stands over the main window during one
// download: a status line, a rate bar on 0..20480, the value as a number and "中止".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Host.h"
#include "transfer/ProgressView.h"

class CProgressDlg : public DialogHandler, public ProgressView {
  public:
    // nCaptionID 0 means the default caption string (IDS_PROGRESS_CAPTION).
    // REQUIRES: host outlives this object.
    explicit CProgressDlg(Host& host, unsigned nCaptionID = 0);
    // Destroys the window if it still exists (re-enabling the main window).
    ~CProgressDlg() override;
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    // Disables the main window if it is enabled, then shows the window (template IDD_PROGRESS).
    // False when the window could not be created; the main window is then enabled again.
    // REQUIRES: not created yet.
    bool Create() override;
    // Every call sets the status line; harmless without a window.
    void SetStatus(const std::string& text) override;
    // Pumps, moves the bar (clamped to the range) and shows `value` as "%d ". Returns the
    // previous bar position (0 without a window).
    int SetPos(int value) override;
    // Serves every pending event of the thread without waiting.
    void PumpMessages();
    // Pumps, then returns whether cancel was pressed since the last call, and clears that.
    bool CheckCancelButton() override;
    // The host's pacing of its pumps.
    bool PumpDue() const override { return m_host.PumpDue(); }
    // Re-enables the main window (at most once), then closes the window. Returns whether there
    // was a window to close.
    bool DestroyWindow() override;

    // DialogHandler
    void OnInitDialog(DialogView& view) override;
    bool OnOK(DialogView&) override { return false; }
    bool OnCancel(DialogView&) override;

  private:
    void ReEnableParent();

    unsigned m_nCaptionID;
    int32_t m_nLower = 0;
    int32_t m_nUpper = 20480;
    bool m_bCancel = false;
    bool m_bPosShown = false;  // SetPos has shown m_nPosShown on the window
    int m_nPosShown = 0;
    bool m_bParentDisabled = false;      // true while Create's disabling still has to be undone
    Host& m_host;                        // not owned
    std::unique_ptr<DialogView> m_view;  // owned; null before Create, after a failed Create and
                                         // after DestroyWindow
    DialogView* m_initView = nullptr;    // the view during OnInitDialog (inside CreateModeless)
};
