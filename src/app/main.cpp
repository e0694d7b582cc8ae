// Start-up: one application object, one main window run modally; the program ends when the
// window closes (the "終了" command ends the process from inside instead).
#include <QApplication>
#include <QLocale>
#include <memory>

#include "platform/curl/CurlInternet.h"
#include "platform/dbus/DBusDesktop.h"
#include "platform/qt/DialogBuilder.h"
#include "platform/qt/QtHost.h"
#include "ui/PomvexDlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Texts are converted explicitly at the toolkit boundary; nothing may depend on the
    // user's locale (number formats, the C library's multibyte conversions).
    QLocale::setDefault(QLocale::c());
    QApplication::setFont(qthost::DialogFont());
    QApplication::setWindowIcon(qthost::ProgramIcon());

    CurlInternetClient internet;
    DBusDesktop desktop(qthost::ProgramIcon().pixmap(64).toImage());
    QtHost window([&internet, &desktop](Host& host) {
        auto logic = std::make_unique<CPomvexDlg>(host, internet);
        logic->SetDesktop(desktop);
        return logic;
    });
    window.exec();
    return 0;
}
