// The "連番編集" dialog: a prefix, a range of two-digit numbers and a suffix.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Host.h"

// Reads a dialog's integer field the way the numbered-list dialog accepts it: the first 31
// bytes only; leading spaces and tabs skipped; an optional sign and decimal digits; then only
// spaces and tabs. A result of 0 that did not start with the digit '0' is refused (so "", "abc",
// "-0", "+0" are refused). Values beyond 32 bits saturate at INT32_MIN/INT32_MAX, so a huge
// number fails the range check instead of wrapping into it.
// REQUIRES: nothing; any bytes are accepted as input. Returns false on refusal, leaving
// *value untouched; never throws.
bool ReadDialogInteger(std::string_view text, int32_t* value);

class CSerialDlg : public DialogHandler {
  public:
    CSerialDlg() = default;

    // Fills the controls from the fields (opening) or reads and validates them back (OK), in
    // the order from, to, prefix, suffix. A failure shows its box over the dialog, puts the
    // focus on the failing edit with its text selected, stops there and returns false.
    // REQUIRES: view belongs to an IDD_SERIAL dialog.
    bool DoDataExchange(DialogView& view, bool saveAndValidate);

    void OnInitDialog(DialogView& view) override { DoDataExchange(view, false); }
    // Ends the dialog only when every field passed.
    bool OnOK(DialogView& view) override { return DoDataExchange(view, true); }

    int32_t m_nFrom = 0;      // IDC_SERIAL_FROM, 0..99 once OK succeeded
    int32_t m_nTo = 0;        // IDC_SERIAL_TO, 0..99 once OK succeeded
    std::string m_strPrefix;  // IDC_SERIAL_PREFIX, CP932, as typed
    std::string m_strSuffix;  // IDC_SERIAL_SUFFIX, CP932, as typed

  private:
    // One step of the exchange; false after the failure has been reported.
    bool ExchangeInt(DialogView& view, bool save, int id, int32_t& field);
    bool ExchangeText(DialogView& view, bool save, int id, std::string& field);
};
