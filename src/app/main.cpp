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

#include "app/DisplayCheck.h"
#include "platform/OsPath.h"
#include "platform/ProgramLock.h"
#include "platform/curl/CurlInternet.h"
#include "platform/dbus/DBusDesktop.h"
#include "platform/dbus/RunningCopy.h"
#include "platform/qt/BlockingPump.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/EndRequests.h"
#include "platform/qt/QtHost.h"
#include "platform/qt/QtText.h"
#include "resources/Strings.h"
#include "resources/Text.h"
#include "window/PomvexDlg.h"

namespace {

// How long a second start waits for the running copy to answer before it says so in a box.
constexpr int kActivateTimeoutMs = 5000;

// A second start on a folder that a copy runs: that copy comes to the front, or, without a
// session bus to ask it, the user is told. No window of this copy opens.
int ShowRunningCopy(const std::string& folder) {
    if (RunningCopy::ActivateCopyOf(folder, kActivateTimeoutMs)) return 0;
    QMessageBox box(QMessageBox::NoIcon, QtHost::AppName(),
                    qthost::ToQ(FormatStr(Sid::AlreadyRunning, {ospath::Displayable(folder)})),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setFont(qthost::DialogFont());
    box.exec();
    return 0;
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
    if (!app::CanShowWindow(argc, argv)) {
        // A terminal reads UTF-8; the string table holds CP932.
        std::fprintf(stderr, "%s\n", text::Cp932ToUtf8(Str(Sid::NoDisplay)).c_str());
        return 1;
    }
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

    const ProgramLock lock;
    if (lock.state() == ProgramLock::State::heldElsewhere) return ShowRunningCopy(lock.folder());

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
        runningCopy =
            std::make_unique<RunningCopy>(lock.folder(), [&window] { BringToFront(window); });

    // A batch that runs when the session ends gets its log written; then the process ends the
    // way it would have ended without this program's say: a signal by its default action, the
    // session manager's request (which today ends nothing by itself) only after a batch.
    qthost::EndRequests endRequests([&window, &logic](int signal) {
        bool batchEnded = false;
        window.Guarded([&] { batchEnded = logic->OnEndedFromOutside(); });
        if (signal != 0) qthost::EndRequests::DieOf(signal);
        if (batchEnded) window.ExitProcess(0);
    });
    window.exec();
    return 0;
}
