// Placeholder until the sequencer lands.
#include "ui/PomvexDlg.h"

void CPomvexDlg::OnGet() {}
void CPomvexDlg::OnCheckList() {}
void CPomvexDlg::OnGetLater() {}
void CPomvexDlg::OnNext() {}
void CPomvexDlg::OnAbort() {}
void CPomvexDlg::OnTimer(unsigned) {}
