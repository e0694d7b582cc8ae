#include "ui/PomvexDlg.h"

void CPomvexDlg::EndTransferNormally() {
    m_bReady = 1;
    m_bIdle = 1;
    m_host.InvalidateRect(true);
    m_host.UpdateWindow();
}
