#include "resources/Strings.h"

#include <map>
#include <mutex>
#include <stdexcept>

#include "resources/Text.h"

namespace {

struct Entry {
    Sid id;
    const char* utf8;
};

// Half-width katakana stay half-width where the program's texts have them.
constexpr Entry kTable[] = {
    {Sid::IDS_ABOUTBOX, "Pomvex のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
    {Sid::IDS_PROGRESS_CAPTION, "Pomvex"},
    {Sid::PlaceholderLine1, "ここにダウンロードするURLリストを編集してください"},
    {Sid::PlaceholderLine2, "例"},
    {Sid::PlaceholderExampleUrl, "http://www.example.com/files/archive.lzh"},
    {Sid::LogPlaceholder, "LOGを表示します\r\n"},
    {Sid::LengthLimit, "%1 文字以内で入力してください。"},
    {Sid::CommandFailure, "ｺﾏﾝﾄﾞの実行に失敗しました。"},
    {Sid::OutOfMemory, "ﾒﾓﾘが不足しています。"},
    {Sid::TextNotCp932, "Shift-JIS (CP932) で表せない文字が含まれています。その文字を直してからやり直してください。"},
    {Sid::Untitled, "無題のﾌｧｲﾙ"},
    {Sid::AlreadyRunning,
     "このプログラムは、フォルダ %1 ですでに動いています。\r\n"
     "同じフォルダで 2 つ同時には動かせません。別に動かすときは、環境変数 POMVEX_HOME に別のフォルダを指定して起動してください。"},
    {Sid::ConfirmEnd, "%1です。終了しますか?"},
    {Sid::ButtonYes, "はい(&Y)"},
    {Sid::ButtonNo, "いいえ(&N)"},
    {Sid::NoDisplay,
     "pomvex: 画面に接続できないため起動できません (DISPLAY も WAYLAND_DISPLAY も使えません)。"
     "デスクトップから起動するか、xvfb-run -a pomvex で起動してください。 / "
     "pomvex: cannot start: no display to show its window on (neither DISPLAY nor "
     "WAYLAND_DISPLAY can be reached); start it from a desktop session, or headless with: "
     "xvfb-run -a pomvex"},
    {static_cast<Sid>(300), "ｴﾗｰはありませんでした。"},
    {static_cast<Sid>(301), "%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。"},
    {static_cast<Sid>(302), "%1 が見つかりませんでした。"},
    {static_cast<Sid>(303), "%1 には無効なﾊﾟｽが含まれています。"},
    {static_cast<Sid>(304), "開いているﾌｧｲﾙが多すぎるため、%1 を開けませんでした。"},
    {static_cast<Sid>(305), "%1 へのｱｸｾｽは拒否されました。"},
    {static_cast<Sid>(306), "%1 へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。"},
    {static_cast<Sid>(307), "現在のﾃﾞｨﾚｸﾄﾘ %1 は削除できませんでした。"},
    {static_cast<Sid>(308), "%1 を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。"},
    {static_cast<Sid>(309), "%1 のｼｰｸに失敗しました。"},
    {static_cast<Sid>(310), "%1 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。"},
    {static_cast<Sid>(311), "%1 へのｱｸｾｽ中に共有違反が発生しました。"},
    {static_cast<Sid>(312), "%1 へのｱｸｾｽ中にﾛｯｸ違反が発生しました。"},
    {static_cast<Sid>(313), "%1 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
    {static_cast<Sid>(314), "%1 の末尾以降にｱｸｾｽしようとしました。"},
    {Sid::InternalFailure, "ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。"},

    {Sid::ClockFormat, "%m月%d日　 %H:%M:%S"},
    {Sid::StateArmed, "タイマー作動中"},
    {Sid::StateTimerOff, "タイマー　OFF"},
    {Sid::StateDownloading, "ダウンロード中"},
    {Sid::StateChecking, "チェック中"},
    {Sid::LogConnectFailed, "接続に失敗しました\r\n"},
    {Sid::LogTimeOver, "タイムオーバーにより終了しました\r\n"},
    {Sid::LogAborted, "中止しました\r\n"},
    {Sid::TempCreateFailed, "tempファイルを作成できませんでした"},
    {Sid::TempReadFailed, "tempファイルをReadできませんでした"},
    {Sid::FileCreateFailed, "ファイルを作成できませんでした"},
    {Sid::LogEndedFromOutside, "システムの終了要求により終了しました\r\n"},
    {Sid::LogRoundStart, "%1   %2秒後に再試行 %3回目を開始します (URL %4件)\r\n"},

    {Sid::SessionAgent, "My Session"},
    {Sid::LogWillDownload, "をDLします\r\n"},
    {Sid::LogRefused, "要求された URL がないか、1Kバイト以下のファイルです\r\nファイルをDLできませんでした\r\n"},
    {Sid::LogSaveTo, "保存先 "},
    {Sid::LogDoneSeparator, "   "},
    {Sid::LogDownloadDone, "DL終了しました\r\n"},
    {Sid::LogCreateFailed, "ファイルを作成できませんでした\r\n"},
    {Sid::LogIoFailed, "ファイル入出力に失敗しました\r\n"},
    {Sid::ProgressDownloading, "ファイルをダウンロードしています"},
    {Sid::ProgressSaving, " を保存中   "},
    {Sid::ProgressBytes, "バイト"},
    {Sid::LogWillCheck, "をチェックします\r\n"},
    {Sid::LogFileSize, "ファイルサイズ"},
    {Sid::LogBytesEol, "バイト\r\n"},
    {Sid::LogCheckDone, " をチェック終了しました\r\n"},
    {Sid::LogReason, "理由 %1\r\n"},
    {Sid::LogAnnouncedSize, "サーバーが示したサイズ%1バイト\r\n"},

    {Sid::ListFileName, "Pomvex.txt"},
    {Sid::FileFilterAll, "全ﾌｧｲﾙ (*.*)"},
    {Sid::SerialEnterInteger, "整数を入力してください。"},
    {Sid::SerialRange, "%1 から %2 までの整数を入力してください。"},
    {Sid::ListLineNotCp932,
     "リストの %1 行目に、Shift-JIS (CP932) で表せない文字が含まれています。\r\n%2\r\n"
     "その文字を直してから、もう一度開いてください。"},

    {Sid::NetErrorWithLibraryText, "%1 (%2)"},
    {Sid::NetHostNotFound, "ｻｰﾊﾞｰが見つかりませんでした。URL のﾎｽﾄ名を確かめてください。"},
    {Sid::NetProxyNotFound, "ﾌﾟﾛｷｼ ｻｰﾊﾞｰが見つかりませんでした。ﾌﾟﾛｷｼの設定を確かめてください。"},
    {Sid::NetConnectRefused, "ｻｰﾊﾞｰに接続できませんでした。接続が拒否されました。"},
    {Sid::NetTimedOut, "ｻｰﾊﾞｰからの応答がないまま時間切れになりました。"},
    {Sid::NetTransferCut, "転送が途中で切れました。ﾌｧｲﾙは最後まで届いていません。"},
    {Sid::NetCertUntrusted, "ｻｰﾊﾞｰの証明書を信頼できません。発行元が確認できませんでした。"},
    {Sid::NetCertNameMismatch, "ｻｰﾊﾞｰの証明書の名前が接続先のﾎｽﾄ名と一致しません。"},
    {Sid::NetCertExpired, "ｻｰﾊﾞｰの証明書の有効期限が切れています。"},
    {Sid::NetTooManyRedirects, "転送先の指定 (ﾘﾀﾞｲﾚｸﾄ) が多すぎます。"},
    {Sid::NetLoginRefused, "ｻｰﾊﾞｰがﾛｸﾞｲﾝを拒否しました。ﾕｰｻﾞｰ名とﾊﾟｽﾜｰﾄﾞを確かめてください。"},
    {Sid::NetFtpFileNotFound, "FTP ｻｰﾊﾞｰにそのﾌｧｲﾙがありません。"},
    {Sid::NetProxyRefused, "ﾌﾟﾛｷｼ ｻｰﾊﾞｰが接続を拒否しました。"},
    {Sid::NetCrawling, "ﾃﾞｰﾀがほとんど届かないため転送を打ち切りました。"},
    {Sid::FolderNotShowable,
     "フォルダ %1 の名前には、このプログラムで表示できない文字があります。\r\n"
     "保存場所にフォルダを入力するか、環境変数 POMVEX_HOME に別のフォルダを指定して起動しなおしてください。"},
    {Sid::ChosenNameNotShowable,
     "%1 の名前には、このプログラムで表示できない文字があります。\r\n"
     "別の名前のファイルかフォルダを選んでください。"},
    {Sid::ProgramFolderNotOwn,
     "フォルダ %1 はほかのユーザーのものなので、このプログラムのフォルダには使えません。\r\n"
     "環境変数 POMVEX_HOME に自分のフォルダを指定して起動しなおしてください。"},
    {Sid::ProgramFolderShared,
     "フォルダ %1 にはほかのユーザーも書き込めるので、このプログラムのフォルダには使えません。\r\n"
     "ほかのユーザーが書き込めないようにする (chmod go-w %1) か、環境変数 POMVEX_HOME に別のフォルダを指定して起動しなおしてください。"},
    {Sid::SleepWhyScheduled, "予約したダウンロードの開始を待っています"},
    {Sid::SleepWhyDownloading, "ダウンロード中です"},
    {Sid::SleepWhyChecking, "リストチェック中です"},
    {Sid::NoticeDownload, "ダウンロード"},
    {Sid::NoticeCheck, "リストチェック"},
    {Sid::NoticeEnded, "%1が終わりました"},
    {Sid::NoticeTimeOver, "タイムオーバーにより%1を終了しました"},
    {Sid::NoticeDownloadTally, "開始 %1件、DL終了 %2件、未完了 %3件"},
    {Sid::NoticeCheckTally, "開始 %1件、チェック終了 %2件、未完了 %3件"},
    {Sid::LogResumeFrom, "%1バイトから続きをDLします\r\n"},
    {Sid::LogUpToDate, "更新されていないのでDLしませんでした\r\n"},
    {Sid::LogHiddenPassword, "*password*"},
    {Sid::NameUrlList, "URLリスト"},
    {Sid::NameLog, "ログ"},
    {Sid::NameClock, "現在時刻"},
    {Sid::NameState, "状態"},
    {Sid::NameSerialPrefix, "番号の前の文字"},
    {Sid::NameSerialFrom, "最初の番号"},
    {Sid::NameSerialTo, "最後の番号"},
    {Sid::NameSerialSuffix, "番号の後の文字"},
    {Sid::NameProgressStatus, "ダウンロードの状況"},
    {Sid::NameRateBar, "転送速度 (バイト/秒)"},
    {Sid::UsageJa,
     "使い方: pomvex [オプション] [URL | リストファイル]...\n"
     "URL はそれぞれリストの 1 行に、既存のファイルはリストファイルとして読み込みます。\n"
     "すでに同じフォルダで動いている Pomvex があれば、そのリストの末尾に加えます。\n"
     "\n"
     "  --get               すぐにダウンロードを始めます (「Get」と同じ)\n"
     "  --check             すぐにリストチェックを始めます (「リストチェック」と同じ)\n"
     "  --limit-rate N[k|m] ダウンロードの速度を N バイト/秒までにします (k: 1024 倍, m: 1048576 倍)\n"
     "  --help              この説明を表示して終了します\n"
     "  --version           バージョンを表示して終了します\n"},
    {Sid::UsageEn,
     "Usage: pomvex [OPTION]... [URL | LISTFILE]...\n"
     "Each URL becomes a line of the list; each existing file is read as a list file.\n"
     "When Pomvex already runs on the same folder, they are added to the end of its list.\n"
     "\n"
     "  --get               start downloading at once (as \"Get\" does)\n"
     "  --check             start a list check at once (as \"リストチェック\" does)\n"
     "  --limit-rate N[k|m] download at most N bytes a second (k: times 1024, m: times 1048576)\n"
     "  --help              print this help and exit\n"
     "  --version           print the version and exit\n"},
    {Sid::VersionLine, "Pomvex 1.0.0\n"},
    {Sid::UnknownOptionJa, "pomvex: %1 というオプションはありません (pomvex --help で一覧を表示します)\n"},
    {Sid::UnknownOptionEn, "pomvex: unknown option %1 (pomvex --help lists them)\n"},
    {Sid::BadOptionValueJa, "pomvex: %1 の値 '%2' は使えません (pomvex --help を参照してください)\n"},
    {Sid::BadOptionValueEn, "pomvex: invalid value '%2' for %1 (see pomvex --help)\n"},
    {Sid::ItemNotFound,
     "%1 というファイルはありません。URL は http:// などから書いてください。"},
    {Sid::NameRateLimit, "速度制限 (KB/秒)"},
    {Sid::RateLimitInvalid, "速度制限には 0 以上の整数 (KB/秒) を入力してください。空欄か 0 で制限なしになります。"},
};

const Entry* Find(Sid id) {
    for (const Entry& e : kTable)
        if (e.id == id) return &e;
    return nullptr;
}

}  // namespace

std::string_view StrUtf8(Sid id) {
    const Entry* e = Find(id);
    return e ? std::string_view(e->utf8) : std::string_view();
}

const std::string& Str(Sid id) {
    static std::mutex lock;
    static std::map<Sid, std::string> cache;
    std::lock_guard<std::mutex> guard(lock);
    auto it = cache.find(id);
    if (it != cache.end()) return it->second;
    const Entry* e = Find(id);
    if (!e) throw std::logic_error("string table has no entry " + std::to_string(static_cast<int>(id)));
    auto bytes = text::Utf8ToCp932(e->utf8);
    if (!bytes) throw std::logic_error("string table entry has no CP932 form: " + std::string(e->utf8));
    return cache.emplace(id, std::move(*bytes)).first->second;
}

std::string FormatStr(Sid id, std::initializer_list<std::string_view> args) {
    const std::string& pattern = Str(id);
    std::string out;
    out.reserve(pattern.size() + 64);
    for (size_t i = 0; i < pattern.size(); ++i) {
        // '%' is never a CP932 trail byte, so a byte-wise scan is safe.
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            size_t n = static_cast<size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                out.append(*(args.begin() + n));
                ++i;
                continue;
            }
        }
        out.push_back(pattern[i]);
    }
    return out;
}
