// Shared set-up of the batch suites: a fresh program folder and UTC per test, a main window on
// the fake host, and a stand-in for the transfers that keeps their contract with the sequencer.
#pragma once

#include <gtest/gtest.h>
#include <time.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fake/FakeHost.h"
#include "fake/TestFolders.h"
#include "fake/TestText.h"
#include "platform/Exceptions.h"
#include "resources/Resource.h"
#include "resources/Text.h"
#include "transfer/JobRunner.h"
#include "window/PomvexDlg.h"

namespace batch_test {

// The clock text of the tick at 2026-11-<day> hh:mm:ss (UTC): "11月28日", U+3000, a space, time.
inline std::string ClockAt(int hh, int mm, int ss, int day = 28) {
    char buf[64];
    snprintf(buf, sizeof buf, "11月%02d日　 %02d:%02d:%02d", day, hh, mm, ss);
    return Sj(buf);
}

using ::ReadFileBytes;
using ::RemoveTree;
using ::WriteFileBytes;

// How the stand-in ends one job. Every kind follows the transfers' contract with the sequencer.
struct Behaviour {
    enum Kind {
        Normal,           // opens, ends normally: ready 1, idle 1
        ErrorBeforeOpen,  // fails before the URL is open: ready and idle untouched
        ErrorAfterOpen,   // opens (idle 0), then fails: ready untouched, idle stays 0
        Cancel,           // copies, then the user cancels: cursor 0, ready 1, idle 1
        Refuse,           // opens, refuses what it got (an error status): ready 1, idle 1
    };
    Kind kind = Normal;
    // Blocks copied with a pump after each (a long download); 0: the job never pumps.
    int blocks = 0;
    // Virtual ms each pump lets pass.
    int64_t msPerBlock = 0;
    // Virtual ms the thread stays busy without pumping (connecting, or a whole check).
    int64_t busyMs = 0;
    // The error leaves the transfer as an exception instead of a log line.
    bool throws = false;
    // The failure may pass (worth another round), with the server's Retry-After in seconds.
    bool mayPass = false;
    uint32_t retryAfterS = 0;
    // Runs of this URL that end as `kind` says; later ones end normally. -1: every run.
    int failingRuns = -1;
};

// The transfers' stand-in. It logs its own bracketed ASCII lines so that tests can see where each
// job's lines fall among the sequencer's, and ends each job as its URL's Behaviour says.
class StandIn : public JobRunner {
  public:
    explicit StandIn(FakeHost& host) : m_fake(host) {}

    JobResult Download(const JobRequest& job, JobSink& sink) override {
        return Run('D', job, sink);
    }
    JobResult Check(const JobRequest& job, JobSink& sink) override { return Run('C', job, sink); }

    // Behaviour per URL text; a URL not listed ends normally at once.
    std::map<std::string, Behaviour> behaviours;
    // Every call as "D<index>" / "C<index>", in call order (a nested call appears before the
    // end of the one it interrupted).
    std::vector<std::string> calls;
    // Runs after each copied block, after the pump (for checks made inside a transfer).
    std::function<void(int index, int block)> onBlock;
    int depth = 0, maxDepth = 0;  // nesting of transfers

  private:
    JobResult Run(char kind, const JobRequest& job, JobSink& sink) {
        std::string tag(1, kind);
        tag += std::to_string(job.slot);
        calls.push_back(tag);
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        struct Leave {
            int& d;
            ~Leave() { --d; }
        } leave{depth};

        const std::string& url = job.url;
        auto it = behaviours.find(url);
        Behaviour b = it == behaviours.end() ? Behaviour{} : it->second;
        if (b.failingRuns >= 0 && ++m_runs[url] > b.failingRuns) b = Behaviour{};
        sink.AppendLog(sink.Clock() + " [" + tag + " " + url + "]\r\n");
        if (b.busyMs) m_fake.Elapse(b.busyMs);
        if (b.kind == Behaviour::ErrorBeforeOpen) return Fail(tag, b, JobOutcome::OpenFailed, sink);
        sink.UrlOpened();
        if (b.blocks > 0) {
            m_fake.SetTimer(TIMER_RATE, 3000);
            sink.Rate().Reset();
            const int64_t savedPump = m_fake.pumpAdvanceMs;
            for (int block = 1; block <= b.blocks; ++block) {
                sink.Rate().Count(1024);
                m_fake.pumpAdvanceMs = b.msPerBlock;
                m_fake.PumpMessages();
                m_fake.pumpAdvanceMs = savedPump;
                if (onBlock) onBlock(job.slot, block);
                if (b.kind == Behaviour::Cancel && block == b.blocks) {
                    m_fake.KillTimer(TIMER_RATE);
                    sink.Rate().Stop();
                    sink.AppendLog("[" + tag + " cancelled]\r\n");
                    return JobOutcome::Cancelled;
                }
            }
            m_fake.KillTimer(TIMER_RATE);
            sink.Rate().Stop();
        }
        if (b.kind == Behaviour::ErrorAfterOpen) return Fail(tag, b, JobOutcome::FileError, sink);
        if (b.kind == Behaviour::Refuse) {
            sink.AppendLog("[" + tag + " refused]\r\n");
            return {JobOutcome::Refused, {b.mayPass, b.retryAfterS, {}}};
        }
        sink.AppendLog("[" + tag + " done]\r\n");
        return JobOutcome::Done;
    }

    JobResult Fail(const std::string& tag, const Behaviour& b, JobOutcome logged, JobSink& sink) {
        if (b.throws) {
            CInternetException e(12029, "stand-in failure");
            e.m_bMayPass = b.mayPass;
            e.m_nRetryAfter = b.retryAfterS;
            throw e;
        }
        sink.AppendLog("[" + tag + " failed]\r\n");
        return {logged, {b.mayPass, b.retryAfterS, {}}};
    }

    FakeHost& m_fake;
    std::map<std::string, int> m_runs;  // runs so far, by URL
};

// POMVEX_HOME is a fresh folder and TZ is UTC for the life of the fixture; the main window has
// been through its start-up (tick and schedule timers running, virtual time 2026-11-28 00:00:00).
class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        dlg = std::make_unique<CPomvexDlg>(host, runner);
        host.Attach(dlg.get());
        dlg->OnInitDialog();
    }
    void TearDown() override {
        host.Attach(nullptr);
        dlg.reset();
    }

    std::string InHome(const std::string& name) const { return home / name; }
    std::optional<std::string> LogFile() const { return ReadFileBytes(InHome("Pomvex.log")); }
    // What the user typed into the list box.
    void SetList(const std::string& text) { host.texts[IDC_LIST] = text; }
    std::string Shown(int id) { return host.texts[id]; }
    // Runs ticks until no batch is running (at most limitMs); true when it ended.
    bool RunToEnd(int64_t limitMs = 600000) {
        return host.AdvanceUntil([this] { return dlg->batch().Cursor() == 0; }, limitMs);
    }

    TempHome home;
    FakeHost host;
    StandIn runner{host};
    std::unique_ptr<CPomvexDlg> dlg;
};

}  // namespace batch_test
