// What a server, a URL, a list file and the save folder can hold, against the real save route,
// the curl layer and a server started here on 127.0.0.1: each row does one hostile thing and
// tells what came of it. An open that blocked would stop the run: an alarm ends it then.
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
#include "transfer/JobOutcome.h"
#include "transfer/LocalServers.h"
#include "transfer/LogUrl.h"
#include "transfer/SaveRoute.h"

namespace {

namespace fs = std::filesystem;
using testsrv::ReadBytes;

struct World {
    testsrv::TempDir save, outside;
    testsrv::ServerProcess server{"fault_server.py", {"http", outside.path()}};
    CurlInternetClient client;
    std::unique_ptr<CInternetSession> session = client.OpenSession({"My Session", {}});

    std::string Fresh() {  // the empty folder "f" in the save folder
        fs::remove_all(save / "f");
        fs::create_directory(save / "f");
        return save / "f";
    }
    // The reason opening `url` (a path: on the server) failed, or "opened".
    std::string Open(const std::string& url) try {
        session->OpenURL(
            url.starts_with("/") ? "http://127.0.0.1:" + std::to_string(server.port()) + url : url);
        return "opened";
    } catch (const CException& e) {
        return Readable(FailureOf(e).reason);
    }
    // Writes "new" to `target` (CP932) as a download of `url` does, over a link to `victim` when
    // named: the refusal, else the marks, each name in the folder with its bytes, the victim's.
    std::string Save(const std::string& target, const std::string& url, const char* victim = "") {
        if (*victim) fs::create_symlink(outside / victim, Readable(target));
        const SaveRoute route = PlanSave(target, url);
        CFile out, guard;
        CFileException error(CFileException::none, "");
        if (!OpenSaveFile(route, 0, out, guard, &error)) return Readable(error.GetErrorMessage());
        MarkPartial(route, url, "validator");
        std::string told = ReadPartialMark(route.writePath).value_or(PartialMark{"-", ""}).url;
        out.Write("new", 3);
        out.Close();
        CompleteSave(route, url, "");
        // Appended piece by piece: g++ 12 reports a false -Wrestrict for " " + std::string.
        told.append(" ").append(filemark::Get(route.target, "user.xdg.origin.url").value_or("-"));
        for (const auto& e : fs::directory_iterator(fs::path(Readable(target)).parent_path()))
            told.append(" ").append(e.path().filename().string() + ":" + ReadBytes(e.path()));
        return *victim ? told + " " + ReadBytes(outside / victim) : told;
    }
};

World& W() {
    static World world;
    return world;
}

// A FIFO that nobody opens at the other end, where a blocking open would wait for ever.
std::string Fifo() {
    mkfifo((W().save / "fifo").c_str(), 0600);
    return W().save / "fifo";
}
std::string Times(int n, const std::string& s) {
    return n > 0 ? s + Times(n - 1, s) : "";
}
const std::string k252Bytes = Times(248, "a") + ".bin";  // fits; with ".part" it would not

struct Row {
    const char* name;
    std::string input;
    std::function<std::string(const std::string&)> run;
    std::string want;  // "<fifo>" stands for Fifo()
};
void PrintTo(const Row& r, std::ostream* os) {
    *os << r.name;
}
using In = const std::string&;
const auto kLog = [](In url) { return UrlForLog(url); };
const auto kMarks = [](In url) { return W().Save(W().Fresh() + "/x", url); };
const auto kLink = [](In victim) { return W().Save(W().Fresh() + "/x", "u", victim.c_str()); };
const auto kPhrase = [](In phrase) {
    std::string hex;
    for (unsigned char c : phrase)
        hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return W().Open("/phrase/503/" + hex);
};
const std::string kRefused = "<fifo> へのｱｸｾｽは拒否されました。";

const Row kRows[] = {
    {"OneSlashPasswordInTheLog", "http:/user:pw@h/x", kLog, "http:/user:*password*@h/x"},
    {"ThreeSlashPasswordInTheLog", "http:///user:pw@h/x", kLog, "http:///user:*password*@h/x"},
    {"OneSlashPasswordInTheMarks", "http:/user:pw@h/x", kMarks, "http:/user@h/x http:/h/x x:new"},
    {"ThreeSlashPasswordInTheMarks", "http:///u:pw@h/x", kMarks, "http:///u@h/x http:///h/x x:new"},
    {"PhraseWithEscapeBellAndBareCr", "Bad\x1b[2J\x07\rCLOCK", kPhrase, "HTTP 503 Bad [2J  CLOCK"},
    {"PhraseNotCp932", "Busy \x85\x40\xFF\x82", kPhrase, "HTTP 503 Busy ???"},
    {"LinkToAFileOutside", "victim", kLink, "u u x:new untouched"},
    {"DanglingLink", "nothing", kLink, "u u x:new <missing>"},
    {"FifoAtTheTargetName", "u", [](In url) { return W().Save(Fifo(), url); }, kRefused},
    {"FileUrlNamingAFifo", "file://", [](In url) { return W().Open(url + Fifo()); }, kRefused},
    {"ListFileThatIsAFifo", "",
     [](In) { return CFile().Open(Fifo(), CFile::modeRead) ? "opened" : "refused"; }, "refused"},
    {"NulInAUrl", std::string("/files/victim\0.txt", 18), [](In path) { return W().Open(path); },
     "URL: Malformed input to a URL function"},
    {"NinetyKanjiName", Times(90, "漢") + ".zip",
     [](In n) { return W().Save(JoinSavePath(W().Fresh(), Sj(n.c_str())), "u"); },
     "u u " + Times(83, "漢") + ".zip:new"},
    {"NameThatOnlyThePartSuffixPushesOver", k252Bytes,
     [](In n) { return W().Save(JoinSavePath(W().Fresh(), n), "u", "gone"); },
     "u u " + k252Bytes + ":new <missing>"},
    {"NumberedNameKeepsItsNumber", k252Bytes,
     [](In n) {
         BatchTargets written;
         written.Written(1, JoinSavePath(W().Fresh(), n), 1);
         return written.NameFor(1, W().save / "f", n, 2);
     },
     Times(247, "a") + " (2).bin"},
    {"NewLogIsTheUsersOnly", "/Pomvex.log",
     [](In name) {
         ReplaceFileContents(W().Fresh() + name, "log");
         return fs::status(W().save / "f" + name).permissions() == fs::perms(0600) ? "0600" : "?";
     },
     "0600"},
    {"ProgramFolderOthersMayWriteTo", "0777",
     [](In) {
         fs::permissions(W().Fresh(), fs::perms(0777));
         setenv("POMVEX_HOME", (W().save / "f").c_str(), 1);
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
    testsrv::WriteBytes(W().outside / "victim", "untouched");
    alarm(20);
    const std::string got = r.run(r.input);
    alarm(0);
    const std::string want = r.want.starts_with("<fifo>") ? Fifo() + r.want.substr(6) : r.want;
    EXPECT_EQ(got, want) << "input: " << Readable(r.input);
}

INSTANTIATE_TEST_SUITE_P(Rows, Hostile, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
