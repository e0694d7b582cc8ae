// What a Linux desktop user meets beyond the template: the menu bar reached by the keyboard
// (the menu texts have no mnemonics), and a clock whose whole text is visible in its box.
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/qt/QtHost.h"
#include "qt/QtTestSupport.h"
#include "resources/Resource.h"
#include "resources/Text.h"
#include "window/PomvexDlg.h"

namespace {

// Records commands instead of running them.
class RecordingDlg : public CPomvexDlg {
  public:
    using CPomvexDlg::CPomvexDlg;
    void OnCommand(int id, bool fromMenu) override { commands.push_back({id, fromMenu}); }
    std::vector<std::pair<int, bool>> commands;
};

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    NoInternet m_internet;

    std::unique_ptr<QtHost> makeShownHost() {
        auto host = std::make_unique<QtHost>(
            [this](Host& h) { return std::make_unique<RecordingDlg>(h, m_internet); });
        host->show();
        host->activateWindow();
        if (!QTest::qWaitForWindowActive(host.get())) return nullptr;
        return host;
    }
    static RecordingDlg& logicOf(QtHost& h) { return static_cast<RecordingDlg&>(h.logic()); }

    // Presses `key` in whatever has the keyboard: the open menu, else the focused widget.
    static void press(QtHost& h, Qt::Key key) {
        QWidget* target = QApplication::activePopupWidget();
        if (!target) target = h.focusWidget() ? h.focusWidget() : &h;
        QTest::keyClick(target, key);
        QCoreApplication::processEvents();
    }

  private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("POMVEX_HOME", QFile::encodeName(m_home.path() + "/Pomvex"));
    }

    void f10OpensTheMenuBarAndArrowsReachEveryCommand() {
        auto host = makeShownHost();
        QVERIFY(host);
        QMenuBar* bar = host->findChild<QMenuBar*>();
        QVERIFY(bar);

        // From the list box, F10 opens the first menu; Right goes on to ツール with its first
        // item highlighted, Return runs it: the path a keyboard user takes to リストをチェック.
        host->control(IDC_LIST)->setFocus();
        press(*host, Qt::Key_F10);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QCOMPARE(bar->activeAction(), bar->actions().at(0));
        press(*host, Qt::Key_Right);
        QTRY_COMPARE(bar->activeAction(), bar->actions().at(1));
        press(*host, Qt::Key_Return);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(logicOf(*host).commands,
                 (std::vector<std::pair<int, bool>>{{ID_TOOL_CHECK_LIST, true}}));

        // Down walks the menu: the second item of ツール is 連番編集; Escape closes without a
        // command and leaves the window open.
        press(*host, Qt::Key_F10);
        QTRY_VERIFY(QApplication::activePopupWidget());
        press(*host, Qt::Key_Right);
        press(*host, Qt::Key_Down);
        press(*host, Qt::Key_Return);
        QCOMPARE(logicOf(*host).commands.back(), (std::pair<int, bool>{ID_TOOL_SERIAL, true}));
        press(*host, Qt::Key_F10);
        QTRY_VERIFY(QApplication::activePopupWidget());
        press(*host, Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(logicOf(*host).commands.size(), size_t(2));
        QVERIFY(host->isVisible());
    }

    void f10DoesNothingWhileTheWindowIsDisabled() {
        // During a download the main window is disabled: its menu must not open either.
        auto host = makeShownHost();
        QVERIFY(host);
        host->EnableWindow(false);
        QTest::keyClick(host.get(), Qt::Key_F10);
        QTest::qWait(50);
        QVERIFY(!QApplication::activePopupWidget());
        host->EnableWindow(true);
        QTest::keyClick(host.get(), Qt::Key_F10);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QApplication::activePopupWidget()->close();
    }

    void theWholeClockTextIsVisible() {
        auto host = makeShownHost();
        QVERIFY(host);
        auto* clock = qobject_cast<QLineEdit*>(host->control(IDC_CLOCK));
        QVERIFY(clock);
        const QRect templateRect = host->units().Rect(14, 25, 64, 12);
        QCOMPARE(clock->geometry(), templateRect);  // the box itself keeps its place and size
        // A line edit whose text is wider than its box scrolls to keep the cursor in view: with
        // the cursor at the end, the first character would leave the left edge.
        for (const char* t :
             {"12月28日　 23:58:08", "08月08日　 08:08:08", "11月11日　 11:11:11"}) {
            host->SetDlgItemText(IDC_CLOCK, *text::Utf8ToCp932(t));
            clock->setCursorPosition(clock->text().size());
            clock->repaint();
            QVERIFY2(clock->cursorPositionAt(QPoint(4, clock->height() / 2)) == 0, t);
        }
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
