// Local files: how OS failures become cause codes and texts, the ways an open fails, the
// exclusive lock, the buffered writer, and a full disk.
#include "platform/File.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "batch_support.h"
#include "fake/TestText.h"
#include "platform/FileSystem.h"
#include "resources/Text.h"

namespace {

TEST(FileException, CauseFromErrno) {
    struct Row {
        int err;
        int cause;
    };
    const Row rows[] = {
        {0, CFileException::none},
        {ENOENT, CFileException::fileNotFound},
        {ENOTDIR, CFileException::badPath},
        {ENAMETOOLONG, CFileException::badPath},
        {EMFILE, CFileException::tooManyOpenFiles},
        {ENFILE, CFileException::tooManyOpenFiles},
        {EACCES, CFileException::accessDenied},
        {EROFS, CFileException::accessDenied},
        {EISDIR, CFileException::accessDenied},
        {EBADF, CFileException::invalidFile},
        {ESPIPE, CFileException::badSeek},
        {EIO, CFileException::hardIO},
        {EWOULDBLOCK, CFileException::sharingViolation},
        {EBUSY, CFileException::sharingViolation},
        {ENOLCK, CFileException::lockViolation},
        {ENOSPC, CFileException::diskFull},
        {EDQUOT, CFileException::diskFull},
        {EFBIG, CFileException::diskFull},
        {EXDEV, CFileException::genericException},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("errno " + std::to_string(r.err) + " (" + strerror(r.err) + ")");
        EXPECT_EQ(CFileException::OsErrorToCause(r.err), r.cause);
        CFileException e = CFileException::FromErrno(r.err, "/p");
        EXPECT_EQ(e.m_cause, r.cause);
        EXPECT_EQ(e.m_lOsError, r.err);
        EXPECT_EQ(e.m_strFileName, "/p");
    }
}

TEST(FileException, MessageNamesThePath) {
    struct Row {
        int cause;
        std::string path;
        const char* expectedUtf8;
    };
    const std::string sjisPath = "/d/\x83\x65\x83\x58\x83\x67.txt";  // テスト.txt in CP932
    const Row rows[] = {
        {CFileException::none, "/a", "ｴﾗｰはありませんでした。"},
        {CFileException::fileNotFound, "/a/b.txt", "/a/b.txt が見つかりませんでした。"},
        {CFileException::badPath, "/x/y", "/x/y には無効なﾊﾟｽが含まれています。"},
        {CFileException::accessDenied, "/r", "/r へのｱｸｾｽは拒否されました。"},
        {CFileException::sharingViolation, "/s", "/s へのｱｸｾｽ中に共有違反が発生しました。"},
        {CFileException::diskFull, "/dev/full",
         "/dev/full へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
        {CFileException::endOfFile, "/e", "/e の末尾以降にｱｸｾｽしようとしました。"},
        {CFileException::fileNotFound, "", "無題のﾌｧｲﾙ が見つかりませんでした。"},
        {99, "/q", "/q へのｱｸｾｽ中に不明なｴﾗｰが発生しました。"},
        {-1, "/q", "/q へのｱｸｾｽ中に不明なｴﾗｰが発生しました。"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("cause " + std::to_string(r.cause) + ", path " + r.path);
        EXPECT_EQ(CFileException(r.cause, r.path).GetErrorMessage(), Sj(r.expectedUtf8));
    }
    // The path's bytes are put in as they are, not converted.
    EXPECT_EQ(CFileException(CFileException::fileNotFound, sjisPath).GetErrorMessage(),
              sjisPath + Sj(" が見つかりませんでした。"));
}

class FileTest : public ::testing::Test {
  protected:
    TempDir tmp;
    const std::string dir = tmp.path();
};

TEST_F(FileTest, OpenFailureKinds) {
    ASSERT_EQ(::mkdir((dir + "/sub").c_str(), 0777), 0);
    batch_test::WriteFileBytes(dir + "/plain", "x");
    struct Row {
        const char* name;
        std::string path;
        unsigned flags;
        int cause;
    };
    const Row rows[] = {
        {"missing file, read", dir + "/nope", CFile::modeRead, CFileException::fileNotFound},
        {"missing folder, create", dir + "/nodir/f", CFile::modeCreate | CFile::modeWrite,
         CFileException::badPath},
        {"missing folder, read", dir + "/nodir/f", CFile::modeRead, CFileException::badPath},
        {"file used as folder", dir + "/plain/f", CFile::modeRead, CFileException::badPath},
        {"folder, read", dir + "/sub", CFile::modeRead, CFileException::accessDenied},
        {"folder, create", dir + "/sub", CFile::modeCreate | CFile::modeWrite,
         CFileException::accessDenied},
        {"name too long", dir + "/" + std::string(300, 'n'), CFile::modeRead,
         CFileException::badPath},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        CFile file;
        CFileException error(0, "");
        EXPECT_FALSE(file.Open(r.path, r.flags, &error));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(error.m_cause, r.cause) << "errno " << error.m_lOsError;
        EXPECT_EQ(error.m_strFileName, r.path);
    }
}

TEST_F(FileTest, CreateTruncatesAndReadsBack) {
    const std::string path = dir + "/t";
    batch_test::WriteFileBytes(path, "old contents that are longer");
    {
        CFile file;
        ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
        file.Write("new", 3);
        file.Close();
        file.Close();  // closing twice is harmless
    }
    EXPECT_EQ(batch_test::ReadFileBytes(path), "new");
    CFile in;
    ASSERT_TRUE(in.Open(path, CFile::modeRead));
    EXPECT_EQ(in.GetLength(), 3u);
    char buf[8];
    EXPECT_EQ(in.Read(buf, sizeof buf), 3u);
    EXPECT_EQ(in.Read(buf, sizeof buf), 0u);
    in.SeekToBegin();
    EXPECT_EQ(in.Read(buf, 1), 1u);
    EXPECT_EQ(buf[0], 'n');
}

TEST_F(FileTest, ExclusiveOpenFailsWhileHeldAndLeavesTheHoldersBytes) {
    const std::string path = dir + "/locked";
    CFile first;
    ASSERT_TRUE(first.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    first.Write("held", 4);

    for (unsigned flags :
         {unsigned{CFile::modeRead | CFile::shareExclusive},
          unsigned{CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive}}) {
        SCOPED_TRACE("flags " + std::to_string(flags));
        CFile second;
        CFileException error(0, "");
        EXPECT_FALSE(second.Open(path, flags, &error));
        EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    }
    // The failed create must not have truncated the holder's file.
    EXPECT_EQ(batch_test::ReadFileBytes(path), "held");

    first.Close();
    CFile third;
    EXPECT_TRUE(third.Open(path, CFile::modeRead | CFile::shareExclusive));
}

TEST_F(FileTest, WriterKeepsBytesUntilFlushAndKeepsOrder) {
    const std::string path = dir + "/w";
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite));
    FileWriter writer(file, 16);
    writer.Write("0123456789", 10);
    EXPECT_EQ(batch_test::ReadFileBytes(path), "") << "buffered bytes reached the disk early";
    writer.Write("abcdefghij", 10);  // spills the first ten
    EXPECT_EQ(batch_test::ReadFileBytes(path), "0123456789");
    const std::string big(40, 'Z');  // larger than the buffer: goes straight through
    writer.Write(big.data(), big.size());
    writer.Write("!", 1);
    writer.Flush();
    writer.Flush();  // nothing left: writes nothing more
    file.Close();
    EXPECT_EQ(batch_test::ReadFileBytes(path), "0123456789abcdefghij" + big + "!");
}

TEST_F(FileTest, WriterFillsItsBufferExactlyAndReusesItAfterEveryFlush) {
    const std::string path = dir + "/fill";
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeWrite));
    FileWriter writer(file, 8);
    std::string want;
    for (int round = 0; round < 5; ++round) {
        const std::string a = "abcd" + std::to_string(round % 10), b = "xyz";  // 5 + 3 = 8
        writer.Write(a.data(), a.size());
        writer.Write(b.data(), b.size());  // exactly full: still only buffered
        EXPECT_EQ(batch_test::ReadFileBytes(path), want) << "round " << round;
        want += a + b;
        writer.Write("!", 1);  // one more byte spills the full buffer first
        EXPECT_EQ(batch_test::ReadFileBytes(path), want) << "round " << round;
        writer.Flush();
        want += "!";
    }
    writer.Write("12345678", 8);  // as large as the buffer: fits the emptied buffer
    EXPECT_EQ(batch_test::ReadFileBytes(path), want);
    writer.Write("123456789", 9);  // larger: spills the buffer, then goes straight through
    want += "12345678123456789";
    EXPECT_EQ(batch_test::ReadFileBytes(path), want);
    writer.Flush();
    file.Close();
    EXPECT_EQ(batch_test::ReadFileBytes(path), want);
}

TEST(FileFullDisk, AFailedFlushIsNotRetried) {
    CFile file;
    ASSERT_TRUE(file.Open("/dev/full", CFile::modeCreate | CFile::modeWrite));
    FileWriter writer(file, 16);
    writer.Write("abc", 3);
    EXPECT_THROW(writer.Flush(), CFileException);
    EXPECT_NO_THROW(writer.Flush()) << "the lost bytes must not be written again";
    writer.Write("de", 2);
    EXPECT_THROW(writer.Flush(), CFileException) << "new bytes are written (and fail) again";
}

TEST(FileFullDisk, ShortWriteIsDiskFull) {
    CFile file;
    ASSERT_TRUE(file.Open("/dev/full", CFile::modeCreate | CFile::modeWrite));
    FileWriter writer(file);
    writer.Write("abc", 3);  // only buffered: no failure yet
    try {
        writer.Flush();
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(e.m_strFileName, "/dev/full");
        EXPECT_EQ(e.GetErrorMessage(), Sj("/dev/full へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"));
    }
    EXPECT_THROW(file.Write("x", 1), CFileException);
}

TEST(FileDirectory, MakeDirectoryOneLevel) {
    TempDir base;
    EXPECT_TRUE(MakeDirectory(base / "a"));
    EXPECT_FALSE(MakeDirectory(base / "a")) << "exists already";
    EXPECT_FALSE(MakeDirectory(base / "x/y")) << "only one level";
}

}  // namespace
