#include "window/PomvexDlg.h"

#include <algorithm>
#include <array>
#include <climits>
#include <new>
#include <string>
#include <utility>

#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "window/ProgressDlg.h"
#include "window/RateLimitDlg.h"

CPomvexDlg::CPomvexDlg(Host& host, InternetClient& internet, const InternetLimits& limits)
    : m_host(host),
      m_transfers(std::make_unique<Transfers>(
          host, internet, SessionOptions{Str(Sid::SessionAgent), limits},
          [&host] { return std::make_unique<CProgressDlg>(host, 0); })),
      m_batch(host, *m_transfers),
      m_lists(host) {}

CPomvexDlg::CPomvexDlg(Host& host, JobRunner& runner)
    : m_host(host), m_batch(host, runner), m_lists(host) {}

CPomvexDlg::~CPomvexDlg() = default;

namespace {

struct ComboDefaults {
    int id;
    int first, last, step;
    const char* start;
};

constexpr ComboDefaults kCombos[] = {
    {IDC_MONTH, 1, 12, 1, "11"},  {IDC_DAY, 1, 31, 1, "28"},    {IDC_HOUR, 0, 23, 1, "0"},
    {IDC_MINUTE, 0, 50, 10, "0"}, {IDC_DURATION, 1, 4, 1, "2"},
};

}  // namespace

bool CPomvexDlg::OnInitDialog() {
    // The opening data exchange puts the (empty) fields into the controls before any default.
    for (int id : {IDC_MONTH, IDC_DAY, IDC_HOUR, IDC_MINUTE, IDC_DURATION})
        m_host.SetDlgItemText(id, "");
    m_host.SetDlgItemText(IDC_LIST, m_strListEdit);

    // No system-menu item: the window manager owns that menu here; the about box stays on the
    // Help menu.

    m_host.SetTimer(TIMER_TICK, 1000);
    m_host.SetTimer(TIMER_SCHEDULE, 50000);

    // Result deliberately ignored: later file operations report their own failures.
    MakeDirectoryOnSystem(paths::ProgramFolderOnSystem());

    m_batch.Start();

    // A program folder whose name has no CP932 form cannot become the box's text: the box stays
    // empty and the user is told which folder and what to do (the own files still work).
    std::string saveDir, unshowable;
    try {
        saveDir = paths::ProgramFolder() + "/";
    } catch (const CTextException& e) {
        unshowable = e.GetErrorMessage();
    }
    m_host.SetDlgItemText(IDC_SAVE_DIR, saveDir);
    m_host.SetDlgItemText(IDC_LIST, Str(Sid::PlaceholderLine1) + "\r\n" +
                                        Str(Sid::PlaceholderLine2) + "\r\n" +
                                        Str(Sid::PlaceholderExampleUrl) + "\r\n");
    m_host.SetDlgItemText(IDC_LOG, Str(Sid::LogPlaceholder));

    for (const ComboDefaults& c : kCombos) {
        for (int n = c.first; n <= c.last; n += c.step)
            m_host.AddComboItem(c.id, std::to_string(n));
        m_host.SetDlgItemText(c.id, c.start);
    }
    // Focus goes to the first tab stop, IDC_LIST.
    m_host.SetFocus(IDC_LIST);
    if (!unshowable.empty()) m_host.MessageBox(unshowable, MB_ICONEXCLAMATION);
    return true;
}

void CPomvexDlg::OnCommand(int id, bool fromMenu) {
    RunGuarded(
        [this, id] {
            switch (id) {
                case IDC_GET:
                case ID_DOWNLOAD_START:
                    OnGet();
                    break;
                case IDC_GET_LATER:
                case ID_DOWNLOAD_TIMER:
                    OnGetLater();
                    break;
                case IDC_CHECK_LIST:
                case ID_TOOL_CHECK_LIST:
                    OnCheckList();
                    break;
                case IDC_NEXT:
                    OnNext();
                    break;
                case IDC_ABORT:
                    OnAbort();
                    break;
                case IDC_OPEN_LIST:
                case ID_LIST_OPEN:
                    OnOpenList();
                    break;
                case IDC_SAVE_LIST:
                case ID_LIST_SAVE:
                    OnSaveList();
                    break;
                case ID_TOOL_SERIAL:
                    OnSerial();
                    break;
                case ID_TOOL_RATE_LIMIT:
                    OnRateLimit();
                    break;
                case ID_TOOL_AFTER_NOTHING:
                    SetAfterNight(std::nullopt);
                    break;
                case ID_TOOL_AFTER_SUSPEND:
                    SetAfterNight(PowerAction::Suspend);
                    break;
                case ID_TOOL_AFTER_POWEROFF:
                    SetAfterNight(PowerAction::PowerOff);
                    break;
                case ID_HELP_ABOUT:
                    OnAbout();
                    break;
                case ID_FILE_EXIT:
                    OnExit();
                default:
                    break;
            }
        },
        fromMenu);
}

void CPomvexDlg::OnTimerEvent(unsigned id) {
    RunGuarded([this, id] { OnTimer(id); }, false);
}

void CPomvexDlg::OnTimer(unsigned id) {
    switch (id) {
        case TIMER_TICK:
            m_batch.OnTick();
            break;
        case TIMER_WATCHDOG:
            m_batch.OnWatchdog();
            break;
        case TIMER_SCHEDULE:
            m_batch.OnSchedule();
            break;
        case TIMER_DEADLINE:
            m_batch.OnDeadline();
            break;
        case TIMER_RATE:
            m_batch.OnRateSample();
            break;
        default:
            // Unknown ids go on to the default processing, which does nothing for timers.
            break;
    }
}

void CPomvexDlg::RunGuarded(const std::function<void()>& handler, bool fromMenu) {
    const std::string& fallback = Str(fromMenu ? Sid::CommandFailure : Sid::InternalFailure);
    try {
        handler();
    } catch (const std::bad_alloc&) {
        m_host.MessageBox(Str(Sid::OutOfMemory), MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    } catch (const CException& e) {
        std::string text = e.GetErrorMessage();
        m_host.MessageBox(text.empty() ? fallback : text, MB_ICONSTOP);
    } catch (...) {
        m_host.MessageBox(fallback, MB_ICONSTOP);
    }
    // Every change of the armed flag or the cursor happens inside some handler.
    m_batch.AfterHandler();
}

bool CPomvexDlg::OnOKCommand() {
    bool ok = false;
    RunGuarded(
        [this, &ok] {
            // "いいえ" must leave the armed schedule and the list copy as they were.
            const Schedule schedule = m_batch.GetSchedule();
            const std::string listEdit = m_strListEdit;
            if (!ExchangeOnClose()) return;
            ok = ConfirmEnd();
            if (ok) return;
            m_batch.SetSchedule(schedule);
            m_strListEdit = listEdit;
        },
        false);
    return ok;
}

bool CPomvexDlg::ExchangeOnClose() {
    Schedule schedule = m_batch.GetSchedule();
    struct Step {
        int id;
        std::string* field;
    };
    const Step steps[] = {{IDC_MONTH, &schedule.m_strMonth},
                          {IDC_DAY, &schedule.m_strDay},
                          {IDC_HOUR, &schedule.m_strHour},
                          {IDC_MINUTE, &schedule.m_strMinute},
                          {IDC_DURATION, &schedule.m_strDuration}};
    for (const Step& s : steps) {
        *s.field = m_host.GetDlgItemText(s.id);
        // Each field is exchanged as it passes: a later field's failure leaves the earlier ones.
        m_batch.SetSchedule(schedule);
        if (s.field->size() > 2) {
            m_host.MessageBox(FormatStr(Sid::LengthLimit, {"2"}), MB_ICONEXCLAMATION);
            m_host.SetFocus(s.id);
            return false;
        }
    }
    m_strListEdit = m_host.GetDlgItemText(IDC_LIST);
    return true;
}

bool CPomvexDlg::OnCancelCommand() {
    bool ok = false;
    RunGuarded([this, &ok] { ok = ConfirmEnd(); }, false);
    return ok;
}

bool CPomvexDlg::ConfirmEnd() {
    if (!m_batch.Running() && !m_batch.Armed()) return true;
    return m_host.MessageBox(FormatStr(Sid::ConfirmEnd, {Str(m_batch.StateWord())}),
                             MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void CPomvexDlg::OnAbout() {
    DialogHandler about;  // the about box has no data exchange and no handlers of its own
    m_host.DoModal(IDD_ABOUTBOX, about);
}

void CPomvexDlg::OnExit() {
    if (!ConfirmEnd()) return;
    m_host.ExitProcess(0);
}

void CPomvexDlg::TakeList(const std::string& lines, bool replace, bool get, bool check) {
    // A hand-over without lines (a second start with --get alone) leaves the list as it is.
    if (replace || !lines.empty()) {
        std::string list = replace ? std::string() : m_host.GetDlgItemText(IDC_LIST);
        if (!list.empty() && !list.ends_with('\n')) list += "\r\n";
        m_host.SetDlgItemText(IDC_LIST, list + lines);
    }
    if (m_batch.Running()) return;
    if (get) {
        OnGet();
    } else if (check) {
        OnCheckList();
    }
}

void CPomvexDlg::SetRateCap(int64_t bytesPerSec) {
    if (m_transfers) m_transfers->SetRateCap(bytesPerSec);
}

void CPomvexDlg::OnRateLimit() {
    // The dialog speaks KB/s; a cap set on the command line in bytes shows rounded up.
    CRateLimitDlg dlg;
    const int64_t kb = ((m_transfers ? m_transfers->RateCap() : 0) + 1023) / 1024;
    dlg.m_nKBps = static_cast<int32_t>(std::min<int64_t>(kb, INT32_MAX));
    if (m_host.DoModal(IDD_RATE_LIMIT, dlg) != IDOK) return;
    SetRateCap(int64_t{dlg.m_nKBps} * 1024);
}

void CPomvexDlg::SetAfterNight(std::optional<PowerAction> action) {
    m_batch.SetAfterNight(action);
    m_host.CheckMenuItem(!action                           ? ID_TOOL_AFTER_NOTHING
                         : *action == PowerAction::Suspend ? ID_TOOL_AFTER_SUSPEND
                                                           : ID_TOOL_AFTER_POWEROFF);
}
