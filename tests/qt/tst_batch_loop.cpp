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

// Ends every job normally. Job 2 copies for about 2.5 s and pumps between its blocks, as a
// download does.
class LoopJobs : public JobRunner {
  public:
    JobResult Download(const JobRequest& job, JobSink& sink) override {
        clocks.push_back(sink.Clock());
        std::string tag = "D";
        tag += std::to_string(job.slot);
        sink.AppendLog(sink.Clock() + " [" + tag + " " + job.url + "]\r\n");
        sink.UrlOpened();
        if (job.slot == 2) {
            const std::string clockAtStart = sink.Clock();
            const size_t startsBefore = clocks.size();
            QElapsedTimer copy;
            copy.start();
            while (copy.elapsed() < 2500) {
                QThread::msleep(5);
                host->PumpMessages();
            }
            clockRanDuringCopy = sink.Clock() != clockAtStart;
            nestedStarts = clocks.size() - startsBefore;
        }
        sink.AppendLog("[" + tag + " done]\r\n");
        return JobOutcome::Done;
    }
    JobResult Check(const JobRequest& job, JobSink& sink) override { return Download(job, sink); }

    Host* host = nullptr;             // the window's, once it is made
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
        LoopJobs jobs;
        QtHost host([&jobs](Host& h) {
            jobs.host = &h;
            return std::make_unique<CPomvexDlg>(h, jobs);
        });
        auto& logic = static_cast<CPomvexDlg&>(host.logic());
        host.show();

        host.SetDlgItemText(IDC_LIST, "http://a/1\r\nhttp://a/2\r\nhttp://a/3\r\n");
        logic.OnCommand(IDC_GET, false);
        QCOMPARE(logic.batch().Cursor(), 1);

        QTRY_VERIFY_WITH_TIMEOUT(jobs.clocks.size() == 3 && logic.batch().Cursor() == 0, 10000);

        QVERIFY(!logic.batch().Ready());
        QVERIFY(logic.batch().Idle());
        QVERIFY2(jobs.clockRanDuringCopy, "the tick must fire nested inside the long download");
        QCOMPARE(jobs.nestedStarts, size_t{0});
        // Each job started on its own tick.
        QVERIFY(jobs.clocks[0] != jobs.clocks[1]);
        QVERIFY(jobs.clocks[1] != jobs.clocks[2]);

        const std::string expected = jobs.clocks[0] + " [D1 http://a/1]\r\n[D1 done]\r\n" +
                                     jobs.clocks[1] + " [D2 http://a/2]\r\n[D2 done]\r\n" +
                                     jobs.clocks[2] + " [D3 http://a/3]\r\n[D3 done]\r\n";
        const std::string logFile = ReadBytes(m_home.filePath("Pomvex.log").toStdString());
        QCOMPARE(QByteArray::fromStdString(logFile), QByteArray::fromStdString(expected));
        QCOMPARE(ReadBytes(m_home.filePath("Pomvex.PVX").toStdString()),
                 std::string("http://a/1\r\nhttp://a/2\r\nhttp://a/3\r\n"));
        // The clock text is the CP932 pattern "MM月DD日", U+3000, a space, the time.
        QCOMPARE(jobs.clocks[0].size(), size_t{19});
        QCOMPARE(jobs.clocks[0].substr(2, 2), std::string("\x8C\x8E"));
        QCOMPARE(jobs.clocks[0].substr(6, 5), std::string("\x93\xFA\x81\x40 "));
    }

  private:
    QTemporaryDir m_home;
};

QTEST_MAIN(TestBatchLoop)
#include "tst_batch_loop.moc"
