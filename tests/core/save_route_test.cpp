// Where a download writes and what it may continue: the route over every state the target and
// its .part can be in, the URL the marks hold, and marks on a file system that takes none.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "batch_support.h"
#include "fake/TestText.h"
#include "platform/FileMark.h"
#include "transfer/SaveRoute.h"
#include "transfer/UrlCredentials.h"

namespace {

TEST(UrlCredentials, UserInfoIsLeftOutOfTheAuthorityOnly) {
    struct Row {
        std::string url, origin, mark;  // mark: the password alone left out
    };
    const Row rows[] = {
        {"http://user:pw@host/a.bin", "http://host/a.bin", "http://user@host/a.bin"},
        {"ftp://user@host:21/a", "ftp://host:21/a", "ftp://user@host:21/a"},
        {"http://u:p@ss@host/", "http://host/", "http://u@host/"},  // the host follows the last @
        {"http://u:p@host?q=a@b", "http://host?q=a@b", "http://u@host?q=a@b"},
        {"http://host/a@b:c", "http://host/a@b:c", "http://host/a@b:c"},
        {"http://host", "http://host", "http://host"},
        {"mailto:a@b", "mailto:a@b", "mailto:a@b"},
        // In CP932 "ァ" is 83 40: its second byte is an '@'.
        {Sj("http://ァ:ァ@ホスト/データー.txt"), "http://ホスト/データー.txt",
         "http://ァ@ホスト/データー.txt"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(UrlWithoutCredentials(r.url, false).value_or("<none>"), r.origin)
            << Readable(r.url);
        EXPECT_EQ(UrlWithoutCredentials(r.url, true).value_or("<none>"), r.mark) << Readable(r.url);
    }
    EXPECT_EQ(UrlWithoutCredentials("http://host/\x81", false), std::nullopt) << "not CP932";
}

TEST(FileMark, MarksRoundTripAndFailSilentlyWhereNoneCanBeStored) {
    TempDir tmp;
    const std::string file = Sj(tmp.path().c_str()) + Sj("/印.bin");
    batch_test::WriteFileBytes(tmp / "印.bin", "x");
    EXPECT_TRUE(filemark::Set(file, "user.t", std::string("a\0b", 3)));
    EXPECT_EQ(filemark::Get(file, "user.t"), std::string("a\0b", 3));
    filemark::Remove(file, "user.t");
    EXPECT_EQ(filemark::Get(file, "user.t"), std::nullopt);
    // A device takes no user attributes; a missing file and a name with no CP932 form none.
    for (const std::string& path : {std::string("/dev/null"), tmp / "gone", file + "\x81"}) {
        EXPECT_FALSE(filemark::Set(path, "user.t", "v")) << path;
        EXPECT_EQ(filemark::Get(path, "user.t"), std::nullopt) << path;
        filemark::Remove(path, "user.t");
    }
}

// One table over the target, its .part and their marks.
TEST(SaveRoute, PlanOverEveryStateOfTargetAndPart) {
    enum State { missing, plain, markedHere, markedElsewhere, markedNoValidator, folder };
    struct Row {
        const char* name;
        State target, part;
        std::string url;
        bool toPart, guards, marks;
        int64_t resume;  // 0: none
    };
    const std::string here = "http://u:pw@h/f.bin";
    const Row rows[] = {
        {"new name: in place", missing, missing, here, false, false, true, 0},
        {"existing file: replaced through .part", plain, missing, here, true, true, true, 0},
        {"existing file, .part of this URL: continued", plain, markedHere, here, true, true, true,
         300},
        {"existing file, .part of another URL: new", plain, markedElsewhere, here, true, true, true,
         0},
        {"existing file, .part without validator", plain, markedNoValidator, here, true, true, true,
         0},
        {"existing file, folder named .part", plain, folder, here, true, true, true, 0},
        {"partial target of this URL: continued in place", markedHere, markedHere, here, false,
         false, true, 200},
        {"partial target of another URL: in place", markedElsewhere, missing, here, false, false,
         true, 0},
        {"old file gone, .part of this URL: continued", missing, markedHere, here, true, false,
         true, 300},
        {"old file gone, .part of another URL: in place", missing, markedElsewhere, here, false,
         false, true, 0},
        {"another password, the same user: continued", markedHere, missing,
         "http://u:other@h/f.bin", false, false, true, 200},
        {"another user: not continued", markedHere, missing, "http://v:pw@h/f.bin", false, false,
         true, 0},
        {"target is a folder: in place, unmarked", folder, markedHere, here, false, false, false,
         0},
        {"gopher: from byte 0", markedHere, missing, "gopher://h/f.bin", false, false, true, 0},
        {"file: from byte 0", markedHere, missing, "FILE:///h/f.bin", false, false, true, 0},
    };
    TempDir tmp;
    const std::string dir = tmp.path();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        batch_test::RemoveTree(dir);
        ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
        const std::string target = dir + "/f.bin", part = target + ".part";
        auto make = [&](const std::string& path, State s, size_t size) {
            if (s == missing) return;
            if (s == folder) {
                mkdir(path.c_str(), 0700);
                return;
            }
            batch_test::WriteFileBytes(path, std::string(size, 'b'));
            if (s == plain) return;
            SaveRoute mark;
            mark.writePath = path;
            mark.marks = true;
            // gopher and file: rows find a mark of their own URL and must still refuse it.
            const bool always = r.url.starts_with("gopher") || r.url.starts_with("FILE");
            const std::string markUrl = s == markedElsewhere ? "http://u:pw@h/other.bin"
                                        : always             ? r.url
                                                             : here;
            MarkPartial(mark, markUrl, s == markedNoValidator ? "" : "\"etag\" 1000");
        };
        make(target, r.target, 200);
        make(part, r.part, 300);
        SaveRoute route = PlanSave(target, r.url);
        EXPECT_EQ(route.target, target);
        EXPECT_EQ(route.writePath, r.toPart ? part : target);
        EXPECT_EQ(route.guardsTarget, r.guards);
        EXPECT_EQ(route.marks, r.marks);
        EXPECT_EQ(route.resume ? route.resume->offset : 0, r.resume);
        if (route.resume) {
            EXPECT_EQ(route.resume->validator, "\"etag\" 1000");
        }
    }
}

}  // namespace
