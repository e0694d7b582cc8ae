#include "batch/NightEnd.h"

#include "resources/Resource.h"
#include "resources/Strings.h"

NightEnd::NightEnd(Host& host, Desktop& desktop, RunLog& log, PowerAction action)
    : m_host(host), m_desktop(desktop), m_log(log), m_action(action) {
    m_view = m_host.CreateModeless(IDD_NIGHT_END, *this);
}

NightEnd::~NightEnd() = default;

std::string NightEnd::Text() const {
    return FormatStr(
        m_action == PowerAction::Suspend ? Sid::AfterCountdownSuspend : Sid::AfterCountdownPowerOff,
        {std::to_string(m_nLeftS)});
}

void NightEnd::OnInitDialog(DialogView& view) {
    view.SetItemText(IDC_NIGHT_END_TEXT, Text());
}

bool NightEnd::OnCancel(DialogView&) {
    m_bCancelled = true;
    return false;  // the box goes at the next tick, not inside its own handler
}

bool NightEnd::Tick() {
    if (m_bCancelled) {
        m_view.reset();
        return false;
    }
    if (--m_nLeftS > 0) {
        if (m_view) m_view->SetItemText(IDC_NIGHT_END_TEXT, Text());
        return true;
    }
    m_view.reset();
    const PowerAction action = m_action;
    Host& host = m_host;
    RunLog& log = m_log;
    // The answer comes later; the log outlives this object (the batch owns both).
    m_desktop.RequestPower(action, [&host, &log, action](bool taken, const std::string& why) {
        const bool suspend = action == PowerAction::Suspend;
        log.Append(taken ? Str(suspend ? Sid::LogAfterSuspend : Sid::LogAfterPowerOff)
                         : FormatStr(Sid::LogAfterRefused,
                                     {Str(suspend ? Sid::WordSuspend : Sid::WordPowerOff), why}));
        host.SetDlgItemText(IDC_LOG, log.Text());
    });
    return false;
}
