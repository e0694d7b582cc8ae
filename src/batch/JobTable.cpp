// Placeholder until the job table lands.
#include "ui/PomvexDlg.h"

void CPomvexDlg::LoadJobTable() {}
void CPomvexDlg::SaveLog() {}
