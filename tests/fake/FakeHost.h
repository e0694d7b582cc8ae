// A Host for logic tests: records what the logic shows, answers boxes and dialogs from a
// script, and runs timers on a virtual clock the Win32 way (a timer may fire again inside its
// own handler while that handler pumps or shows a box; an overdue timer fires once).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Host.h"

struct FakeBox {
    std::string text;  // CP932
    unsigned type;
};

// The controls of one dialog opened through DoModal or CreateModeless.
class FakeDialogView : public DialogView {
  public:
    FakeDialogView(int templateId, DialogHandler& handler)
        : templateId(templateId), handler(handler) {}
    void SetItemText(int id, const std::string& text) override;
    std::string GetItemText(int id) const override;
    void SetCaption(const std::string& text) override { caption = text; }
    void FocusAndSelectAll(int id) override {
        focus = id;
        selectedAll = id;
    }
    void SetRange(int id, int lower, int upper) override { ranges[id] = {lower, upper}; }
    int SetPos(int id, int pos) override;
    int MessageBox(const std::string& text, unsigned type) override;

    // Script helpers: what a user's OK / cancel press does. True when a modal dialog would end.
    bool PressOK() { return handler.OnOK(*this); }
    bool PressCancel() { return handler.OnCancel(*this); }

    const int templateId;
    DialogHandler& handler;  // not owned
    std::map<int, std::string> texts;
    std::map<int, int> setTextCount;  // how often SetItemText ran per control
    std::string caption;
    int focus = 0, selectedAll = 0;
    std::map<int, std::pair<int, int>> ranges;
    std::map<int, int> pos;
    std::vector<FakeBox> boxes;
    bool destroyed = false;
};

class FakeHost : public Host {
  public:
    FakeHost();
    ~FakeHost() override;

    // The logic that receives timer events. REQUIRES: outlives the host's use.
    void Attach(HostEvents* events) { m_events = events; }

    // ---- virtual clock ----
    // Sets the calendar time (seconds since 1970 UTC); timers keep their remaining periods.
    void SetNow(int64_t seconds);
    int64_t NowMs() const { return m_nowMs; }
    // Moves the clock forward by ms while the thread takes messages: every timer that comes due
    // fires at its due time, in time order (lower id first on ties), nested if called from a
    // handler.
    void Advance(int64_t ms);
    // Moves the clock forward while the thread is busy: nothing fires now; each timer that came
    // due fires once at the next pump or Advance.
    void Elapse(int64_t ms);
    // Advances from one timer firing to the next until done() holds or limitMs have passed;
    // returns done(). The clock stops right after the firing that made done() true.
    bool AdvanceUntil(const std::function<bool()>& done, int64_t limitMs);
    // Milliseconds each PumpMessages call moves the clock (default 0: pumping fires only what is
    // due).
    int64_t pumpAdvanceMs = 0;
    bool TimerRunning(unsigned id) const { return m_timers.count(id) != 0; }
    uint32_t TimerPeriod(unsigned id) const;
    // Ms until timer id is next due; -1 when not running.
    int64_t TimerDueIn(unsigned id) const;

    // ---- scripts ----
    // Runs while a box is open (the box is already recorded); may Advance the clock.
    std::function<void(const FakeBox&)> onMessageBox;
    // What the user answers a MB_YESNO box: IDYES or IDNO.
    int yesNoAnswer = IDNO;
    // Answers a file dialog: return true and set chosen for OK. Default: cancel.
    std::function<bool(bool open, const std::string& initial, std::string& chosen)> onFileDialog;
    // Plays the user of a modal dialog; returns IDOK or IDCANCEL. Default: IDCANCEL after init.
    std::function<int(FakeDialogView&)> onModal;
    // Called at every PumpMessages (after due timers fired), e.g. to press a modeless dialog's
    // cancel.
    std::function<void()> onPump;

    // ---- records ----
    std::map<int, std::string> texts;                      // current control texts (CP932)
    std::vector<std::pair<int, std::string>> textHistory;  // every SetDlgItemText, in order
    std::map<int, std::vector<std::string>> comboItems;
    std::set<int> nonCp932Controls;  // GetDlgItemText on these throws CTextException
    std::vector<FakeBox> boxes;
    std::vector<std::string> calls;  // "Invalidate(1)", "Update", "SetTimer(2,100000)",
                                     // "KillTimer(5)", "Enable(0)", "Pump", ...
    std::vector<int> modalTemplates;
    std::vector<FakeDialogView*> modeless;  // live modeless views, newest last
    int focus = 0;
    bool enabled = true;
    int pumpCount = 0;
    std::vector<std::pair<unsigned, int64_t>> firings;  // (timer id, virtual ms) of every firing

    // ---- Host ----
    void SetDlgItemText(int id, const std::string& text) override;
    std::string GetDlgItemText(int id) override;
    void AddComboItem(int id, const std::string& item) override { comboItems[id].push_back(item); }
    void SetFocus(int id) override { focus = id; }
    void InvalidateRect(bool erase) override;
    void UpdateWindow() override;
    void EnableWindow(bool enable) override;
    bool IsWindowEnabled() const override { return enabled; }
    void SetTimer(unsigned id, uint32_t elapseMs) override;
    void KillTimer(unsigned id) override;
    void PumpMessages() override;
    int MessageBox(const std::string& text, unsigned type) override;
    bool FileDialog(bool open, const std::string& initialPath, std::string& chosenPath) override;
    int DoModal(int templateId, DialogHandler& handler) override;
    std::unique_ptr<DialogView> CreateModeless(int templateId, DialogHandler& handler) override;
    int64_t Now() override;
    [[noreturn]] void ExitProcess(int status) override;
    void CheckMenuItem(int command) override {
        calls.push_back("CheckMenu(" + std::to_string(command) + ")");
    }

  private:
    struct Timer {
        uint32_t period;
        int64_t due;
    };
    // Fires every timer due at or before `until`, moving the clock to each due time.
    void FireDue(int64_t until);

    HostEvents* m_events = nullptr;
    // Calendar time at virtual ms 0, in ms, so that SetNow starts a whole second exactly.
    int64_t m_epochMs;
    int64_t m_nowMs = 0;
    std::map<unsigned, Timer> m_timers;
};
