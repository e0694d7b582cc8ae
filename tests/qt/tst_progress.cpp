// The progress window and whole downloads on the real Qt platform (offscreen): the main window
// disabled while it stands, cancel by button, Escape and close box, the value text, and a batch
// run by the real timers against a local server.
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/curl/CurlInternet.h"
#include "platform/qt/QtHost.h"
#include "resources/Resource.h"
#include "resources/Text.h"
#include "transfer/LocalServers.h"
#include "window/PomvexDlg.h"
#include "window/ProgressDlg.h"

namespace {

QString U(const std::string& cp932) {
    return QString::fromStdString(text::Cp932ToUtf8(cp932));
}

}  // namespace

class TestProgress : public QObject {
    Q_OBJECT

    std::unique_ptr<QtHost> MakeHost() {
        auto host = std::make_unique<QtHost>(
            [this](Host& h) { return std::make_unique<CPomvexDlg>(h, m_internet); });
        host->show();
        return host;
    }

    // The visible progress window of `host`, or null.
    static QDialog* ProgressWindow(QtHost& host) {
        for (QDialog* d : host.findChildren<QDialog*>())
            if (d->isVisible() && d->findChild<QProgressBar*>()) return d;
        return nullptr;
    }

    static QLabel* LabelWithText(QWidget* w, const QString& text) {
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->text() == text) return l;
        return nullptr;
    }

    QTemporaryDir m_home;
    CurlInternetClient m_internet;

  private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("POMVEX_HOME", QFile::encodeName(m_home.path() + "/Pomvex"));
        testsrv::ClearProxyEnvironment();
    }

    void mainWindowDisabledAndCancelKeepsTheWindowOpen() {
        auto host = MakeHost();
        auto dlg = std::make_unique<CProgressDlg>(*host);
        QVERIFY(dlg->Create());
        QVERIFY(!host->IsWindowEnabled());
        QVERIFY(host->control(IDC_GET)->isEnabled());  // drawn as usual; its input is refused
        QDialog* win = ProgressWindow(*host);
        QVERIFY(win);
        QVERIFY(win->isEnabled());
        QCOMPARE(win->windowTitle(), QString("Pomvex"));

        QPushButton* stop = nullptr;
        for (QPushButton* b : win->findChildren<QPushButton*>())
            if (b->text() == QString::fromUtf8("中止")) stop = b;
        QVERIFY(stop);
        QVERIFY(!dlg->CheckCancelButton());
        QTest::mouseClick(stop, Qt::LeftButton);
        QVERIFY(dlg->CheckCancelButton());
        QVERIFY(!dlg->CheckCancelButton());

        QTest::keyClick(win, Qt::Key_Escape);
        QVERIFY(dlg->CheckCancelButton());
        QVERIFY(win->isVisible());

        win->close();
        QVERIFY(dlg->CheckCancelButton());
        QVERIFY(win->isVisible());
        QCOMPARE(ProgressWindow(*host), win);

        QVERIFY(dlg->DestroyWindow());
        QVERIFY(host->IsWindowEnabled());
        QVERIFY(host->control(IDC_GET)->isEnabled());
        QTRY_VERIFY(ProgressWindow(*host) == nullptr);

        // Re-enabled once only: a later disabling by someone else is not undone by the object.
        host->EnableWindow(false);
        dlg.reset();
        QVERIFY(!host->IsWindowEnabled());
        host->EnableWindow(true);
    }

    void valueTextAndBar() {
        auto host = MakeHost();
        CProgressDlg dlg(*host);
        QVERIFY(dlg.Create());
        QDialog* win = ProgressWindow(*host);
        QVERIFY(win);
        QProgressBar* bar = win->findChild<QProgressBar*>();
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 20480);

        dlg.SetPos(1234);
        host->FlushViews();
        QVERIFY(LabelWithText(win, "1234 "));
        QCOMPARE(bar->value(), 1234);

        dlg.SetPos(30000);
        host->FlushViews();
        QVERIFY(LabelWithText(win, "30000 "));
        QCOMPARE(bar->value(), 20480);

        dlg.SetStatus(text::Utf8ToCp932("a.bin を保存中   2048バイト").value());
        host->FlushViews();
        QVERIFY(LabelWithText(win, QString::fromUtf8("a.bin を保存中   2048バイト")));
    }

    // A copy loop sets the status line after every block and pumps twice per block. The line
    // must keep reaching the screen while that runs, yet not be repainted on every pump, and
    // the last text must be the one left standing.
    void statusLineFollowsACopyLoopWithoutARepaintPerBlock() {
        auto host = MakeHost();
        CProgressDlg dlg(*host);
        QVERIFY(dlg.Create());
        QDialog* win = ProgressWindow(*host);
        QVERIFY(win);

        QTest::qWait(60);  // a quiet spell: the next text shows at the next pass of the loop
        dlg.SetStatus("first");
        QCoreApplication::processEvents();
        QVERIFY(LabelWithText(win, "first"));

        QElapsedTimer clock;
        clock.start();
        int pumps = 0, changes = 0;
        qint64 lastChange = 0, longestStill = 0;
        std::string text;
        QLabel* line = LabelWithText(win, "first");
        QString seen = line->text();
        for (int block = 0; clock.elapsed() < 400; ++block) {
            text = "a.bin " + std::to_string(block);
            dlg.SetStatus(text);
            dlg.SetPos(block % 20480);
            QVERIFY(!dlg.CheckCancelButton());
            QThread::usleep(50);  // the block's own work
            pumps += 2;
            if (line->text() != seen) {
                seen = line->text();
                ++changes;
                longestStill = std::max(longestStill, clock.elapsed() - lastChange);
                lastChange = clock.elapsed();
            }
        }
        QVERIFY2(changes >= 4, qPrintable(QString("the line changed %1 times").arg(changes)));
        QVERIFY2(changes < pumps / 20,
                 qPrintable(QString("%1 repaints for %2 pumps").arg(changes).arg(pumps)));
        QVERIFY2(longestStill < 250, qPrintable(QString("still for %1 ms").arg(longestStill)));
        QTRY_VERIFY(LabelWithText(win, QString::fromStdString(text)));
    }

    void batchOfThreeOnTheRealEventLoop() {
        testsrv::TempDir root, save;
        testsrv::ServerProcess http("http_server.py", {root.path()});
        std::string list;
        std::vector<std::string> urls, names;
        for (int i = 1; i <= 3; ++i) {
            std::string name = "batch" + std::to_string(i) + ".bin";
            testsrv::WriteBytes(root / name, testsrv::Pattern(20000 * i, i));
            urls.push_back("http://127.0.0.1:" + std::to_string(http.port()) + "/files/" + name);
            names.push_back(name);
            list += urls.back() + "\r\n";
        }
        auto host = MakeHost();
        host->SetDlgItemText(IDC_LIST, list);
        host->SetDlgItemText(IDC_SAVE_DIR, save.path() + "/");
        qobject_cast<QPushButton*>(host->control(IDC_GET))->click();

        const std::string logPath = paths_log();
        QFile::remove(QString::fromStdString(logPath));
        QTRY_VERIFY_WITH_TIMEOUT(static_cast<CPomvexDlg&>(host->logic()).batch().Cursor() == 0 &&
                                     QFile::exists(QString::fromStdString(logPath)),
                                 20000);

        QStringList lines = U(testsrv::ReadBytes(logPath)).split("\r\n");
        QCOMPARE(lines.size(),
                 13);  // four lines per item, then the empty rest after the last CR LF
        QRegularExpression clock(QString::fromUtf8("^\\d\\d月\\d\\d日　 \\d\\d:\\d\\d:\\d\\d$"));
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(clock.match(lines[4 * i]).hasMatch(), qPrintable(lines[4 * i]));
            QCOMPARE(lines[4 * i + 1],
                     QString::fromStdString(urls[i]) + QString::fromUtf8("をDLします"));
            QCOMPARE(lines[4 * i + 2],
                     QString::fromUtf8("保存先 ") + QString::fromStdString(save / names[i]));
            QVERIFY2(lines[4 * i + 3].endsWith(QString::fromUtf8("   DL終了しました")),
                     qPrintable(lines[4 * i + 3]));
            QVERIFY(
                clock.match(lines[4 * i + 3].chopped(QString::fromUtf8("   DL終了しました").size()))
                    .hasMatch());
            QVERIFY(testsrv::ReadBytes(save / names[i]) ==
                    testsrv::Pattern(20000 * (i + 1), i + 1));
        }
        QVERIFY(lines[12].isEmpty());
    }

    void clockKeepsRunningDuringALongDownload() {
        testsrv::TempDir root, save;
        testsrv::ServerProcess http("http_server.py", {root.path()});
        // About 3.5 seconds: 70 pieces of 1024 bytes, 50 ms apart.
        std::string url = "http://127.0.0.1:" + std::to_string(http.port()) + "/slow/71680/50";
        auto host = MakeHost();
        host->SetDlgItemText(IDC_LIST, url + "\r\n");
        host->SetDlgItemText(IDC_SAVE_DIR, save.path() + "/");

        QSet<QString> clocksDuringCopy;
        int rateSamples = 0;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, [&] {
            if (!ProgressWindow(*host)) return;
            clocksDuringCopy.insert(U(host->GetDlgItemText(IDC_CLOCK)));
            rateSamples += static_cast<CPomvexDlg&>(host->logic()).batch().GetRate().Rate() > 0;
        });
        sampler.start(100);
        qobject_cast<QPushButton*>(host->control(IDC_GET))->click();
        QTRY_VERIFY_WITH_TIMEOUT(static_cast<CPomvexDlg&>(host->logic()).batch().Cursor() == 0,
                                 20000);
        sampler.stop();
        QVERIFY2(clocksDuringCopy.size() >= 2, "the tick must keep firing inside the download");
        QVERIFY2(rateSamples > 0, "the rate timer must fire inside the download");
        QVERIFY(testsrv::ReadBytes(save / "50") == testsrv::ServerPattern(71680));
    }

  private:
    std::string paths_log() const { return (m_home.path() + "/Pomvex/Pomvex.log").toStdString(); }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
