// A whole batch on the real event loop: real 1-second ticks through QtHost, three jobs through a
// stand-in transfer (the second one a long download that pumps), and the log file at the end.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/Internet.h"
#include "platform/qt/QtHost.h"
#include "qt/QtTestSupport.h"
#include "resources/Resource.h"
#include "window/PomvexDlg.h"

namespace {

// Keeps the transfers' contract: URL open (idle 0), then a normal end (ready 1, idle 1). Job 2
// copies for about 2.5 s and pumps between its blocks, as a download does.
class LoopLogic : public CPomvexDlg {
  public:
    using CPomvexDlg::CPomvexDlg;

    JobResult DownloadItem(int index) override {
        clocks.push_back(m_strClock);
        m_strLog += m_strClock + " [D" + std::to_string(index) + " " +
                    m_strJobs[static_cast<size_t>(index)] + "]\r\n";
        m_bIdle = 0;
        if (index == 2) {
            const std::string clockAtStart = m_strClock;
            const size_t startsBefore = clocks.size();
            QElapsedTimer copy;
            copy.start();
            while (copy.elapsed() < 2500) {
                QThread::msleep(5);
                m_host.PumpMessages();
            }
            clockRanDuringCopy = m_strClock != clockAtStart;
            nestedStarts = clocks.size() - startsBefore;
        }
        m_strLog += "[D" + std::to_string(index) + " done]\r\n";
        m_bReady = 1;
        m_bIdle = 1;
        return JobOutcome::Done;
    }

    std::vector<std::string> clocks;  // the clock text at each job start
    bool clockRanDuringCopy = false;
    size_t nestedStarts = 0;
};

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

class TestBatchLoop : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("POMVEX_HOME", m_home.path().toUtf8());
        qputenv("TZ", "UTC");
        tzset();
    }

    void threeJobsRunToTheEndAndLeaveTheLogFile() {
        NoInternet internet;
        QtHost host([&internet](Host& h) { return std::make_unique<LoopLogic>(h, internet); });
        auto& logic = static_cast<LoopLogic&>(host.logic());
        host.show();

        host.SetDlgItemText(IDC_LIST, "http://a/1\r\nhttp://a/2\r\nhttp://a/3\r\n");
        logic.OnCommand(IDC_GET, false);
        QCOMPARE(logic.batch().Cursor(), 1);

        QTRY_VERIFY_WITH_TIMEOUT(logic.clocks.size() == 3 && logic.batch().Cursor() == 0, 10000);

        QCOMPARE(logic.batch().Ready(), uint8_t{0});
        QCOMPARE(logic.batch().Idle(), uint8_t{1});
        QVERIFY2(logic.clockRanDuringCopy, "the tick must fire nested inside the long download");
        QCOMPARE(logic.nestedStarts, size_t{0});
        // Each job started on its own tick.
        QVERIFY(logic.clocks[0] != logic.clocks[1]);
        QVERIFY(logic.clocks[1] != logic.clocks[2]);

        const std::string expected = logic.clocks[0] + " [D1 http://a/1]\r\n[D1 done]\r\n" +
                                     logic.clocks[1] + " [D2 http://a/2]\r\n[D2 done]\r\n" +
                                     logic.clocks[2] + " [D3 http://a/3]\r\n[D3 done]\r\n";
        const std::string logFile = ReadBytes(m_home.filePath("Pomvex.log").toStdString());
        QCOMPARE(QByteArray::fromStdString(logFile), QByteArray::fromStdString(expected));
        QCOMPARE(ReadBytes(m_home.filePath("Pomvex.PVX").toStdString()),
                 std::string("http://a/1\r\nhttp://a/2\r\nhttp://a/3\r\n"));
        // The clock text is the CP932 pattern "MM月DD日", U+3000, a space, the time.
        QCOMPARE(logic.clocks[0].size(), size_t{19});
        QCOMPARE(logic.clocks[0].substr(2, 2), std::string("\x8C\x8E"));
        QCOMPARE(logic.clocks[0].substr(6, 5), std::string("\x93\xFA\x81\x40 "));
    }

  private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestBatchLoop)
#include "tst_batch_loop.moc"
