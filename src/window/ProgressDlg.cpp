#include "window/ProgressDlg.h"

#include <algorithm>
#include <stdexcept>

#include "resources/Resource.h"
#include "resources/Strings.h"

CProgressDlg::CProgressDlg(Host& host, unsigned nCaptionID)
    : m_nCaptionID(nCaptionID != 0 ? nCaptionID : static_cast<unsigned>(Sid::IDS_PROGRESS_CAPTION)),
      m_host(host) {}

CProgressDlg::~CProgressDlg() {
    if (m_view) DestroyWindow();
}

bool CProgressDlg::Create() {
    if (m_host.IsWindowEnabled()) {
        m_host.EnableWindow(false);
        m_bParentDisabled = true;
    }
    m_view = m_host.CreateModeless(IDD_PROGRESS, *this);
    m_initView = nullptr;
    if (!m_view) {
        ReEnableParent();
        return false;
    }
    return true;
}

void CProgressDlg::OnInitDialog(DialogView& view) {
    m_initView = &view;
    view.SetRange(IDC_PROGDLG_PROGRESS, m_nLower, m_nUpper);
    view.SetPos(IDC_PROGDLG_PROGRESS, m_nLower);
    std::string caption;
    try {
        caption = Str(static_cast<Sid>(m_nCaptionID));
    } catch (const std::logic_error&) {
        // A caption id the table lacks gives an empty caption.
    }
    view.SetCaption(caption);
}

bool CProgressDlg::OnCancel(DialogView&) {
    m_bCancel = true;
    return false;  // the window stays; the caller decides when it goes
}

void CProgressDlg::SetStatus(const std::string& text) {
    if (m_view) m_view->SetItemText(IDC_PROGDLG_STATUS, text);
}

int CProgressDlg::SetPos(int value) {
    PumpMessages();
    if (!m_view) return 0;
    // Called after every block, while the rate changes once a sample: the same value again
    // leaves the bar and the number as they are, and a steady rate repaints nothing.
    if (m_bPosShown && value == m_nPosShown) return std::clamp(value, m_nLower, m_nUpper);
    const int previous = m_view->SetPos(IDC_PROGDLG_PROGRESS, value);
    m_view->SetItemText(IDC_PROGDLG_PERCENT, std::to_string(value) + ' ');
    m_nPosShown = value;
    m_bPosShown = true;
    return previous;
}

void CProgressDlg::PumpMessages() {
    m_host.PumpMessages();
}

bool CProgressDlg::CheckCancelButton() {
    PumpMessages();
    bool cancel = m_bCancel;
    m_bCancel = false;
    return cancel;
}

void CProgressDlg::ReEnableParent() {
    if (m_bParentDisabled) m_host.EnableWindow(true);
    m_bParentDisabled = false;
}

bool CProgressDlg::DestroyWindow() {
    ReEnableParent();
    if (!m_view) return false;
    m_view.reset();
    return true;
}
