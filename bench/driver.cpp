// Runs one real download through the program's own code path: the Qt host (offscreen by
// default), CPomvexDlg, LoadJobTable, then the tick that starts and runs job 1 with its
// progress window. Prints one line of figures for the benchmark and the memory guard.
//
// Usage: pomvex_bench_driver URL SAVE_DIR
// Output: ok=1 wall_s=.. cpu_s=.. maxrss_kb=.. bytes=.. pumps_served=..
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/curl/CurlInternet.h"
#include "platform/qt/QtHost.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "ui/PomvexDlg.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s URL SAVE_DIR\n", argv[0]);
        return 2;
    }
    const std::string url = argv[1], saveDir = argv[2];
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!getenv("POMVEX_HOME")) setenv("POMVEX_HOME", saveDir.c_str(), 1);

    QApplication app(argc, argv);
    CurlInternetClient internet;
    QtHost host([&](Host& h) { return std::make_unique<CPomvexDlg>(h, internet); });
    host.show();
    CPomvexDlg& dlg = host.logic();

    // Counts how often the event loop got to run a timer of its own while the download copied.
    int served = 0;
    QTimer probe(&host);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, &host, [&served] { ++served; });

    host.SetDlgItemText(IDC_LIST, url);
    host.SetDlgItemText(IDC_SAVE_DIR, saveDir);
    dlg.m_bDownloadMode = 1;
    dlg.LoadJobTable();

    auto t0 = std::chrono::steady_clock::now();
    probe.start();
    dlg.OnTimerEvent(TIMER_TICK);  // starts job 1 and runs it to its end
    probe.stop();
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;

    const std::string& done = Str(Sid::LogDownloadDone);
    bool ok = dlg.m_strLog.find(done) != std::string::npos && dlg.m_bReady == 1;
    std::string name = url.substr(url.find_last_of('/') + 1);
    std::string target = saveDir + (saveDir.empty() || saveDir.back() == '/' ? "" : "/") + name;
    struct stat st {};
    long long bytes = ::stat(target.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;

    std::printf("ok=%d wall_s=%.3f cpu_s=%.3f maxrss_kb=%ld bytes=%lld pumps_served=%d\n", ok ? 1 : 0, wall,
                cpu, ru.ru_maxrss, bytes, served);
    if (!ok) std::fprintf(stderr, "cursor=%d ready=%d log:\n%s\n", dlg.m_nCursor, dlg.m_bReady, dlg.m_strLog.c_str());
    return ok ? 0 : 1;
}
