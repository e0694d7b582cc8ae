// The "速度制限" dialog: the downloads' receive-speed cap in KB/s; empty or 0 for none.
#pragma once

#include <cstdint>

#include "platform/Host.h"

class CRateLimitDlg : public DialogHandler {
  public:
    // Fills the edit from m_nKBps (empty for 0) when the dialog opens; on OK reads it back and
    // ends the dialog only when it holds no number or a whole number from 0 on, else says so
    // over the dialog with the edit's text selected.
    void OnInitDialog(DialogView& view) override;
    bool OnOK(DialogView& view) override;

    int32_t m_nKBps = 0;  // IDC_RATE_LIMIT; 0: no cap
};
