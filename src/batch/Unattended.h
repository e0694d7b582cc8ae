// What an unattended batch needs from the desktop: the machine stays awake while a timed start
// waits or a batch runs, and the user learns the batch's tally when it ends by itself. This
// decides when; the Desktop only holds, drops and shows.
#pragma once

#include <cstdint>
#include <string>

#include "batch/Tally.h"
#include "platform/Desktop.h"

class Unattended {
  public:
    // The desktop the lock and the notification go to; NoDesktop() until set.
    // REQUIRES: desktop outlives this object.
    void SetDesktop(Desktop& desktop) { m_desktop = &desktop; }

    // Holds the sleep lock while the timed start is `armed` or work is `running` (a batch, or a
    // transfer that outlived it), and drops it otherwise. Never throws.
    void SyncSleepLock(bool running, bool armed, bool downloading);

    // The batch ended by itself at its empty entry or by the deadline (`timeOver`): its tally
    // is told now, or once no transfer is on the stack (`transfers` > 0: one outlived it).
    void BatchEnded(bool timeOver, bool download, int32_t transfers, const Tally& tally);
    // Sends the waiting notification, if any, with `tally` as it stands now. Never throws.
    void SendNotice(const Tally& tally);
    // The user is there (中止) or nobody will see it (the session ends): nothing is told.
    void DropNotice() { m_bNoticePending = 0; }

  private:
    Desktop* m_desktop = &NoDesktop();  // not owned; never null
    std::string m_strSleepWhy;          // why of the sleep lock held now; empty: none held
    // 1: a batch ended by itself and its notification waits for the transfer that outlived it.
    uint8_t m_bNoticePending = 0;
    uint8_t m_bNoticeTimeOver = 0;  // of the waiting notification: cut off by the deadline
    uint8_t m_bNoticeDownload = 0;  // of the waiting notification: a download batch
};
