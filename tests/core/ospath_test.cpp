// The system boundary for names: the conversion both ways, and the program's files under
// Japanese folder names through the real file layer.
#include "platform/OsPath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fake/TestText.h"
#include "platform/File.h"
#include "platform/Paths.h"

namespace {

// A fresh folder, removed with its contents at the end.
struct Tmp {
    std::string dir;
    Tmp() {
        std::string t = (std::filesystem::temp_directory_path() / "pomvex-os-XXXXXX").string();
        dir = mkdtemp(t.data()) ? t : "";
    }
    ~Tmp() { std::filesystem::remove_all(dir); }
    const std::string& path() const { return dir; }
};

TEST(OsPath, ConversionBothWays) {
    struct Row {
        const char* what;
        std::string system;     // UTF-8 bytes as the file system holds them
        bool hasCp932;          // FromSystem gives text, ToSystem gives the bytes back
        const char* displayed;  // Displayable, as UTF-8 for reading
    };
    const Row rows[] = {
        {"kana", "/home/ユーザー/ひらがな", true, "/home/ユーザー/ひらがな"},
        {"kanji", "/home/田中/ドキュメント/表.txt", true, "/home/田中/ドキュメント/表.txt"},
        {"half-width katakana", "/tmp/ﾃｽﾄ.bin", true, "/tmp/ﾃｽﾄ.bin"},
        {"fullwidth tilde", "/tmp/a～b", true, "/tmp/a～b"},
        {"no CP932 form", "/home/jos\xC3\xA9", false, "/home/jos<U+00E9>"},
        {"not UTF-8", "/tmp/\x93\xFA.txt", false, "/tmp/<0x93><0xFA>.txt"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        auto text = ospath::FromSystem(r.system);
        EXPECT_EQ(text.has_value(), r.hasCp932);
        if (text) {
            EXPECT_EQ(ospath::ToSystem(*text), r.system);
        }
        EXPECT_EQ(Readable(ospath::Displayable(r.system)), r.displayed);
    }
    // CP932 text that is not CP932 never reaches the system.
    EXPECT_FALSE(ospath::TryToSystem("\x81").has_value());
    EXPECT_THROW(ospath::ToSystem("\x81"), CFileException);
}

TEST(OsPath, OwnFilesAndListsUnderJapaneseFolders) {
    Tmp tmp;
    ASSERT_FALSE(tmp.path().empty());
    const std::string home = tmp.path() + "/ユーザー/Pomvex";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(tmp.path() + "/ドキュメント");
    setenv("POMVEX_HOME", home.c_str(), 1);
    EXPECT_EQ(Readable(paths::ProgramFolder()), home);

    // A list file written and read back under its Japanese name, through CP932 text.
    const std::string list = *ospath::FromSystem(tmp.path() + "/ドキュメント/リスト.txt");
    CFile out;
    ASSERT_TRUE(out.Open(list, CFile::modeCreate | CFile::modeWrite));
    out.Write("a\r\n", 3);
    out.Close();
    EXPECT_TRUE(std::filesystem::exists(tmp.path() + "/ドキュメント/リスト.txt"));

    // The program's own files work in a folder whose name has no CP932 form; the text form
    // tells which folder and what to do.
    const std::string odd = tmp.path() + "/jos\xC3\xA9";
    std::filesystem::create_directories(odd);
    setenv("POMVEX_HOME", odd.c_str(), 1);
    CFile own;
    EXPECT_TRUE(own.OpenOnSystem(paths::InProgramFolderOnSystem("Pomvex.log"),
                                 CFile::modeCreate | CFile::modeWrite));
    own.Close();
    EXPECT_TRUE(std::filesystem::exists(odd + "/Pomvex.log"));
    try {
        paths::ProgramFolder();
        ADD_FAILURE() << "no CP932 form, yet text";
    } catch (const CTextException& e) {
        EXPECT_NE(Readable(e.GetErrorMessage()).find("jos<U+00E9> の名前には"), std::string::npos)
            << Readable(e.GetErrorMessage());
        EXPECT_NE(e.GetErrorMessage().find("POMVEX_HOME"), std::string::npos);
    }
    unsetenv("POMVEX_HOME");
}

}  // namespace
