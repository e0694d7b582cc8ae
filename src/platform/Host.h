// The windowing platform as the logic sees it: Win32-shaped operations on the main window,
// its controls and timers, message boxes and dialogs. Real: platform/qt (QtHost). Tests:
// tests/fake (FakeHost, virtual clock). All texts are CP932 bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Message-box types (only what the program uses).
enum : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,  // "はい" and "いいえ"
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_DEFBUTTON2 = 0x100,  // the second button is the default
    MB_SYSTEMMODAL = 0x1000,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class DialogView;

// Logic side of a dialog built from a template (about box, serial dialog, progress window).
// The host calls these; the view is valid only during the call unless the host says otherwise.
class DialogHandler {
  public:
    virtual ~DialogHandler() = default;
    // After the controls exist, before the dialog is shown.
    virtual void OnInitDialog(DialogView&) {}
    // OK command (id 1: OK button, Enter). Return true to end a modal dialog with IDOK.
    virtual bool OnOK(DialogView&) { return true; }
    // Cancel command (id 2: cancel button, Escape, close box). Return true to end a modal
    // dialog with IDCANCEL. A modeless dialog is never closed by the host.
    virtual bool OnCancel(DialogView&) { return true; }
};

// The controls of one open dialog window.
class DialogView {
  public:
    virtual ~DialogView() = default;
    virtual void SetItemText(int id, const std::string& text) = 0;
    // Throws CTextException when the control holds a character with no CP932 form.
    virtual std::string GetItemText(int id) const = 0;
    virtual void SetCaption(const std::string& text) = 0;
    // Focus on control `id` and select its whole text.
    virtual void FocusAndSelectAll(int id) = 0;
    // Progress bar control `id`.
    virtual void SetRange(int id, int lower, int upper) = 0;
    // Returns the previous position; the value is clamped to the range.
    virtual int SetPos(int id, int pos) = 0;
    // Owner-modal message box over this dialog; returns IDOK.
    virtual int MessageBox(const std::string& text, unsigned type) = 0;
};

// Receives the main window's events from the host. Implemented by CPomvexDlg.
class HostEvents {
  public:
    virtual ~HostEvents() = default;
    // The window's initialisation, once, after its controls exist and before it shows.
    virtual bool OnInitDialog() = 0;
    // Runs `handler` under the general error handler: a failure is reported in a box and the
    // caller goes on. fromMenu picks the text shown when the failure has no description.
    virtual void RunGuarded(const std::function<void()>& handler, bool fromMenu) = 0;
    // A button or menu command; fromMenu tells the two apart for the fallback error text.
    virtual void OnCommand(int id, bool fromMenu) = 0;
    // A timer firing of the main window.
    virtual void OnTimerEvent(unsigned id) = 0;
    // OK command of the main window (Enter outside the multi-line boxes). Returns true when the
    // window may close.
    virtual bool OnOKCommand() = 0;
    // Cancel command of the main window (Escape, the close box). Returns true when the window
    // may close.
    virtual bool OnCancelCommand() = 0;
};

// The main window and the platform services around it. One per main window.
class Host {
  public:
    virtual ~Host() = default;

    // --- main window controls (ids from resources/Resource.h) ---
    virtual void SetDlgItemText(int id, const std::string& text) = 0;
    // Throws CTextException when the control holds a character with no CP932 form.
    virtual std::string GetDlgItemText(int id) = 0;
    // Appends `item` to the list of combo box `id`.
    virtual void AddComboItem(int id, const std::string& item) = 0;
    virtual void SetFocus(int id) = 0;

    // --- main window ---
    // Marks the window for repaint; erase = background too.
    virtual void InvalidateRect(bool erase) = 0;
    // Repaints what is marked, now.
    virtual void UpdateWindow() = 0;
    virtual void EnableWindow(bool enable) = 0;
    virtual bool IsWindowEnabled() const = 0;

    // --- timers of the main window ---
    // Starts timer `id`; a running timer with that id is replaced and its period restarts.
    // A timer may fire again inside its own handler (while the handler pumps or shows a box).
    virtual void SetTimer(unsigned id, uint32_t elapseMs) = 0;
    virtual void KillTimer(unsigned id) = 0;

    // --- message loop ---
    // Serves every pending event without waiting (timers that are due fire here).
    virtual void PumpMessages() = 0;
    // Whether PumpMessages would serve the queue now: a host that paces its passes answers
    // false until the next one is due. Never throws.
    virtual bool PumpDue() const { return true; }

    // --- boxes and dialogs (all modal loops keep serving the timers) ---
    // Box with OK, or with "はい" and "いいえ" for MB_YESNO (the first the default unless
    // MB_DEFBUTTON2); caption = application name. Returns IDOK, or IDYES or IDNO (also when the
    // box is closed another way).
    virtual int MessageBox(const std::string& text, unsigned type) = 0;
    // Open (open=true) or save dialog with the filter "全ﾌｧｲﾙ (*.*)". Open requires an existing
    // file; save asks before replacing one. Returns true with the chosen path on OK. Paths are
    // CP932 text; a chosen name with no CP932 form throws CTextException naming it.
    virtual bool FileDialog(bool open, const std::string& initialPath, std::string& chosenPath) = 0;
    // Runs dialog template `templateId` modally over the main window; returns IDOK or IDCANCEL.
    virtual int DoModal(int templateId, DialogHandler& handler) = 0;
    // Creates the modeless dialog `templateId`, visible, at its owner's client origin: the main
    // window, or the pop-up that window last activated (an open box, another modeless dialog),
    // which stays disabled while the new dialog lives.
    // Returns null on failure. The view lives until the returned pointer is destroyed; the
    // handler must outlive it. Its OK/Cancel commands go to the handler and never close it.
    virtual std::unique_ptr<DialogView> CreateModeless(int templateId, DialogHandler& handler) = 0;

    // --- runtime ---
    // Current calendar time, seconds since 1970-01-01 UTC.
    virtual int64_t Now() = 0;
    // Ends the process at once with `status`.
    [[noreturn]] virtual void ExitProcess(int status) = 0;
    // Checks menu item `command`, one of a group of which one is checked at a time.
    virtual void CheckMenuItem(int command) = 0;
};
