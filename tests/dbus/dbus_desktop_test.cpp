// The D-Bus desktop against real dbus-daemons that the test starts on private addresses, with a
// fake logind and a fake notification server on them (fake_desktop_bus.py); the program side is
// the real DBusDesktop under a real batch (curl, a local HTTP server on 127.0.0.1) on the fake
// host. libdbus reads the bus addresses once per process, so each test runs in a process of its
// own (one ctest entry each).
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "platform/dbus/DBusDesktop.h"
#include "resources/Resource.h"
#include "transfer/LocalServers.h"
#include "window/PomvexDlg.h"

extern char** environ;

namespace {

// Lets the Qt event loop run (D-Bus replies arrive through it) for up to ms, or until done().
bool ProcessEventsUntil(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 10) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (done()) return true;
        usleep(10000);
    }
    return done();
}

// fake_desktop_bus.py: two private buses with the fake services on them. Points this process's
// system and session bus at them.
class FakeBuses {
  public:
    FakeBuses() : m_child(std::string(POMVEX_DBUS_TEST_DIR) + "/fake_desktop_bus.py", {}, 5000) {
        const QJsonObject first = Next(15000);
        const std::string system = first["system"].toString().toStdString();
        const std::string session = first["session"].toString().toStdString();
        if (system.empty() || session.empty()) throw std::runtime_error("no buses");
        setenv("DBUS_SYSTEM_BUS_ADDRESS", system.c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", session.c_str(), 1);
    }
    FakeBuses(const FakeBuses&) = delete;
    FakeBuses& operator=(const FakeBuses&) = delete;

    // The next record the fakes wrote, or an empty object when none came within ms. Qt events
    // are processed while waiting.
    QJsonObject Next(int ms) {
        QJsonObject record;
        ProcessEventsUntil([&] { return TakeLine(record); }, ms);
        return record;
    }

  private:
    bool TakeLine(QJsonObject& record) {
        pollfd p{m_child.stdoutFd(), POLLIN, 0};
        while (m_buffer.find('\n') == std::string::npos && poll(&p, 1, 0) == 1) {
            char chunk[4096];
            const ssize_t n = read(m_child.stdoutFd(), chunk, sizeof chunk);
            if (n <= 0) break;
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
        const size_t end = m_buffer.find('\n');
        if (end == std::string::npos) return false;
        record =
            QJsonDocument::fromJson(QByteArray::fromStdString(m_buffer.substr(0, end))).object();
        m_buffer.erase(0, end + 1);
        return true;
    }

    testsrv::PythonChild m_child;
    std::string m_buffer;
};

// True when one of this process's descriptors is an end of the pipe with this inode.
bool HoldsPipe(qint64 inode) {
    const std::string wanted = "pipe:[" + std::to_string(inode) + "]";
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return false;
    bool found = false;
    while (dirent* e = readdir(dir)) {
        char target[64];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == wanted) found = true;
    }
    closedir(dir);
    return found;
}

struct Outcome {
    bool ended = false;
    std::string log;    // m_strLog, the save folder written as <save>
    std::string saved;  // the downloaded file
    std::vector<std::string> boxes;
    int64_t endMs = 0;  // virtual time of the end
};

// The list `good` (served, 4 KiB) then `missing` (404) as a download batch by the Get button,
// run to its end with `desktop`; `onGet` runs after the press, `onFiring` after every timer.
Outcome RunBatch(Desktop& desktop, const std::function<void()>& onGet,
                 const std::function<void(const CPomvexDlg&)>& onFiring) {
    testsrv::ClearProxyEnvironment();
    static const std::string good = testsrv::Servers().Serve("a.bin", testsrv::Pattern(4096));
    static const std::string missing = testsrv::Servers().Http("/files/missing.bin");
    testsrv::TempDir home, save;
    setenv("POMVEX_HOME", home.path().c_str(), 1);
    FakeHost host;
    CurlInternetClient client;
    CPomvexDlg dlg(host, client);
    dlg.SetDesktop(desktop);
    host.Attach(&dlg);
    dlg.OnInitDialog();
    host.texts[IDC_SAVE_DIR] = save.path() + "/";
    host.texts[IDC_LIST] = good + "\r\n" + missing + "\r\n";
    dlg.OnCommand(IDC_GET, false);
    onGet();
    Outcome out;
    out.ended = host.AdvanceUntil(
        [&] {
            QCoreApplication::processEvents();
            onFiring(dlg);
            return dlg.batch().Cursor() == 0;
        },
        300000);
    host.Attach(nullptr);
    out.log = dlg.batch().Log();
    for (size_t at; (at = out.log.find(save.path())) != std::string::npos;)
        out.log.replace(at, save.path().size(), "<save>");
    out.saved = testsrv::ReadBytes(save / "a.bin");
    for (const FakeBox& box : host.boxes) out.boxes.push_back(Readable(box.text));
    out.endMs = host.NowMs();
    return out;
}

std::string Text(const QJsonValue& value) {
    return value.toString().toStdString();
}

TEST(OnTheBus, LockHeldThroughTheBatchClosedAfterIt_OneNotificationWithTheTally) {
    FakeBuses buses;
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::darkGreen);
    DBusDesktop desktop(icon);

    QJsonObject inhibit;
    bool heldThroughout = true;
    const Outcome out = RunBatch(
        desktop,
        [&] {
            inhibit = buses.Next(10000);
            // The reply has come once this process holds the lock's descriptor.
            ASSERT_TRUE(
                ProcessEventsUntil([&] { return HoldsPipe(inhibit["pipe"].toInteger()); }, 10000))
                << "the lock's descriptor never arrived";
        },
        [&](const CPomvexDlg& dlg) {
            if (dlg.batch().Cursor() != 0 && !HoldsPipe(inhibit["pipe"].toInteger()))
                heldThroughout = false;
        });
    ASSERT_TRUE(out.ended);
    EXPECT_NE(out.log.find(Sj("DL終了しました")), std::string::npos) << Readable(out.log);
    EXPECT_EQ(out.saved, testsrv::Pattern(4096));

    ASSERT_TRUE(inhibit.contains("inhibit")) << "no Inhibit call reached logind";
    const QJsonArray args = inhibit["inhibit"].toArray();
    EXPECT_EQ(Text(args[0]), "sleep:idle");
    EXPECT_EQ(Text(args[1]), "Pomvex");
    EXPECT_EQ(Text(args[2]), "ダウンロード中です");
    EXPECT_EQ(Text(args[3]), "block");
    EXPECT_TRUE(heldThroughout) << "the lock was dropped while the batch ran";

    // The release and the notification travel on different buses: either may come first.
    bool closed = false;
    QJsonObject notify;
    for (int i = 0; i < 2; ++i) {
        const QJsonObject record = buses.Next(10000);
        if (record.contains("closed")) closed = record["closed"] == inhibit["lock"];
        if (record.contains("notify")) notify = record["notify"].toObject();
        ASSERT_FALSE(record.isEmpty()) << "closed " << closed << ", notified " << !notify.isEmpty();
    }
    EXPECT_TRUE(closed);
    EXPECT_FALSE(HoldsPipe(inhibit["pipe"].toInteger())) << "a copy of the lock leaked";
    ASSERT_FALSE(notify.isEmpty());
    EXPECT_EQ(Text(notify["app"]), "Pomvex");
    EXPECT_EQ(Text(notify["icon"]), "pomvex");
    EXPECT_EQ(Text(notify["desktop-entry"]), "pomvex");
    EXPECT_EQ(Text(notify["summary"]), "ダウンロードが終わりました");
    EXPECT_EQ(Text(notify["body"]), "開始 2件、DL終了 1件、未完了 1件");
    EXPECT_EQ(notify["image"].toArray(), (QJsonArray{64, 64, 256, true, 8, 4, 64 * 64 * 4}));
    EXPECT_EQ(notify["actions"].toArray(), QJsonArray{});

    // A lock given up before logind answered: its descriptor is closed when the answer comes.
    desktop.HoldSleepLock(Sj("ダウンロード中です"));
    desktop.ReleaseSleepLock();
    const QJsonObject late = buses.Next(10000);
    ASSERT_TRUE(late.contains("inhibit"));
    EXPECT_EQ(buses.Next(10000)["closed"], late["lock"]) << "the late lock leaked";

    const QJsonObject extra = buses.Next(1000);
    EXPECT_TRUE(extra.isEmpty()) << "more than one lock or notification: "
                                 << QJsonDocument(extra).toJson().toStdString();
}

TEST(WithoutABus, TheBatchRunsAsWithNoDesktop) {
    // Addresses where nothing listens (no autolaunch of a session bus either).
    const testsrv::TempDir nothing;
    setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + nothing / "system").c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + nothing / "session").c_str(), 1);
    const Outcome before = RunBatch(
        NoDesktop(), [] {}, [](const CPomvexDlg&) {});
    DBusDesktop desktop;
    const Outcome now = RunBatch(
        desktop, [] {}, [](const CPomvexDlg&) {});
    ASSERT_TRUE(before.ended);
    EXPECT_NE(before.log.find(Sj("DL終了しました")), std::string::npos) << Readable(before.log);
    EXPECT_TRUE(now.ended);
    EXPECT_EQ(Readable(now.log), Readable(before.log));
    EXPECT_EQ(now.saved, before.saved);
    EXPECT_EQ(now.boxes, before.boxes);
    EXPECT_EQ(now.endMs, before.endMs);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
