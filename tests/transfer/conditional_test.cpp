// Running a list again: a file downloaded before and untouched since is asked for only if it
// changed. nginx (which honours If-None-Match) and pyftpdlib, both over one folder.
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>

#include "fake/FakeHost.h"
#include "fake/TestText.h"
#include "platform/curl/CurlInternet.h"
#include "resources/Resource.h"
#include "transfer/LocalServers.h"
#include "transfer/TransferRig.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testsrv::ReadBytes;

TEST(Conditional, AnUnchangedFileIsNotTransferredAgainAndAnyChangeIs) {
    testsrv::ClearProxyEnvironment();
    TempHome home;
    TempDir www, save;
    testsrv::ServerProcess http("nginx_server.py", {www.path(), www / "access.log"});
    testsrv::ServerProcess ftp("ftp_server.py", {www.path(), "--command-log", www / "ftp.log"});
    FakeHost host;
    TransferRig rig(host);
    host.texts[IDC_SAVE_DIR] = Sj((save / "再取得").c_str()) + "/";
    enum Change { none, onServer, onDisk };
    struct Case {
        const char *name, *file;
        bool ftp;
        Change change;
        const char* says;  // how the server's log shows the second request
    } cases[] = {
        {"unchanged", "same.bin", false, none, "/same.bin 304 0"},
        {"changed on the server", "server.bin", false, onServer, "/server.bin 200 6000"},
        {"changed on disk", "disk.bin", false, onDisk, "/disk.bin 200 5000"},
        {"no validator sent", "novalidator.bin", false, none, "/novalidator.bin 200 1500"},
        {"FTP unchanged", "same.ftp", true, none, "SIZE same.ftp"},
        {"FTP changed", "changed.ftp", true, onServer, "RETR changed.ftp"},
    };
    for (const Case& c : cases) {
        testsrv::WriteBytes(www / c.file, testsrv::Pattern(5000, 7));
        const std::string url = (c.ftp ? "ftp://127.0.0.1:" : "http://127.0.0.1:") +
                                std::to_string((c.ftp ? ftp : http).port()) + "/" + c.file;
        const std::string local = save / ("再取得/"s + c.file);
        auto run = [&] { return rig.Run(url).outcome; };
        ASSERT_EQ(run(), JobOutcome::Done) << c.name;
        if (c.change == onServer) testsrv::WriteBytes(www / c.file, testsrv::Pattern(6000, 8));
        if (c.change == onDisk) fs::last_write_time(local, fs::file_time_type::clock::now());
        char mark[512] = {};
        getxattr(local.c_str(), "user.pomvex.complete", mark, sizeof mark);
        const auto before = fs::last_write_time(local);
        testsrv::WriteBytes(www / (c.ftp ? "ftp.log" : "access.log"), "");  // nginx appends
        const bool noValidator = std::string(c.file) == "novalidator.bin";
        const bool same = c.change == none && !noValidator;
        const JobOutcome got = run();
        std::string log;  // nginx logs a request after its answer: wait for the line
        for (int i = 0; i < 100 && log.find(c.says) == std::string::npos; ++i, usleep(20000))
            log = ReadBytes(www / (c.ftp ? "ftp.log" : "access.log"));
        const std::string tail =
            Sj(same ? "更新されていないのでDLしませんでした\r\n" : "DL終了しました\r\n");
        EXPECT_EQ(got, same ? JobOutcome::UpToDate : JobOutcome::Done) << c.name;
        EXPECT_TRUE(
            rig.sink.log.ends_with(Sj("保存先 ") + Sj(local.c_str()) + "\r\nCLOCK   " + tail))
            << c.name << ": " << Readable(rig.sink.log);
        EXPECT_NE(log.find(c.says), std::string::npos) << c.name << ": " << log;
        EXPECT_EQ(log.find("RETR") == std::string::npos, !c.ftp || same) << c.name << ": " << log;
        EXPECT_TRUE(ReadBytes(local) ==
                    (noValidator ? std::string(1500, 'x') : ReadBytes(www / c.file)))
            << c.name;
        if (!same) continue;
        char after[512] = {};
        getxattr(local.c_str(), "user.pomvex.complete", after, sizeof after);
        EXPECT_EQ(std::string(mark, sizeof mark), std::string(after, sizeof after)) << c.name;
        EXPECT_TRUE(before == fs::last_write_time(local)) << c.name;
    }
}

}  // namespace
