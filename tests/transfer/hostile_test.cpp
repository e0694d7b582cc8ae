// What a server, a URL, a list file and the save folder can hold, against the real save route,
// the curl layer and a server started here on 127.0.0.1: each row does one hostile thing and
// tells what came of it. A FIFO that blocked an open would stop the run: an alarm ends it then.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "fake/TestText.h"
#include "platform/FileMark.h"
#include "platform/Paths.h"
#include "platform/ReplaceFile.h"
#include "platform/curl/CurlInternet.h"
#include "transfer/BatchNames.h"
#include "transfer/LocalServers.h"
#include "transfer/LogUrl.h"
#include "transfer/SaveRoute.h"

namespace {

namespace fs = std::filesystem;

struct World {
    testsrv::TempDir save, outside, served;
    testsrv::ServerProcess server{"fault_server.py", {"http", served.path()}};
    CurlInternetClient client;
    std::unique_ptr<CInternetSession> session = client.OpenSession("My Session");

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(server.port()) + path;
    }
    // A message with the save folder's path written as <save>.
    std::string Shown(const std::string& cp932) const {
        std::string s = Readable(cp932);
        const size_t at = s.find(save.path());
        return at == std::string::npos ? s : s.replace(at, save.path().size(), "<save>");
    }
    // The failure of opening `url`: its reason, else its text; "opened" when nothing failed.
    std::string Open(const std::string& url) {
        try {
            session->OpenURL(url);
            return "opened";
        } catch (const CInternetException& e) {
            return Shown(e.m_strReason.empty() ? e.GetErrorMessage() : e.m_strReason);
        } catch (const CFileException& e) {
            return Shown(e.GetErrorMessage());
        }
    }
    // Writes "new" to `target` (CP932) the way a download of `url` does; the refusal, else "".
    std::string Download(const std::string& target, const std::string& url) {
        const SaveRoute route = PlanSave(target, url);
        CFile out, guard;
        CFileException error(CFileException::none, "");
        if (!OpenSaveFile(route, 0, out, guard, &error)) return Shown(error.GetErrorMessage());
        MarkPartial(route, url, "validator");
        partial = ReadPartialMark(route.writePath);
        out.Write("new", 3);
        out.Close();
        CompleteSave(route, url, "");
        return "";
    }
    // Download as `name` in the save folder: the refusal, else the marks and what the name and
    // the file `victim` outside the folder hold afterwards.
    std::string Save(const std::string& name, const std::string& url, const char* victim = "v") {
        if (std::string refused = Download(save / name, url); !refused.empty()) return refused;
        // Appended piece by piece: g++ 12 reports a false -Wrestrict for "..." + std::string.
        std::string told = "partial ";
        told += partial ? partial->url : "-";
        told += ", origin " + filemark::Get(save / name, "user.xdg.origin.url").value_or("-");
        told += ", " + name + (fs::is_symlink(save / name) ? " link " : " ");
        told += testsrv::ReadBytes(save / name) + ", " + victim + " ";
        return told + testsrv::ReadBytes(outside / victim);
    }
    // Download of a name (UTF-8) into a fresh folder, over an old file when `old`: each name on
    // disk with what it holds.
    std::string SaveLong(const std::string& utf8, bool old) {
        const std::string folder = save / "long";
        fs::remove_all(folder);
        fs::create_directory(folder);
        const std::string target = JoinSavePath(folder, Sj(utf8.c_str()));
        if (old) testsrv::WriteBytes(Readable(target), "old");
        std::string told = Download(target, "http://h/x");
        for (const auto& e : fs::directory_iterator(folder))
            told += e.path().filename().string() + ": " + testsrv::ReadBytes(e.path());
        return told;
    }
    std::optional<PartialMark> partial;  // of the last Download
};

World& W() {
    static World world;
    return world;
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes)
        hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

struct Row {
    const char* name;
    std::string input;
    std::function<std::string(const std::string&)> run;
    std::string want;
};

const auto kLog = [](const std::string& url) { return UrlForLog(url); };
const auto kMarks = [](const std::string& url) { return W().Save("marked.bin", url); };
const auto kPhrase = [](const std::string& p) {
    return W().Open(W().Url("/phrase/503/" + Hex(p)));
};
const auto kLinkTo = [](const std::string& victim) {
    fs::remove(W().save / "linked.bin");
    fs::create_symlink(W().outside / victim, W().save / "linked.bin");
    return W().Save("linked.bin", "http://h/x.bin", victim.c_str());
};
// A FIFO that nobody opens at the other end: a blocking open would wait for ever.
std::string Fifo(const std::string& name) {
    mkfifo((W().save / name).c_str(), 0600);
    return W().save / name;
}
const auto kFifoTarget = [](const std::string& name) {
    Fifo(name);
    return W().Save(name, "http://h/x.bin");
};
const std::string kRefused = "<save>/fifo.bin へのｱｸｾｽは拒否されました。";
std::string Times(int n, const std::string& s) {
    std::string all;
    while (n-- > 0) all += s;
    return all;
}
const std::string k90Kanji = Times(90, "漢") + ".zip";   // 274 bytes in UTF-8, 184 in CP932
const std::string k252Bytes = Times(248, "a") + ".bin";  // fits; with ".part" it would not

const Row kRows[] = {
    {"OneSlashPasswordInTheLog", "http:/user:pw@host/x", kLog, "http:/user:*password*@host/x"},
    {"ThreeSlashPasswordInTheLog", "http:///user:pw@host/x", kLog,
     "http:///user:*password*@host/x"},
    {"OneSlashPasswordInTheMarks", "http:/user:pw@h/x", kMarks,
     "partial http:/user@h/x, origin http:/h/x, marked.bin new, v <missing>"},
    {"ThreeSlashPasswordInTheMarks", "http:///user:pw@h/x", kMarks,
     "partial http:///user@h/x, origin http:///h/x, marked.bin new, v <missing>"},
    {"PhraseWithEscape", "Bad\x1b[2J\x1b]0;owned\x07", kPhrase, "HTTP 503 Bad [2J ]0;owned "},
    {"PhraseWithBell", "Ring\x07\x07", kPhrase, "HTTP 503 Ring  "},
    {"PhraseWithBareCr", "Busy\rCLOCK   DL", kPhrase, "HTTP 503 Busy CLOCK   DL"},
    {"PhraseNotCp932", "Busy \x85\x40\xFF\x82", kPhrase, "HTTP 503 Busy ???"},
    {"LinkToAFileOutside", "victim.txt", kLinkTo,
     "partial http://h/x.bin, origin http://h/x.bin, linked.bin new, victim.txt untouched"},
    {"DanglingLink", "nothing.txt", kLinkTo,
     "partial http://h/x.bin, origin http://h/x.bin, linked.bin new, nothing.txt <missing>"},
    {"FifoAtTheTargetName", "fifo.bin", kFifoTarget, kRefused},
    {"FileUrlNamingAFifo", "fifo.bin",
     [](const std::string& name) { return W().Open("file://" + Fifo(name)); }, kRefused},
    {"ListFileThatIsAFifo", "fifo.bin",
     [](const std::string& name) {
         CFile list;
         CFileException error(CFileException::none, "");
         const bool opened = list.Open(Fifo(name), CFile::modeRead | CFile::shareExclusive, &error);
         return opened ? "opened" : W().Shown(error.GetErrorMessage());
     },
     kRefused},
    {"NulInAUrl", std::string("/files/x.bin\0.txt", 17),
     [](const std::string& path) { return W().Open(W().Url(path)); },
     "URL: Malformed input to a URL function"},
    {"NewLogIsTheUsersOnly", "Pomvex.log",
     [](const std::string& name) {
         ReplaceFileContents(W().save / name, "log");
         struct stat st {};
         stat((W().save / name).c_str(), &st);
         return (st.st_mode & 0777) == 0600 ? "0600" : std::to_string(st.st_mode & 0777);
     },
     "0600"},
    {"NinetyKanjiName", k90Kanji, [](const std::string& n) { return W().SaveLong(n, false); },
     Times(83, "漢") + ".zip: new"},
    {"NameThatOnlyThePartSuffixPushesOver", k252Bytes,
     [](const std::string& n) { return W().SaveLong(n, true); }, k252Bytes + ": new"},
    {"NumberedNameKeepsItsNumber", k252Bytes,
     [](const std::string& n) {
         BatchTargets written;
         written.Written(1, JoinSavePath(W().save.path(), n), 1);
         return written.NameFor(1, W().save.path(), n, 2);
     },
     Times(247, "a") + " (2).bin"},
    {"ProgramFolderOthersMayWriteTo", "shared",
     [](const std::string& name) {
         mkdir((W().save / name).c_str(), 0700);
         chmod((W().save / name).c_str(), 0777);
         setenv("POMVEX_HOME", (W().save / name).c_str(), 1);
         const bool refused = paths::ProgramFolderProblem().has_value();
         unsetenv("POMVEX_HOME");
         return refused ? "refused" : "used";
     },
     "refused"},
};

class Hostile : public testing::TestWithParam<Row> {};

TEST_P(Hostile, NothingLeaksNothingIsObeyedNothingWaits) {
    const Row& r = GetParam();
    testsrv::ClearProxyEnvironment();
    testsrv::WriteBytes(W().served / "x.bin", std::string(2000, 'x'));
    testsrv::WriteBytes(W().outside / "victim.txt", "untouched");
    alarm(20);
    const std::string got = r.run(r.input);
    alarm(0);
    EXPECT_EQ(got, r.want) << "input: " << Readable(r.input);
}

INSTANTIATE_TEST_SUITE_P(Rows, Hostile, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
