#include "fake/FakeHost.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Exceptions.h"
#include "resources/Strings.h"

namespace {
// Win32 raises shorter periods to this minimum; a 0 ms timer still fires once per pass.
constexpr uint32_t kMinPeriodMs = 10;
}  // namespace

// ---- FakeDialogView ----

void FakeDialogView::SetItemText(int id, const std::string& text) {
    texts[id] = text;
    ++setTextCount[id];
}

std::string FakeDialogView::GetItemText(int id) const {
    auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
}

int FakeDialogView::SetPos(int id, int value) {
    int prev = pos[id];
    auto r = ranges.find(id);
    if (r != ranges.end()) value = std::clamp(value, r->second.first, r->second.second);
    pos[id] = value;
    return prev;
}

int FakeDialogView::MessageBox(const std::string& text, unsigned type) {
    boxes.push_back({text, type});
    return IDOK;
}

// A modeless view that unregisters itself from the host when the logic drops it.
class FakeModelessView : public FakeDialogView {
  public:
    FakeModelessView(FakeHost& host, int templateId, DialogHandler& handler)
        : FakeDialogView(templateId, handler), m_host(host) {
        m_host.modeless.push_back(this);
    }
    ~FakeModelessView() override {
        auto& v = m_host.modeless;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }

  private:
    FakeHost& m_host;
};

// ---- FakeHost ----

FakeHost::FakeHost() : m_epochMs(1795824000LL * 1000) {}  // 2026-11-28 00:00:00 UTC
FakeHost::~FakeHost() = default;

// The calendar second changes exactly 1000 ms after SetNow, whatever the virtual ms were then.
void FakeHost::SetNow(int64_t seconds) {
    m_epochMs = seconds * 1000 - m_nowMs;
}

int64_t FakeHost::Now() {
    int64_t ms = m_epochMs + m_nowMs;
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);  // floor, also before 1970
}

uint32_t FakeHost::TimerPeriod(unsigned id) const {
    auto it = m_timers.find(id);
    return it == m_timers.end() ? 0 : it->second.period;
}

int64_t FakeHost::TimerDueIn(unsigned id) const {
    auto it = m_timers.find(id);
    return it == m_timers.end() ? -1 : std::max<int64_t>(0, it->second.due - m_nowMs);
}

void FakeHost::Advance(int64_t ms) {
    int64_t target = m_nowMs + ms;
    FireDue(target);
    if (m_nowMs < target) m_nowMs = target;
}

void FakeHost::Elapse(int64_t ms) {
    m_nowMs += ms;
}

bool FakeHost::AdvanceUntil(const std::function<bool()>& done, int64_t limitMs) {
    const int64_t end = m_nowMs + limitMs;
    while (!done() && m_nowMs < end) {
        int64_t next = end;
        for (const auto& [id, timer] : m_timers)
            next = std::min(next, std::max(timer.due, m_nowMs));
        // An overdue timer (after Elapse) fires at the present moment.
        // Every pass fires at least one timer (periods are at least 10 ms) or reaches the end.
        Advance(next - m_nowMs);
    }
    return done();
}

void FakeHost::FireDue(int64_t until) {
    for (;;) {
        // The earliest due timer; an overdue one (after Elapse) fires at the present moment.
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
            if (next == m_timers.end() || it->second.due < next->second.due) next = it;
        if (next == m_timers.end() || next->second.due > until) return;
        unsigned id = next->first;
        if (next->second.due > m_nowMs) m_nowMs = next->second.due;
        // Re-armed before the handler runs, so it can fire again inside its own handler.
        next->second.due = m_nowMs + next->second.period;
        firings.emplace_back(id, m_nowMs);
        if (m_events) m_events->OnTimerEvent(id);
    }
}

void FakeHost::SetDlgItemText(int id, const std::string& text) {
    texts[id] = text;
    textHistory.emplace_back(id, text);
}

std::string FakeHost::GetDlgItemText(int id) {
    if (nonCp932Controls.count(id)) throw CTextException(Str(Sid::TextNotCp932));
    auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
}

void FakeHost::InvalidateRect(bool erase) {
    calls.push_back(erase ? "Invalidate(1)" : "Invalidate(0)");
}
void FakeHost::UpdateWindow() {
    calls.push_back("Update");
}

void FakeHost::EnableWindow(bool enable) {
    enabled = enable;
    calls.push_back(enable ? "Enable(1)" : "Enable(0)");
}

void FakeHost::SetTimer(unsigned id, uint32_t elapseMs) {
    uint32_t period = std::max(elapseMs, kMinPeriodMs);
    m_timers[id] = Timer{period, m_nowMs + period};
    calls.push_back("SetTimer(" + std::to_string(id) + "," + std::to_string(elapseMs) + ")");
}

void FakeHost::KillTimer(unsigned id) {
    m_timers.erase(id);
    calls.push_back("KillTimer(" + std::to_string(id) + ")");
}

void FakeHost::PumpMessages() {
    ++pumpCount;
    if (pumpAdvanceMs > 0)
        Advance(pumpAdvanceMs);
    else
        FireDue(m_nowMs);
    if (onPump) onPump();
}

int FakeHost::MessageBox(const std::string& text, unsigned type) {
    boxes.push_back({text, type});
    if (onMessageBox) onMessageBox(boxes.back());
    return (type & 0xF) == MB_YESNO ? yesNoAnswer : IDOK;
}

bool FakeHost::FileDialog(bool open, const std::string& initialPath, std::string& chosenPath) {
    calls.push_back(open ? "FileDialog(open)" : "FileDialog(save)");
    if (!onFileDialog) return false;
    return onFileDialog(open, initialPath, chosenPath);
}

int FakeHost::DoModal(int templateId, DialogHandler& handler) {
    modalTemplates.push_back(templateId);
    FakeDialogView view(templateId, handler);
    handler.OnInitDialog(view);
    if (!onModal) return IDCANCEL;
    return onModal(view);
}

std::unique_ptr<DialogView> FakeHost::CreateModeless(int templateId, DialogHandler& handler) {
    auto view = std::make_unique<FakeModelessView>(*this, templateId, handler);
    handler.OnInitDialog(*view);
    return view;
}

void FakeHost::ExitProcess(int status) {
    std::exit(status);
}
