// Loading and saving list files through the fake host's file dialogs, against real files.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lists_support.h"
#include "platform/File.h"
#include "resources/Resource.h"
#include "resources/Strings.h"
#include "resources/Text.h"

namespace {

using lists_test::ListsTest;
using lists_test::ReadAll;
using lists_test::WriteAll;

// Readable form of bytes for failure messages: printable ASCII as is, the rest as \xNN,
// long texts cut in the middle.
std::string Show(const std::string& s) {
    std::string out = "\"";
    auto put = [&out](unsigned char c) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    };
    if (s.size() <= 120) {
        for (unsigned char c : s) put(c);
    } else {
        for (size_t i = 0; i < 50; ++i) put(static_cast<unsigned char>(s[i]));
        out += "...(" + std::to_string(s.size()) + " bytes)...";
        for (size_t i = s.size() - 50; i < s.size(); ++i) put(static_cast<unsigned char>(s[i]));
    }
    return out + "\"";
}

// A holder of the file's exclusive lock, as another copy of the program would be.
class LockHolder {
  public:
    explicit LockHolder(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR)) {
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~LockHolder() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool held() const { return m_fd >= 0; }

  private:
    int m_fd;
};

const std::string kOld = "old 1\r\nold 2\r\n";

class ListFilesTest : public ListsTest {
  protected:
    void SetUp() override {
        ListsTest::SetUp();
        host.texts[IDC_LIST] = kOld;
    }
    // The next file dialog answers OK with `path`.
    void Choose(const std::string& path) {
        host.onFileDialog = [this, path](bool open, const std::string& initial,
                                         std::string& chosen) {
            dialogs.push_back({open, initial});
            chosen = path;
            return true;
        };
    }
    void ExpectOneCreateFailedBox() {
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0].text, Str(Sid::FileCreateFailed));
        EXPECT_EQ(host.boxes[0].type, unsigned{MB_OK});
    }
    struct Dialog {
        bool open;
        std::string initial;
    };
    std::vector<Dialog> dialogs;
};

// ---- loading ----

TEST_F(ListFilesTest, LoadPutsCrLfAfterEveryLineByTheLineRule) {
    const std::string kana = "\xB1\xB2\xB3\xDF";                   // half-width katakana
    const std::string kanji = "\x88\x9F\x83\x5C\x81\x60\xFC\x4B";  // 亜 ソ(trail 0x5C) ～ 黑
    const std::string longLine(20000, 'u');
    const std::string atBoundary(4095, 'b');  // CR is the buffer's last byte, LF the next's first
    struct Row {
        const char* name;
        std::string file, list;
    } rows[] = {
        {"lf_only", "a\nb\n", "a\r\nb\r\n"},
        {"no_final_line_end", "a\nb", "a\r\nb\r\n"},
        {"final_crlf_adds_no_line", "a\r\nb\r\n", "a\r\nb\r\n"},
        {"empty_lines_kept", "a\r\n\r\n\nb\r\n", "a\r\n\r\n\r\nb\r\n"},
        {"empty_file", "", ""},
        {"only_a_line_end", "\r\n", "\r\n"},
        {"lone_cr_keeps_the_next_byte", "a\rbc\r\r\n", "ab\r\nc\r\r\n\r\n"},
        {"cp932_high_bytes", kana + "\r\n" + kanji, kana + "\r\n" + kanji + "\r\n"},
        {"line_of_20000_bytes", longLine + "\r\nx", longLine + "\r\nx\r\n"},
        {"crlf_split_by_the_buffer", atBoundary + "\r\nz\r\n", atBoundary + "\r\nz\r\n"},
        {"blanks_kept", "  u  \t\r\n", "  u  \t\r\n"},
    };
    ASSERT_TRUE(text::IsValidCp932(kana + kanji));
    const std::string path = InHome("list.txt");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteAll(path, row.file);
        host.texts[IDC_LIST] = kOld;
        host.boxes.clear();
        Choose(path);
        dlg->OnCommand(IDC_OPEN_LIST, false);
        EXPECT_TRUE(host.texts[IDC_LIST] == row.list)
            << "file " << Show(row.file) << "\n got " << Show(host.texts[IDC_LIST])
            << "\n expected " << Show(row.list);
        EXPECT_TRUE(dlg->lists().List() == row.list) << "m_strList " << Show(dlg->lists().List());
        EXPECT_TRUE(host.boxes.empty());
    }
}

TEST_F(ListFilesTest, LoadStartsAtTheListFileInTheProgramFolderAndCancelChangesNothing) {
    host.onFileDialog = [this](bool open, const std::string& initial, std::string&) {
        dialogs.push_back({open, initial});
        return false;
    };
    dlg->OnCommand(IDC_OPEN_LIST, false);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].open);
    EXPECT_EQ(dialogs[0].initial, InHome("Pomvex.txt"));
    EXPECT_EQ(host.texts[IDC_LIST], kOld);
    EXPECT_EQ(dlg->lists().List(), "");
    EXPECT_TRUE(host.textHistory.empty());
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ListFilesTest, LoadThatCannotOpenShowsTheOneMessage) {
    ASSERT_EQ(::mkdir(InHome("folder").c_str(), 0777), 0);
    for (const char* name : {"missing.txt", "folder"}) {
        SCOPED_TRACE(name);
        host.boxes.clear();
        Choose(InHome(name));
        dlg->OnCommand(IDC_OPEN_LIST, false);
        ExpectOneCreateFailedBox();
        EXPECT_EQ(host.texts[IDC_LIST], kOld);
        EXPECT_EQ(dlg->lists().List(), "");
    }
}

TEST_F(ListFilesTest, LoadOfAFileLockedByAnotherHolderShowsTheMessage) {
    const std::string path = InHome("locked.txt");
    WriteAll(path, "http://x/1\r\n");
    Choose(path);
    {
        LockHolder other(path);
        ASSERT_TRUE(other.held());
        dlg->OnCommand(IDC_OPEN_LIST, false);
        ExpectOneCreateFailedBox();
        EXPECT_EQ(host.texts[IDC_LIST], kOld);
        EXPECT_EQ(dlg->lists().List(), "");
    }
    // Once the holder lets go the same file loads, and the load leaves no lock behind.
    host.boxes.clear();
    dlg->OnCommand(IDC_OPEN_LIST, false);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.texts[IDC_LIST], "http://x/1\r\n");
    EXPECT_TRUE(LockHolder(path).held());
}

TEST_F(ListFilesTest, ReadErrorAfterOpeningReachesTheErrorWrapperAndKeepsTheList) {
    // Reading a process's memory file at offset 0 fails with EIO once it is open.
    const std::string path = "/proc/self/mem";
    {
        CFile probe;
        if (!probe.Open(path, CFile::modeRead | CFile::shareExclusive))
            GTEST_SKIP() << path << " cannot be opened and locked here";
    }
    Choose(path);
    dlg->OnCommand(IDC_OPEN_LIST, false);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].type, unsigned{MB_ICONSTOP});
    EXPECT_NE(host.boxes[0].text, Str(Sid::FileCreateFailed));
    EXPECT_EQ(host.texts[IDC_LIST], kOld);
    EXPECT_EQ(dlg->lists().List(), "");
}

// ---- saving ----

TEST_F(ListFilesTest, SaveWritesTheListBoxBytesExactlyOverALongerFile) {
    struct Row {
        const char* name;
        std::string list;
    } rows[] = {
        {"empty_list", ""},
        {"no_final_line_end", "a\r\nb"},
        {"final_line_end", "a\r\nb\r\n"},
        {"cp932_bytes", "\x88\x9F\x83\x5C\r\n\xB1\xDF"},
        {"lone_lf_and_cr_kept", "a\nb\rc"},
        {"long_text", std::string(20000, 'v') + "\r\n"},
    };
    const std::string path = InHome("Pomvex.txt");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteAll(path, std::string(30000, '#'));
        host.texts[IDC_LIST] = row.list;
        host.boxes.clear();
        Choose(path);
        dlg->OnCommand(IDC_SAVE_LIST, false);
        const std::string got = ReadAll(path);
        EXPECT_TRUE(got == row.list) << "list " << Show(row.list) << "\n file " << Show(got);
        EXPECT_EQ(dlg->lists().List(), row.list);
        EXPECT_TRUE(host.boxes.empty());
    }
    ASSERT_EQ(dialogs.size(), std::size(rows));
    EXPECT_FALSE(dialogs[0].open);
    EXPECT_EQ(dialogs[0].initial, InHome("Pomvex.txt"));
}

TEST_F(ListFilesTest, CancelledSaveStillTakesTheListBoxText) {
    dlg->OnCommand(IDC_SAVE_LIST, false);  // the fake host cancels file dialogs by default
    EXPECT_EQ(dlg->lists().List(), kOld);
    EXPECT_EQ(host.calls, std::vector<std::string>{"FileDialog(save)"});
    EXPECT_NE(::access(InHome("Pomvex.txt").c_str(), F_OK), 0);
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(ListFilesTest, SaveToAMissingFolderShowsTheMessageAndWritesNothing) {
    Choose(InHome("no such folder/list.txt"));
    dlg->OnCommand(IDC_SAVE_LIST, false);
    ExpectOneCreateFailedBox();
    EXPECT_NE(::access(InHome("no such folder").c_str(), F_OK), 0);
    EXPECT_EQ(host.texts[IDC_LIST], kOld);
}

TEST_F(ListFilesTest, SaveOverAReadOnlyFileShowsTheMessageAndKeepsIt) {
    const std::string path = InHome("readonly.txt");
    WriteAll(path, "keep me\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    // The superuser writes past mode bits; the immutable flag stops it as well.
    bool immutable = false;
    if (::geteuid() == 0) {
        int fd = ::open(path.c_str(), O_RDONLY);
        int flags = 0;
        immutable = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                    (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        if (fd >= 0) ::close(fd);
        if (!immutable) GTEST_SKIP() << "running as root without the immutable flag";
    }
    Choose(path);
    dlg->OnCommand(IDC_SAVE_LIST, false);
    ExpectOneCreateFailedBox();
    EXPECT_EQ(ReadAll(path), "keep me\r\n");
    if (immutable) {
        int fd = ::open(path.c_str(), O_RDONLY);
        int flags = 0;
        ASSERT_EQ(::ioctl(fd, FS_IOC_GETFLAGS, &flags), 0);
        flags &= ~FS_IMMUTABLE_FL;
        ASSERT_EQ(::ioctl(fd, FS_IOC_SETFLAGS, &flags), 0);
        ::close(fd);
    }
}

TEST_F(ListFilesTest, SaveOverAFileLockedByAnotherHolderLeavesItWhole) {
    const std::string path = InHome("locked.txt");
    WriteAll(path, "the holder's text\r\n");
    LockHolder other(path);
    ASSERT_TRUE(other.held());
    Choose(path);
    dlg->OnCommand(IDC_SAVE_LIST, false);
    ExpectOneCreateFailedBox();
    EXPECT_EQ(ReadAll(path), "the holder's text\r\n");
}

TEST_F(ListFilesTest, ListWithACharacterOutsideCp932IsNotSaved) {
    const std::string path = InHome("Pomvex.txt");
    WriteAll(path, "previous file\r\n");
    host.nonCp932Controls.insert(IDC_LIST);
    Choose(path);
    dlg->OnCommand(IDC_SAVE_LIST, false);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, Str(Sid::TextNotCp932));
    EXPECT_EQ(host.boxes[0].type, unsigned{MB_ICONEXCLAMATION});
    EXPECT_TRUE(dialogs.empty()) << "no file dialog before the text is known to be savable";
    EXPECT_EQ(ReadAll(path), "previous file\r\n");
    EXPECT_EQ(dlg->lists().List(), "");
    EXPECT_EQ(host.texts[IDC_LIST], kOld);
    EXPECT_TRUE(host.textHistory.empty());
}

TEST_F(ListFilesTest, WriteErrorReachesTheErrorWrapper) {
    Choose("/dev/full");
    host.texts[IDC_LIST] = "http://x/1\r\n";
    dlg->OnCommand(IDC_SAVE_LIST, false);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].type, unsigned{MB_ICONSTOP});
    EXPECT_EQ(host.boxes[0].text,
              CFileException(CFileException::diskFull, "/dev/full").GetErrorMessage());
}

TEST_F(ListFilesTest, SavedTextLoadsBackWithAFinalCrLf) {
    const std::string path = InHome("Pomvex.txt");
    const std::string saved = "http://a/1\r\n\r\n\x88\x9F\r\nhttp://a/2";
    host.texts[IDC_LIST] = saved;
    Choose(path);
    dlg->OnCommand(IDC_SAVE_LIST, false);
    host.texts[IDC_LIST] = "something else";
    dlg->OnCommand(IDC_OPEN_LIST, false);
    EXPECT_EQ(host.texts[IDC_LIST], saved + "\r\n");
    EXPECT_TRUE(host.boxes.empty());
}

}  // namespace
