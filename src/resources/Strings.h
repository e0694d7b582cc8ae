// The string table: every fixed text the program shows, logs or writes. Held as UTF-8 in the
// source and handed out as CP932 bytes, converted once on first use.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

enum class Sid : int {
    None = 0,  // no string
    // Application shell
    IDS_ABOUTBOX = 101,
    IDS_PROGRESS_CAPTION = 105,
    PlaceholderLine1 = 200,
    PlaceholderLine2,
    PlaceholderExampleUrl,
    LogPlaceholder,
    LengthLimit,  // "%1 文字以内で入力してください。"
    CommandFailure,
    OutOfMemory,
    TextNotCp932,
    Untitled,  // "無題のﾌｧｲﾙ"
    AlreadyRunning,  // %1: the program folder, where another copy runs
    ConfirmEnd,  // "%1です。終了しますか?" (%1: the state line's words)
    ButtonYes,
    ButtonNo,
    NoDisplay,  // the one line on standard error when no window can be shown (Japanese, English)
    FileCause0 = 300,  // FileCause0 + cause, cause 0..14
    FileCause14 = 314,
    InternalFailure = 61704,  // "ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。"

    // Batch runner
    ClockFormat = 400,  // strftime pattern
    StateArmed,
    StateTimerOff,
    StateDownloading,
    StateChecking,
    LogConnectFailed,  // "接続に失敗しました\r\n"
    LogTimeOver,
    LogAborted,
    TempCreateFailed,
    TempReadFailed,
    FileCreateFailed,  // "ファイルを作成できませんでした" (box)
    LogEndedFromOutside,  // a logout, a shutdown or a kill ended the batch
    LogRoundStart,  // "%1   %2秒後に再試行 %3回目を開始します (URL %4件)\r\n" (%1: clock, %2: wait s)

    // Transfers
    SessionAgent = 500,
    LogWillDownload,  // "をDLします\r\n"
    LogRefused,
    LogSaveTo,  // "保存先 "
    LogDoneSeparator,  // "   "
    LogDownloadDone,  // "DL終了しました\r\n"
    LogCreateFailed,  // "ファイルを作成できませんでした\r\n"
    LogIoFailed,
    ProgressDownloading,
    ProgressSaving,  // " を保存中   "
    ProgressBytes,  // "バイト"
    LogWillCheck,
    LogFileSize,  // "ファイルサイズ"
    LogBytesEol,  // "バイト\r\n"
    LogCheckDone,
    LogReason,  // "理由 %1\r\n": the line after a job's failure line
    LogAnnouncedSize,  // "サーバーが示したサイズ%1バイト\r\n"

    // List editing
    ListFileName = 600,  // "Pomvex.txt"
    FileFilterAll,  // "全ﾌｧｲﾙ (*.*)"
    SerialEnterInteger,
    SerialRange,  // "%1 から %2 までの整数を入力してください。"
    ListLineNotCp932,  // %1: the line number of a UTF-8 list, %2: that line

    // The internet library's errors as a box shows them: ours, then the library's own text
    NetErrorWithLibraryText = 1000,  // "%1 (%2)"
    NetHostNotFound,
    NetProxyNotFound,
    NetConnectRefused,
    NetTimedOut,
    NetTransferCut,
    NetCertUntrusted,
    NetCertNameMismatch,
    NetCertExpired,
    NetTooManyRedirects,
    NetLoginRefused,
    NetFtpFileNotFound,
    NetProxyRefused,
    NetCrawling,
    // Names at the operating-system boundary
    FolderNotShowable = 700,  // %1: the program folder, unshowable parts as <U+XXXX>/<0xXX>
    ChosenNameNotShowable,  // %1: the name a file dialog returned
    ProgramFolderNotOwn,  // %1: the program folder, which belongs to another user
    ProgramFolderShared,  // %1: the program folder, which others than its owner may write to
    // Unattended runs: the sleep lock's reason and the end-of-batch notification
    SleepWhyScheduled = 800,
    SleepWhyDownloading,
    SleepWhyChecking,
    NoticeDownload,  // "ダウンロード" (the %1 of the titles)
    NoticeCheck,  // "リストチェック"
    NoticeEnded,  // "%1が終わりました"
    NoticeTimeOver,  // "タイムオーバーにより%1を終了しました"
    NoticeDownloadTally,  // "開始 %1件、DL終了 %2件、未完了 %3件"
    NoticeCheckTally,  // "開始 %1件、チェック終了 %2件、未完了 %3件"
    // Continued downloads
    LogResumeFrom = 900,  // "%1バイトから続きをDLします\r\n" (%1: the bytes already on disk)
    // A re-download the server answered "unchanged"
    LogUpToDate = 950,  // "更新されていないのでDLしませんでした\r\n"
    // What the run log shows in place of a URL's password
    LogHiddenPassword = 1100,  // "*password*"
    // What a screen reader calls the controls that no label names
    NameUrlList = 1200,
    NameLog,
    NameClock,
    NameState,
    NameSerialPrefix,
    NameSerialFrom,
    NameSerialTo,
    NameSerialSuffix,
    NameProgressStatus,  // the progress window's status line while it is empty
    NameRateBar,  // the rate bar, and the rate's number while it is empty
    // The command line (printed in UTF-8 to a terminal, in the locale's language)
    UsageJa = 1300,  // --help, Japanese
    UsageEn,         // --help, English
    VersionLine,     // --version
    UnknownOptionJa,  // %1: the argument
    UnknownOptionEn,
    BadOptionValueJa,  // %1: the option, %2: its value
    BadOptionValueEn,
    ItemNotFound,  // %1: an argument that is neither an existing file nor a URL
    // The receive-speed cap
    NameRateLimit = 1350,  // the dialog's edit
    RateLimitInvalid,      // the box when the dialog's value is not a number of KB/s
};

// The CP932 bytes of string `id`. The reference stays valid for the life of the process.
const std::string& Str(Sid id);

// The UTF-8 source text of `id` (for the toolkit boundary and tests).
std::string_view StrUtf8(Sid id);

// Str(id) with %1, %2, ... replaced by args (CP932 bytes) in order.
std::string FormatStr(Sid id, std::initializer_list<std::string_view> args);
