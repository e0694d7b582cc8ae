// The window's dialog manners as a keyboard user meets them: edits selected when the focus
// arrives through the dialog, the focus back where it was after a download or a box, the look
// and the refused input during a download, the progress window over an open box, the watchdog
// on time, and the save dialog keeping its name.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "platform/curl/CurlInternet.h"
#include "platform/qt/QtHost.h"
#include "qt/QtTestSupport.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "resources/Templates.h"
#include "resources/Text.h"
#include "transfer/LocalServers.h"
#include "window/ProgressDlg.h"

namespace {

QString U(const std::string& cp932) {
    return QString::fromStdString(text::Cp932ToUtf8(cp932));
}

// The newest visible progress window of `host` (it may stand over a box), or null.
QDialog* ProgressWindow(QtHost& host) {
    QDialog* newest = nullptr;
    for (QProgressBar* bar : host.findChildren<QProgressBar*>())
        if (auto* d = qobject_cast<QDialog*>(bar->window()); d && d->isVisible()) newest = d;
    return newest;
}

QPushButton* ButtonWithText(QWidget* w, const char* utf8) {
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == QString::fromUtf8(utf8)) return b;
    return nullptr;
}

// The key goes where the keyboard sends it: to the window's focused control.
void KeyTo(QWidget* window, Qt::Key key) {
    QWidget* focus = window->focusWidget();
    QTest::keyClick(focus ? focus : window, key);
}

bool AllSelected(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return !e->text().isEmpty() && e->selectedText() == e->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
        const QTextCursor c = m->textCursor();
        return c.selectionStart() == 0 && c.selectionEnd() > 0 &&
               c.selectionEnd() == m->document()->characterCount() - 1;
    }
    return false;
}

// Counts the activations `window` receives while this object lives.
class ActivationCount : public QObject {
  public:
    explicit ActivationCount(QWidget* window) : m_window(window) {
        window->installEventFilter(this);
    }
    ~ActivationCount() override { m_window->removeEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        count += e->type() == QEvent::WindowActivate;
        return false;
    }

  private:
    QWidget* m_window;  // not owned
};

// Plays the user while a download runs: `act` runs once, inside the download's own pumping,
// as soon as the progress window stands in front; `then` once that window is gone again.
class DuringDownload : public QObject {
  public:
    DuringDownload(QtHost& host, std::function<void(QDialog&)> act, std::function<void()> then = {})
        : m_poll(new QTimer(this)) {
        m_poll->setInterval(10);
        connect(m_poll, &QTimer::timeout, this, [this, &host, act, then] {
            QDialog* progress = ProgressWindow(host);
            if (!acted && progress && QApplication::activeWindow() == progress) {
                acted = true;
                act(*progress);
            } else if (acted && !progress) {
                m_poll->stop();
                if (then) then();
                ended = true;
            }
        });
        m_poll->start();
    }
    bool acted = false, ended = false;

  private:
    QTimer* m_poll;  // child of this object
};

}  // namespace

class TestManners : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    testsrv::TempDir m_root, m_save;
    std::unique_ptr<testsrv::ServerProcess> m_http;
    NoInternet m_noInternet;
    CurlInternetClient m_curl;

    std::unique_ptr<QtHost> makeShownHost(InternetClient& internet) {
        auto host = std::make_unique<QtHost>(
            [&internet](Host& h) { return std::make_unique<TestDlg>(h, internet); });
        host->show();
        host->activateWindow();
        if (!QTest::qWaitForWindowActive(host.get())) return nullptr;
        return host;
    }
    static TestDlg& logicOf(QtHost& h) { return static_cast<TestDlg&>(h.logic()); }
    // A list of one download from the local server: `kib` KiB, one KiB every `msPerKib` ms.
    void listSlowDownload(QtHost& h, int kib, int msPerKib) {
        h.SetDlgItemText(IDC_LIST, "http://127.0.0.1:" + std::to_string(m_http->port()) + "/slow/" +
                                       std::to_string(kib * 1024) + "/" + std::to_string(msPerKib) +
                                       "\r\n");
        h.SetDlgItemText(IDC_SAVE_DIR, m_save.path() + "/");
    }

  private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("POMVEX_HOME", QFile::encodeName(m_home.path() + "/Pomvex"));
        testsrv::ClearProxyEnvironment();
        m_http = std::make_unique<testsrv::ServerProcess>("http_server.py",
                                                          std::vector<std::string>{m_root.path()});
    }

    void editsSelectedThroughTheDialog_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("selectsAll");
        QTest::newRow("IDC_LIST, first focus at start") << IDC_LIST << "start" << true;
        QTest::newRow("IDC_LIST, Tab round from the last control") << IDC_LIST << "Tab" << true;
        QTest::newRow("IDC_LIST, Shift+Tab from the next") << IDC_LIST << "Shift+Tab" << true;
        QTest::newRow("IDC_LIST, mouse click") << IDC_LIST << "click" << false;
        QTest::newRow("IDC_SAVE_DIR, Tab from the previous") << IDC_SAVE_DIR << "Tab" << true;
        QTest::newRow("IDC_SAVE_DIR, mouse click") << IDC_SAVE_DIR << "click" << false;
    }
    void editsSelectedThroughTheDialog() {
        QFETCH(int, id);
        QFETCH(QString, how);
        QFETCH(bool, selectsAll);
        auto host = makeShownHost(m_noInternet);
        QVERIFY(host);
        std::vector<int> tabStops;
        for (const ControlTemplate& c : FindTemplate(IDD_MAIN)->controls)
            if (c.flags & TabStop) tabStops.push_back(c.id);
        const auto at = std::find(tabStops.begin(), tabStops.end(), id) - tabStops.begin();
        const int n = static_cast<int>(tabStops.size());
        QWidget* target = host->control(id);
        if (how == "Tab" || how == "Shift+Tab") {
            const bool back = how == "Shift+Tab";
            QWidget* from = host->control(tabStops[(at + (back ? 1 : n - 1)) % n]);
            from->setFocus(Qt::MouseFocusReason);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                            back ? Qt::ShiftModifier : Qt::NoModifier);
        } else if (how == "click") {
            host->control(tabStops[(at + 1) % n])->setFocus(Qt::MouseFocusReason);
            auto* multi = qobject_cast<QPlainTextEdit*>(target);
            QTest::mouseClick(multi ? multi->viewport() : target, Qt::LeftButton, {}, QPoint(8, 6));
        }
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus == target || target->isAncestorOf(focus), qPrintable(how));
        QVERIFY2(AllSelected(focus) == selectsAll,
                 qPrintable(QStringLiteral("%1: whole text selected %2, expected %3")
                                .arg(how)
                                .arg(AllSelected(focus))
                                .arg(selectsAll)));
    }

    void pasteAtStartReplacesThePlaceholder() {
        auto host = makeShownHost(m_noInternet);
        QVERIFY(host);
        const QString pasted = QStringLiteral("http://127.0.0.1/a.bin\nhttp://127.0.0.1/b.bin\n");
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(qobject_cast<QPlainTextEdit*>(host->control(IDC_LIST))->toPlainText(), pasted);
    }

    // Started from the keyboard, the batch gives the keyboard back to the button it came from.
    void focusBackOnGetAfterADownload_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Enter") << int(Qt::Key_Return);
    }
    void focusBackOnGetAfterADownload() {
        QFETCH(int, key);
        auto host = makeShownHost(m_curl);
        QVERIFY(host);
        listSlowDownload(*host, 8, 20);
        QWidget* get = host->control(IDC_GET);
        get->setFocus(Qt::TabFocusReason);
        DuringDownload user(*host, [](QDialog&) {});
        QTest::keyClick(get, Qt::Key(key));
        QTRY_VERIFY_WITH_TIMEOUT(user.ended && logicOf(*host).batch().Cursor() == 0, 10000);
        QVERIFY(host->IsWindowEnabled());
        QTRY_COMPARE(QApplication::activeWindow(), host.get());
        QCOMPARE(QApplication::focusWidget(), get);
    }

    void focusBackAfterABox_data() {
        QTest::addColumn<int>("command");  // 0: a message box of the host
        QTest::addColumn<int>("focused");
        QTest::newRow("about box, 取得") << ID_HELP_ABOUT << IDC_GET;
        QTest::newRow("about box, IDC_SAVE_DIR") << ID_HELP_ABOUT << IDC_SAVE_DIR;
        QTest::newRow("連番編集, IDC_NEXT") << ID_TOOL_SERIAL << IDC_NEXT;
        QTest::newRow("file dialog, リストを開く") << ID_LIST_OPEN << IDC_OPEN_LIST;
        QTest::newRow("message box, IDC_LIST") << 0 << IDC_LIST;
    }
    void focusBackAfterABox() {
        QFETCH(int, command);
        QFETCH(int, focused);
        auto host = makeShownHost(m_noInternet);
        QVERIFY(host);
        bool boxWasActive = false;
        host->onModalShown = [&](QDialog& box) {
            QTRY_COMPARE(QApplication::activeWindow(), &box);
            boxWasActive = true;
            KeyTo(&box, Qt::Key_Escape);
        };
        QWidget* before = host->control(focused);
        before->setFocus(Qt::TabFocusReason);
        if (command)
            logicOf(*host).OnCommand(command, true);
        else
            host->MessageBox(Str(Sid::LogAborted), MB_OK);
        QVERIFY(boxWasActive);
        QTRY_COMPARE(QApplication::activeWindow(), host.get());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(
            focus == before || before->isAncestorOf(focus),
            qPrintable(QStringLiteral("focus on %1").arg(focus ? focus->objectName() : "none")));
    }

    // While a file copies the window reads as usual, and neither mouse nor keyboard reaches it.
    void downloadKeepsTheLookAndRefusesInput_data() {
        QTest::addColumn<QString>("input");
        QTest::newRow("typing into IDC_LIST") << "type";
        QTest::newRow("click on 中止 of the main window") << "click";
        QTest::newRow("Space on the focused 取得") << "space";
        QTest::newRow("F10 for the menu") << "F10";
        QTest::newRow("Escape") << "escape";
    }
    void downloadKeepsTheLookAndRefusesInput() {
        QFETCH(QString, input);
        auto host = makeShownHost(m_curl);
        QVERIFY(host);
        listSlowDownload(*host, 200, 20);
        TestDlg& logic = logicOf(*host);
        auto* menu = host->findChild<QMenuBar*>();
        QList<QWidget*> controls = host->client()->findChildren<QWidget*>();
        controls << menu;
        std::vector<QPalette> palettes;
        for (QWidget* w : controls) palettes.push_back(w->palette());
        auto state = [&] {
            return QStringLiteral("list \"%1\", commands %2, menu open %3, visible %4")
                .arg(qobject_cast<QPlainTextEdit*>(host->control(IDC_LIST))->toPlainText())
                .arg(logic.commands.size())
                .arg(menu->activeAction() != nullptr)
                .arg(host->isVisible());
        };
        QStringList greyed;
        QString before, after;
        DuringDownload user(*host, [&](QDialog& progress) {
            for (size_t i = 0; i < palettes.size(); ++i)
                if (!controls[i]->isEnabled() || controls[i]->palette() != palettes[i])
                    greyed << controls[i]->metaObject()->className() +
                                  (" " + controls[i]->objectName());
            logic.recordCommands = true;
            before = state();
            QWidget* get = host->control(IDC_GET);
            if (input == "type") QTest::keyClicks(host->control(IDC_LIST), "x");
            if (input == "click") QTest::mouseClick(host->control(IDC_ABORT), Qt::LeftButton);
            if (input == "space") QTest::keyClick(get, Qt::Key_Space);
            if (input == "F10") QTest::keyClick(get, Qt::Key_F10);
            if (input == "escape") QTest::keyClick(get, Qt::Key_Escape);
            after = state();
            logic.recordCommands = false;
            ButtonWithText(&progress, "中止")->click();
        });
        host->control(IDC_GET)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(host->control(IDC_GET), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(user.ended, 10000);
        QCOMPARE(greyed.join(u','), QString());
        QCOMPARE(after, before);
    }

    // The next download's progress window stands over the box that is open, and works.
    void progressWindowOverAnOpenBox_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("gesture");
        QTest::newRow("about box, 中止") << "about"
                                         << "button";
        QTest::newRow("about box, Escape") << "about"
                                           << "escape";
        QTest::newRow("about box, close box") << "about"
                                              << "close";
        QTest::newRow("message box, 中止") << "message"
                                           << "button";
    }
    void progressWindowOverAnOpenBox() {
        QFETCH(QString, box);
        QFETCH(QString, gesture);
        auto host = makeShownHost(m_curl);
        QVERIFY(host);
        listSlowDownload(*host, 400, 20);
        QPointer<QDialog> open;
        host->onModalShown = [&](QDialog& d) { open = &d; };
        bool overTheBox = false, boxStayedOpen = false, closedByEnter = false;
        DuringDownload user(
            *host,
            [&](QDialog& progress) {
                overTheBox = open && progress.parentWidget() == open;
                // The box refuses its keyboard and mouse while the progress window stands.
                if (open) KeyTo(open, Qt::Key_Return);
                if (open) QTest::mouseClick(open->findChild<QPushButton*>(), Qt::LeftButton);
                boxStayedOpen = open && open->isVisible();
                if (gesture == "button") ButtonWithText(&progress, "中止")->click();
                if (gesture == "escape") KeyTo(&progress, Qt::Key_Escape);
                if (gesture == "close") progress.close();
            },
            [&] {
                if (!open) return;
                KeyTo(open, Qt::Key_Return);
                closedByEnter = !open->isVisible();
                if (open->isVisible()) open->reject();  // so that the test goes on
            });
        qobject_cast<QPushButton*>(host->control(IDC_GET))->click();
        if (box == "about")
            logicOf(*host).OnCommand(ID_HELP_ABOUT, true);
        else
            host->MessageBox(Str(Sid::LogConnectFailed), MB_OK);
        QVERIFY2(user.acted, "no progress window while the box was open");
        QVERIFY(overTheBox);
        QVERIFY(boxStayedOpen);
        QVERIFY(user.ended);
        QVERIFY(closedByEnter);
        QCOMPARE(logicOf(*host).batch().Cursor(), 0);
        QVERIFY2(U(logicOf(*host).batch().Log()).endsWith(U(Str(Sid::LogAborted))),
                 qPrintable(U(logicOf(*host).batch().Log())));
    }

    // A nested job's progress window stands over the outer one, which waits meanwhile.
    void nestedProgressWindowDisablesTheOuterOne() {
        auto host = makeShownHost(m_noInternet);
        QVERIFY(host);
        CProgressDlg outer(*host), inner(*host);
        QVERIFY(outer.Create());
        QDialog* outerWindow = ProgressWindow(*host);
        QVERIFY(inner.Create());
        QDialog* innerWindow = nullptr;
        for (QDialog* d : outerWindow->findChildren<QDialog*>())
            if (d->isVisible()) innerWindow = d;
        QVERIFY2(innerWindow, "the nested window is not over the outer one");
        KeyTo(outerWindow, Qt::Key_Escape);
        QVERIFY(!outer.CheckCancelButton());
        QVERIFY(outerWindow->isEnabled());  // drawn as usual
        // Switching to a waiting window brings up the one it waits for.
        for (QWidget* waiting :
             {static_cast<QWidget*>(host.get()), static_cast<QWidget*>(outerWindow)}) {
            ActivationCount reached(waiting);
            waiting->activateWindow();
            QTRY_VERIFY(reached.count > 0);
            QTRY_COMPARE(QApplication::activeWindow(), innerWindow);
        }
        KeyTo(innerWindow, Qt::Key_Escape);
        QVERIFY(inner.CheckCancelButton());
        QVERIFY(inner.DestroyWindow());
        KeyTo(outerWindow, Qt::Key_Escape);
        QVERIFY(outer.CheckCancelButton());
        QTRY_COMPARE(QApplication::activeWindow(), outerWindow);
    }

    // A failed connection leaves the batch to the watchdog; it must fire at its period, with the
    // timer type it has in the program (the period shortened here).
    void watchdogFiresOnTime() {
        constexpr int kShortMs = 1500;
        auto host = makeShownHost(m_noInternet);
        QVERIFY(host);
        host->onModalShown = [](QDialog& d) { d.accept(); };  // the failed session's box
        QElapsedTimer sinceArmed;
        host->timerPeriodForTest = [&](unsigned id, int periodMs) {
            if (id != TIMER_WATCHDOG) return periodMs;
            sinceArmed.start();
            return kShortMs;
        };
        QEventLoop loop;
        qint64 firedAfter = -1;
        QList<Qt::TimerType> types;
        logicOf(*host).onTimerSeen = [&](unsigned id) {
            if (id != TIMER_WATCHDOG || firedAfter >= 0) return;
            firedAfter = sinceArmed.elapsed();
            for (QTimer* t : host->findChildren<QTimer*>())
                if (t->isActive() && t->interval() == kShortMs) types << t->timerType();
            loop.quit();
        };
        host->SetDlgItemText(IDC_LIST, "http://127.0.0.1/\r\n");
        logicOf(*host).OnCommand(IDC_GET, false);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY2(qAbs(firedAfter - kShortMs) <= 50,
                 qPrintable(QStringLiteral("fired after %1 ms").arg(firedAfter)));
        QCOMPARE(types, QList<Qt::TimerType>{Qt::PreciseTimer});
    }

    void saveDialogKeepsTheNameWhenTheFilterIsChosenAgain_data() {
        QTest::addColumn<QString>("typed");  // empty: the name the dialog was given
        QTest::addColumn<QString>("name");
        QTest::newRow("given name") << QString() << "Pomvex.txt";
        QTest::newRow("typed name") << "list.txt"
                                    << "list.txt";
    }
    void saveDialogKeepsTheNameWhenTheFilterIsChosenAgain() {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        auto host = makeShownHost(m_noInternet);
        QVERIFY(host);
        QString shown, label;
        QStringList patterns;
        host->onModalShown = [&](QDialog& d) {
            auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* types = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            if (!edit || !types) return d.reject();
            QTRY_COMPARE(QApplication::focusWidget(), edit);
            if (!typed.isEmpty()) {
                edit->selectAll();
                QTest::keyClicks(edit, typed);
            }
            // The user picks the one filter again.
            emit types->activated(0);
            emit types->textActivated(types->itemText(0));
            shown = edit->text();
            label = types->currentText();
            if (auto* model = d.findChild<QFileSystemModel*>()) patterns = model->nameFilters();
            KeyTo(&d, Qt::Key_Return);
            if (d.isVisible()) d.reject();  // so that the test goes on
        };
        std::string chosen;
        QVERIFY(host->FileDialog(false, m_save / "Pomvex.txt", chosen));
        QCOMPARE(shown, name);
        // The classic label, yet every name is listed, also one without a dot.
        QCOMPARE(label, QString::fromUtf8("全ﾌｧｲﾙ (*.*)"));
        QCOMPARE(patterns, QStringList{QStringLiteral("*")});
        QCOMPARE(QString::fromStdString(chosen),
                 QString::fromStdString(m_save / name.toStdString()));
    }
};

QTEST_MAIN(TestManners)
#include "tst_manners.moc"
