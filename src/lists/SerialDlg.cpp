#include "lists/SerialDlg.h"

#include <cstdint>
#include <string>

#include "platform/Exceptions.h"
#include "resources/Resource.h"
#include "resources/Strings.h"

namespace {
constexpr size_t kFieldBytes = 31;  // the field buffer of the data exchange holds 31 bytes
constexpr int32_t kLow = 0, kHigh = 99;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

bool ReadDialogInteger(std::string_view text, int32_t* value) {
    text = text.substr(0, kFieldBytes);
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    const bool startsWithZero = i < text.size() && text[i] == '0';

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated in 64 bits and saturated, like a 32-bit strtol.
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > int64_t{INT32_MAX} + 1) magnitude = int64_t{INT32_MAX} + 1;
    }
    int64_t v = negative ? -magnitude : magnitude;
    if (v > INT32_MAX) v = INT32_MAX;

    if (v == 0 && !startsWithZero) return false;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i != text.size()) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool CSerialDlg::DoDataExchange(DialogView& view, bool save) {
    return ExchangeInt(view, save, IDC_SERIAL_FROM, m_nFrom) &&
           ExchangeInt(view, save, IDC_SERIAL_TO, m_nTo) &&
           ExchangeText(view, save, IDC_SERIAL_PREFIX, m_strPrefix) &&
           ExchangeText(view, save, IDC_SERIAL_SUFFIX, m_strSuffix);
}

bool CSerialDlg::ExchangeInt(DialogView& view, bool save, int id, int32_t& field) {
    if (!save) {
        view.SetItemText(id, std::to_string(field));
        return true;
    }
    std::string text;
    if (!ExchangeText(view, true, id, text)) return false;
    int32_t v = 0;
    if (!ReadDialogInteger(text, &v)) {
        view.MessageBox(Str(Sid::SerialEnterInteger), MB_ICONEXCLAMATION);
        view.FocusAndSelectAll(id);
        return false;
    }
    field = v;
    if (v < kLow || v > kHigh) {
        view.MessageBox(FormatStr(Sid::SerialRange, {std::to_string(kLow), std::to_string(kHigh)}),
                        MB_ICONEXCLAMATION);
        view.FocusAndSelectAll(id);
        return false;
    }
    return true;
}

bool CSerialDlg::ExchangeText(DialogView& view, bool save, int id, std::string& field) {
    if (!save) {
        view.SetItemText(id, field);
        return true;
    }
    // A character with no CP932 form would otherwise end up replaced in every generated line:
    // treat it as a field that failed, so the user can fix it with the dialog still open.
    try {
        field = view.GetItemText(id);
    } catch (const CTextException& e) {
        view.MessageBox(e.GetErrorMessage(), MB_ICONEXCLAMATION);
        view.FocusAndSelectAll(id);
        return false;
    }
    return true;
}
