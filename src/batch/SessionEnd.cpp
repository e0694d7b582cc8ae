// The end of a batch that the desktop decides: a logout or a shutdown ends the program before
// the night is over. Without this, the morning would find Pomvex.log still describing an
// earlier batch. The platform turns the signal or the session manager's request into this call
// (never from inside a signal handler) and ends the process afterwards.
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

bool CPomvexDlg::OnEndedFromOutside() {
    if (m_nCursor == 0) return false;
    // Ended first: a second request while the log file's box is open finds no batch, and the
    // program ends at once.
    m_nCursor = 0;
    m_bNoticePending = 0;  // nobody would see it
    // Nothing is closed here: whatever the copy loop has written stays, with the partial mark
    // it carries from before its first byte, so the next run asks only for the rest.
    m_strLog += Str(Sid::LogEndedFromOutside);
    SaveLog();
    return true;
}
