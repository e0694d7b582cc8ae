// Placeholder until the transfers land.
#include "ui/PomvexDlg.h"

void CPomvexDlg::DownloadItem(int) {}
void CPomvexDlg::CheckItem(int) {}
