// Files the program replaces as a whole, on a full disk: the old file stays byte for byte, no
// temporary file is left, the message comes once, and a batch's end still shows the whole log.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "batch_support.h"

namespace {

using batch_test::BatchTest;

TEST_F(BatchTest, AFullDiskLeavesTheOldFileWhole) {
    const std::string folder = InHome("ポムベクス 家");
    ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    setenv("POMVEX_HOME", folder.c_str(), 1);
    std::string old;
    for (int i = 0; i < 100; ++i) old += Sj("http://h/古い/") + std::to_string(i) + "\r\n";
    const std::string big = "http://h/" + std::string(9000, 'x') + "\r\n";  // the log holds it
    const struct {
        const char* file;
        int command;  // what the user does while no file may grow past 4096 bytes
    } rows[] = {{"リスト.txt", IDC_SAVE_LIST}, {"Pomvex.PVX", IDC_GET}, {"Pomvex.log", 0}};
    signal(SIGXFSZ, SIG_IGN);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        host.boxes.clear();
        const std::string path = folder + "/" + row.file;
        batch_test::WriteFileBytes(path, old);
        SetList(big);
        if (!row.command) dlg->OnCommand(IDC_GET, false);  // the batch starts with room
        host.onFileDialog = [&](bool, const std::string&, std::string& chosen) {
            chosen = Sj(path.c_str());
            return true;
        };
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit small{4096, saved.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        if (row.command) dlg->OnCommand(row.command, false);
        if (!row.command) {
            EXPECT_TRUE(RunToEnd());
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_TRUE(batch_test::ReadFileBytes(path) == old) << "the old file is not whole";
        for (const auto& e : std::filesystem::directory_iterator(folder))
            EXPECT_NE(e.path().filename().string()[0], '.') << "left: " << e.path();
        ASSERT_EQ(host.boxes.size(), 1u) << "the message comes once";
        EXPECT_EQ(
            Readable(host.boxes[0].text),
            Readable(CFileException(CFileException::diskFull, Sj(path.c_str())).GetErrorMessage()));
        EXPECT_TRUE(Shown(IDC_LOG) == dlg->batch().Log() || row.command)
            << "the whole log is shown";
        EXPECT_EQ(dlg->batch().Cursor(), 0);
    }
}

}  // namespace
