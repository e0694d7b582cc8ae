// Placeholder until list editing lands.
#include "ui/PomvexDlg.h"

void CPomvexDlg::OnOpenList() {}
void CPomvexDlg::OnSaveList() {}
void CPomvexDlg::OnSerial() {}
