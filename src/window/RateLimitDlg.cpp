#include "window/RateLimitDlg.h"

#include <string>

#include "lists/SerialDlg.h"
#include "platform/Exceptions.h"
#include "resources/Resource.h"
#include "resources/Strings.h"

void CRateLimitDlg::OnInitDialog(DialogView& view) {
    std::string shown;
    if (m_nKBps > 0) shown = std::to_string(m_nKBps);
    view.SetItemText(IDC_RATE_LIMIT, shown);
}

bool CRateLimitDlg::OnOK(DialogView& view) {
    std::string text;
    bool readable = true;
    try {
        text = view.GetItemText(IDC_RATE_LIMIT);
    } catch (const CTextException&) {
        readable = false;  // a character with no CP932 form is no number either
    }
    int32_t value = 0;
    const bool blank = readable && text.find_first_not_of(" \t") == std::string::npos;
    if (!blank && (!readable || !ReadDialogInteger(text, &value) || value < 0)) {
        view.MessageBox(Str(Sid::RateLimitInvalid), MB_ICONEXCLAMATION);
        view.FocusAndSelectAll(IDC_RATE_LIMIT);
        return false;
    }
    m_nKBps = value;
    return true;
}
