// "連番編集": replaces the list with one numbered line per value of a two-digit range.
#include <algorithm>
#include <string>

#include "lists/ListEditor.h"
#include "lists/SerialDlg.h"
#include "resources/Resource.h"

void ListEditor::Serial() {
    // A fresh dialog each time: nothing typed last time is offered again.
    CSerialDlg dlg;
    dlg.m_nFrom = 0;
    dlg.m_nTo = 99;
    if (m_host.DoModal(IDD_SERIAL, dlg) != IDOK) return;

    const int32_t first = std::min(dlg.m_nFrom, dlg.m_nTo);
    const int32_t last = std::max(dlg.m_nFrom, dlg.m_nTo);
    m_strList.clear();
    for (int32_t n = first; n <= last; ++n) {
        m_strList += dlg.m_strPrefix;
        if (n < 10) m_strList += '0';
        m_strList += std::to_string(n);
        m_strList += dlg.m_strSuffix;
        m_strList += "\r\n";
    }
    m_host.SetDlgItemText(IDC_LIST, m_strList);
    m_host.InvalidateRect(true);
}
