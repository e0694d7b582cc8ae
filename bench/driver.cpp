// Runs one real download through the program's own code path: the Qt host (offscreen by
// default), CPomvexDlg, the Get command, then the tick that starts and runs job 1 with its
// progress window. Prints one line of figures for the benchmark and the memory guard.
//
// Usage: pomvex_bench_driver URL SAVE_DIR [--cancel-after-ms N]
// Output: ok=1 wall_s=.. copy_s=.. cpu_s=.. maxrss_kb=.. bytes=.. pumps_served=.. max_gap_ms=..
//         status_changes=.. max_status_gap_ms=.. [cancel_ms=..]
//
// wall_s is the whole download (open, first block, copy, close); copy_s the copy phase alone,
// from the moment the progress window is shown (the file is open, the target created) until
// the download returns: what a user watches the window copy, and what compares with a `cp`.
//
// A 5 ms probe timer of the event loop watches the download from the outside, as a user would:
// pumps_served counts its firings during the copy and max_gap_ms is the longest time between two
// of them (how long the event loop went unserved); status_changes counts the different status
// lines it saw on screen and max_status_gap_ms is the longest time the visible line stood still.
// With --cancel-after-ms the probe clicks "中止" at that time; cancel_ms is the time from the
// click until the download returned, and ok=1 then means the item ended as cancelled.
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/curl/CurlInternet.h"
#include "platform/qt/QtHost.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "window/PomvexDlg.h"

namespace {

// The progress window: the visible top-level dialog other than the main window.
QDialog* ProgressWindow(QWidget* mainWindow) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d && d != mainWindow && d->isVisible()) return d;
    }
    return nullptr;
}

// What the probe saw of the download.
struct Watch {
    QElapsedTimer clock;
    qint64 lastFire = -1, maxGap = 0;
    int served = 0;
    QString status;
    qint64 statusSince = -1, maxStatusGap = 0;
    int statusChanges = 0;
    qint64 cancelAt = -1;  // ms on `clock` when "中止" was clicked
    QPointer<QDialog> progress;
    QPointer<QLabel> line;

    void Fire(QWidget* mainWindow, qint64 cancelAfterMs) {
        qint64 now = clock.elapsed();
        if (lastFire >= 0) maxGap = std::max(maxGap, now - lastFire);
        lastFire = now;
        ++served;
        // Looked up once per window: the probe must not cost the copy loop much.
        if (!progress) {
            progress = ProgressWindow(mainWindow);
            if (!progress) return;
            // The status line is the widest label (the number and the unit labels are short).
            for (QLabel* l : progress->findChildren<QLabel*>())
                if (!line || l->width() > line->width()) line = l;
        }
        if (line && line->text() != status) {
            status = line->text();
            ++statusChanges;
            if (statusSince >= 0) maxStatusGap = std::max(maxStatusGap, now - statusSince);
            statusSince = now;
        }
        if (cancelAfterMs >= 0 && cancelAt < 0 && now >= cancelAfterMs) {
            if (auto* button = progress->findChild<QPushButton*>()) {
                cancelAt = clock.elapsed();
                button->click();
            }
        }
    }
};

// Notes when the progress window is first shown: the start of the copy phase.
class ShowWatch : public QObject {
  public:
    ShowWatch(QWidget* mainWindow, const QElapsedTimer& clock)
        : m_mainWindow(mainWindow), m_clock(clock) {}
    qint64 shownAt = -1;  // ms on the clock; -1 until then

  protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (shownAt < 0 && e->type() == QEvent::Show && o != m_mainWindow &&
            qobject_cast<QDialog*>(o))
            shownAt = m_clock.elapsed();
        return false;
    }

  private:
    QWidget* m_mainWindow;
    const QElapsedTimer& m_clock;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--cancel-after-ms")) {
        std::fprintf(stderr, "usage: %s URL SAVE_DIR [--cancel-after-ms N]\n", argv[0]);
        return 2;
    }
    const std::string url = argv[1], saveDir = argv[2];
    const qint64 cancelAfterMs = argc == 5 ? std::atoll(argv[4]) : -1;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!getenv("POMVEX_HOME")) setenv("POMVEX_HOME", saveDir.c_str(), 1);

    QApplication app(argc, argv);
    CurlInternetClient internet;
    QtHost host([&](Host& h) { return std::make_unique<CPomvexDlg>(h, internet); });
    host.show();
    auto& dlg = static_cast<CPomvexDlg&>(host.logic());

    Watch watch;
    QTimer probe(&host);
    probe.setInterval(5);
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, &host,
                     [&watch, &host, cancelAfterMs] { watch.Fire(&host, cancelAfterMs); });

    host.SetDlgItemText(IDC_LIST, url);
    host.SetDlgItemText(IDC_SAVE_DIR, saveDir);
    dlg.OnCommand(IDC_GET, false);  // loads the job table, as the Get button does

    ShowWatch shown(&host, watch.clock);
    app.installEventFilter(&shown);
    auto t0 = std::chrono::steady_clock::now();
    watch.clock.start();
    probe.start();
    dlg.OnTimerEvent(TIMER_TICK);  // starts job 1 and runs it to its end
    qint64 returnedAt = watch.clock.elapsed();
    probe.stop();
    app.removeEventFilter(&shown);
    const double copy = shown.shownAt < 0 ? -1 : (returnedAt - shown.shownAt) / 1000.0;
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (watch.statusSince >= 0)
        watch.maxStatusGap = std::max(watch.maxStatusGap, returnedAt - watch.statusSince);

    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double cpu =
        ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;

    const std::string& ending = Str(cancelAfterMs >= 0 ? Sid::LogAborted : Sid::LogDownloadDone);
    bool ok = dlg.batch().Log().find(ending) != std::string::npos && dlg.batch().Ready();
    std::string name = url.substr(url.find_last_of('/') + 1);
    std::string target = saveDir + (saveDir.empty() || saveDir.back() == '/' ? "" : "/") + name;
    struct stat st {};
    long long bytes = ::stat(target.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;

    std::printf(
        "ok=%d wall_s=%.3f copy_s=%.3f cpu_s=%.3f maxrss_kb=%ld bytes=%lld pumps_served=%d "
        "max_gap_ms=%lld status_changes=%d max_status_gap_ms=%lld",
        ok ? 1 : 0, wall, copy, cpu, ru.ru_maxrss, bytes, watch.served,
        static_cast<long long>(watch.maxGap), watch.statusChanges,
        static_cast<long long>(watch.maxStatusGap));
    if (cancelAfterMs >= 0)
        std::printf(" cancel_ms=%lld",
                    static_cast<long long>(watch.cancelAt < 0 ? -1 : returnedAt - watch.cancelAt));
    std::printf("\n");
    if (!ok)
        std::fprintf(stderr, "cursor=%d ready=%d log:\n%s\n", dlg.batch().Cursor(),
                     int(dlg.batch().Ready()), dlg.batch().Log().c_str());
    return ok ? 0 : 1;
}
