// Start-up: one application object, one main window run modally; the program ends when the
// window closes (the "終了" command ends the process from inside instead).
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <memory>

#include "app/DisplayCheck.h"
#include "platform/curl/CurlInternet.h"
#include "platform/dbus/DBusDesktop.h"
#include "platform/qt/BlockingPump.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/QtHost.h"
#include "ui/PomvexDlg.h"

int main(int argc, char** argv) {
    if (const std::string why = app::WhyNoDisplay(argc, argv); !why.empty()) {
        std::fprintf(stderr, "%s\n", why.c_str());
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

    CurlInternetClient internet;
    DBusDesktop desktop(qthost::ProgramIcon().pixmap(64).toImage());
    QtHost window([&internet, &desktop](Host& host) {
        auto logic = std::make_unique<CPomvexDlg>(host, internet);
        logic->SetDesktop(desktop);
        return logic;
    });
    // While a transfer waits for the network the window still repaints and answers the
    // desktop's ping; the logic sees nothing of it.
    qthost::BlockingPump pump(window);
    internet.SetWaitHook([&pump] { pump.Pass(); });
    window.exec();
    return 0;
}
