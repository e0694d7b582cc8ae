// What follows a night's download batch when the user chose so (ツール > 完了後の動作, or
// --after): a box over the main window counts down 60 seconds, one a tick, with a cancel button
// as its default; at zero the desktop is asked to suspend or power off the machine, and one line
// in the log box says so, or why it could not be.
#pragma once

#include <memory>
#include <string>

#include "batch/RunLog.h"
#include "platform/Desktop.h"
#include "platform/Host.h"

class NightEnd : public DialogHandler {
  public:
    static constexpr int kCountdownS = 60;

    // Shows the box. REQUIRES: host, desktop and log outlive this object.
    NightEnd(Host& host, Desktop& desktop, RunLog& log, PowerAction action);
    ~NightEnd() override;
    NightEnd(const NightEnd&) = delete;
    NightEnd& operator=(const NightEnd&) = delete;

    // One tick: the count goes down; at zero the box closes and the desktop is asked. False once
    // the countdown has ended (asked, or cancelled by the user): the object may then go.
    bool Tick();

    // DialogHandler: the cancel button, Escape or the close box ends the countdown.
    void OnInitDialog(DialogView& view) override;
    bool OnOK(DialogView&) override { return false; }
    bool OnCancel(DialogView&) override;

  private:
    std::string Text() const;

    Host& m_host;        // not owned
    Desktop& m_desktop;  // not owned
    RunLog& m_log;       // not owned
    const PowerAction m_action;
    int m_nLeftS = kCountdownS;  // seconds left
    bool m_bCancelled = false;
    std::unique_ptr<DialogView> m_view;  // owned; null once the box is closed
};
