// Start-up: one application object, one main window run modally; the program ends when the
// window closes (the "終了" command ends the process from inside instead). One copy runs per
// program folder, and a logout or a shutdown still leaves the night's log.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>
#include <memory>
#include <optional>

#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "platform/OsPath.h"
#include "platform/Paths.h"
#include "platform/ProgramLock.h"
#include "platform/curl/CurlInternet.h"
#include "platform/dbus/DBusDesktop.h"
#include "platform/dbus/RunningCopy.h"
#include "platform/qt/BlockingPump.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/EndRequests.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/QtText.h"
#include "resources/Cp932.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "window/PomvexDlg.h"

namespace {

// How long a second start waits for the running copy to answer before it says so in a box.
constexpr int kActivateTimeoutMs = 5000;

// A box of this copy, before or without its window.
void ShowBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QtHost::AppName(), qthost::ToQ(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setFont(qthost::DialogFont());
    box.exec();
}

// --help, --version and a command line that is refused are answered on the terminal, without a
// window: true, with the exit status.
bool AnsweredOnTerminal(const CommandLine& cl, bool japanese, int* status) {
    std::string text;
    if (!cl.refusal.empty()) {
        text = cl.refusal;
        *status = 2;
    } else if (cl.help) {
        text = Str(japanese ? Sid::UsageJa : Sid::UsageEn);
    } else if (cl.version) {
        text = Str(Sid::VersionLine);
    } else {
        return false;
    }
    std::fputs(text::Cp932ToUtf8(text).c_str(), cl.refusal.empty() ? stdout : stderr);
    return true;
}

// A second start on a folder that a copy runs: the list and the start it was asked for go to
// that copy, which comes to the front; or, without a session bus to ask it, the user is told.
// No window of this copy opens.
int ShowRunningCopy(const std::string& folder, const CommandLine& cl,
                    const std::optional<std::string>& lines, const std::string& error) {
    if (!lines) {
        ShowBox(error);
        return 1;
    }
    const bool handOver = !cl.items.empty() || cl.get || cl.check;
    if (handOver ? RunningCopy::HandOverTo(folder, *lines, cl.get, cl.check, kActivateTimeoutMs)
                 : RunningCopy::ActivateCopyOf(folder, kActivateTimeoutMs))
        return 0;
    ShowBox(FormatStr(Sid::AlreadyRunning, {ospath::Displayable(folder)}));
    return 0;
}

// What the command line asked of the new window: the cap, the list, a start.
void ApplyCommandLine(QtHost& window, CPomvexDlg& logic, const CommandLine& cl,
                      const std::optional<std::string>& lines, const std::string& error) {
    window.Guarded([&] {
        if (cl.limitBytesPerSec) logic.SetRateCap(*cl.limitBytesPerSec);
        if (cl.after) logic.SetAfterNight(cl.after);
        if (!lines) {
            window.MessageBox(error, MB_ICONEXCLAMATION);
        } else if (!cl.items.empty()) {
            logic.TakeList(*lines, true, cl.get, cl.check);
        } else if (cl.get || cl.check) {
            logic.OnCommand(cl.get ? IDC_GET : IDC_CHECK_LIST, false);
        }
    });
}

// The main window to the front, and over it whatever box or window it waits for.
void BringToFront(QtHost& window) {
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
    if (QWidget* top = window.LastActivePopup(); top != &window) {
        top->raise();
        top->activateWindow();
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool japanese = LocaleIsJapanese();
    const CommandLine cl = ParseCommandLine({argv + 1, argv + argc}, japanese);
    if (int status = 0; AnsweredOnTerminal(cl, japanese, &status)) return status;
    if (!app::CanShowWindow(argc, argv)) {
        // A terminal reads UTF-8; the string table holds CP932.
        std::fprintf(stderr, "%s\n", text::Cp932ToUtf8(Str(Sid::NoDisplay)).c_str());
        return 1;
    }
    app::ChooseInputContext(argc, argv);
    QApplication app(argc, argv);
    // Texts are converted explicitly at the toolkit boundary; nothing may depend on the
    // user's locale (number formats, the C library's multibyte conversions).
    QLocale::setDefault(QLocale::c());
    // Every text of the program is Japanese, so the toolkit's own texts (file dialogs, standard
    // buttons) are too, whatever the locale. Without the translation they stay in English.
    QTranslator qtJapanese;
    if (qtJapanese.load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);
    QApplication::setFont(qthost::DialogFont());
    QApplication::setWindowIcon(qthost::ProgramIcon());

    // Read before anything else: a list file named relative to where the program was started.
    std::string error;
    const std::optional<std::string> lines = ListFromItems(cl.items, &error);

    // A folder another user owns, or may write to, is not taken: he could plant a link or hold
    // the lock.
    if (const std::optional<std::string> problem = paths::ProgramFolderProblem()) {
        ShowBox(*problem);
        return 1;
    }
    const ProgramLock lock;
    if (lock.state() == ProgramLock::State::heldElsewhere)
        return ShowRunningCopy(lock.folder(), cl, lines, error);

    CurlInternetClient internet;
    DBusDesktop desktop(qthost::ProgramIcon().pixmap(64).toImage());
    CPomvexDlg* logic = nullptr;  // owned by the window
    QtHost window([&internet, &desktop, &logic](Host& host) {
        auto made = std::make_unique<CPomvexDlg>(host, internet);
        made->SetDesktop(desktop);
        logic = made.get();
        return made;
    });
    // While a transfer waits for the network the window still repaints and answers the
    // desktop's ping; the logic sees nothing of it.
    qthost::BlockingPump pump(window);
    internet.SetWaitHook([&pump] { pump.Pass(); });

    std::unique_ptr<RunningCopy> runningCopy;
    if (lock.state() == ProgramLock::State::held)
        runningCopy = std::make_unique<RunningCopy>(
            lock.folder(), [&window] { BringToFront(window); },
            [&window, &logic](const std::string& handed, bool get, bool check) {
                window.Guarded([&] { logic->TakeList(handed, false, get, check); });
            });

    // A batch that runs when the session ends gets its log written; then the process ends the
    // way it would have ended without this program's say: a signal by its default action, the
    // session manager's request (which today ends nothing by itself) only after a batch.
    qthost::EndRequests endRequests([&window, &logic](int signal) {
        bool batchEnded = false;
        window.Guarded([&] { batchEnded = logic->OnEndedFromOutside(); });
        if (signal != 0) qthost::EndRequests::DieOf(signal);
        if (batchEnded) window.ExitProcess(0);
    });
    ApplyCommandLine(window, *logic, cl, lines, error);
    window.exec();
    return 0;
}
