#include "resources/Templates.h"

#include "resources/Resource.h"

namespace {

constexpr const char* kDialogFont = "ＭＳ Ｐゴシック";

constexpr ControlTemplate kMain[] = {
    {IDC_STATIC, Kind::Static, "URL", 14, 11, 14, 12, 0, IDC_URL},
    {IDC_URL, Kind::Edit, "", 29, 9, 314, 12, ReadOnly | Border | AutoHScroll},
    {IDC_LIST, Kind::MultiEdit, "", 14, 42, 329, 97,
     Border | VScroll | HScroll | AutoHScroll | AutoVScroll | WantReturn | TabStop, 0,
     Sid::NameUrlList},
    {IDC_STATIC, Kind::Static, "開始時刻", 103, 25, 29, 12, CenterV, IDC_MONTH},
    {IDC_STATIC, Kind::Static, "接続時間", 275, 25, 31, 12, CenterV, IDC_DURATION},
    {IDC_STATIC, Kind::Static, "時間", 328, 25, 15, 12, CenterV, IDC_DURATION},
    {IDC_STATIC, Kind::Static, "月", 155, 25, 8, 12, CenterV, IDC_MONTH},
    {IDC_STATIC, Kind::Static, "日", 185, 25, 8, 12, CenterV, IDC_DAY},
    {IDC_STATIC, Kind::Static, "時", 215, 25, 8, 12, CenterV, IDC_HOUR},
    {IDC_STATIC, Kind::Static, "分", 245, 25, 8, 12, CenterV, IDC_MINUTE},
    {IDC_GET, Kind::PushButton, "Get", 17, 257, 41, 14, TabStop},
    {IDC_GET_LATER, Kind::PushButton, "あとでGet", 65, 257, 41, 14, TabStop},
    {IDC_SAVE_DIR, Kind::Edit, "", 49, 240, 236, 12, Border | AutoHScroll | TabStop},
    {IDC_STATIC, Kind::Static, "保存場所", 15, 240, 28, 11, CenterV, IDC_SAVE_DIR},
    {IDC_OPEN_LIST, Kind::PushButton, "リストを開く", 254, 257, 41, 14, TabStop},
    {IDC_SAVE_LIST, Kind::PushButton, "リストを保存", 301, 257, 41, 14, TabStop},
    {IDC_NEXT, Kind::PushButton, "NEXT", 290, 241, 21, 12, TabStop},
    {IDC_MONTH, Kind::ComboDropDown, "", 132, 25, 23, 146, VScroll | TabStop},
    {IDC_DAY, Kind::ComboDropDown, "", 162, 25, 23, 251, VScroll | TabStop},
    {IDC_HOUR, Kind::ComboDropDown, "", 192, 25, 23, 224, VScroll | TabStop},
    {IDC_MINUTE, Kind::ComboDropDown, "", 222, 25, 23, 130, VScroll | TabStop},
    {IDC_DURATION, Kind::ComboDropDown, "", 305, 25, 23, 65, VScroll | TabStop},
    // The clock's Latin digits are wider in the stand-in face than in the face the layout was
    // measured in, while the dialog units (from the A..z average) are right for everything else.
    {IDC_CLOCK, Kind::Edit, "", 14, 25, 64, 12, ReadOnly | Border | FitText, 0, Sid::NameClock,
     "00月00日\u3000 00:00:00"},
    {IDC_LOG, Kind::MultiEdit, "", 14, 141, 329, 97,
     ReadOnly | Border | VScroll | HScroll | AutoHScroll | AutoVScroll | KeepsEnter | AppendsText,
     0, Sid::NameLog},
    {IDC_CHECK_LIST, Kind::PushButton, "リストチェック", 207, 257, 41, 14, TabStop},
    {IDC_STATE, Kind::Edit, "", 120, 257, 72, 14, ReadOnly | Border | CenterText, 0,
     Sid::NameState},
    {IDC_ABORT, Kind::PushButton, "中止", 321, 241, 21, 12, TabStop},
};

constexpr ControlTemplate kAbout[] = {
    {IDC_STATIC, Kind::StaticIcon, "", 11, 17, 20, 20, 0},
    {IDC_STATIC, Kind::Static, "Pomvex Version 1.0", 40, 10, 119, 8, NoPrefix},
    {IDC_STATIC, Kind::Static, "(C) 2026 Pomvex developers", 40, 25, 119, 8, 0},
    {1, Kind::PushButton, "OK", 178, 7, 50, 14, DefPush | TabStop},
};

constexpr ControlTemplate kProgress[] = {
    {2, Kind::PushButton, "中止", 67, 52, 50, 14, DefPush | TabStop},
    {IDC_PROGDLG_PROGRESS, Kind::ProgressBar, "", 16, 38, 154, 10, Smooth | Border, 0,
     Sid::NameRateBar},
    {IDC_PROGDLG_PERCENT, Kind::Static, "0", 60, 23, 44, 8, RightText | LiveText, 0,
     Sid::NameRateBar},
    {IDC_PROGDLG_STATUS, Kind::Static, "", 7, 7, 173, 10, LiveText, 0, Sid::NameProgressStatus},
    {IDC_STATIC, Kind::Static, "0", 15, 27, 11, 8, 0},
    {IDC_STATIC, Kind::Static, "20K", 164, 27, 16, 10, 0},
    {IDC_STATIC, Kind::Static, "バイト/秒", 106, 23, 37, 9, 0},
};

constexpr ControlTemplate kSerial[] = {
    {1, Kind::PushButton, "OK", 7, 44, 34, 14, DefPush | TabStop},
    {2, Kind::PushButton, "ｷｬﾝｾﾙ", 43, 44, 34, 14, TabStop},
    {IDC_SERIAL_PREFIX, Kind::Edit, "", 7, 21, 255, 14, Border | AutoHScroll | TabStop, 0,
     Sid::NameSerialPrefix},
    {IDC_SERIAL_SUFFIX, Kind::Edit, "", 296, 21, 52, 14, Border | AutoHScroll | TabStop, 0,
     Sid::NameSerialSuffix},
    {IDC_SERIAL_FROM, Kind::Edit, "", 262, 21, 11, 14, Border | AutoHScroll | TabStop, 0,
     Sid::NameSerialFrom},
    {IDC_SERIAL_TO, Kind::Edit, "", 285, 21, 11, 14, Border | AutoHScroll | TabStop, 0,
     Sid::NameSerialTo},
    {IDC_STATIC, Kind::Static, "～", 275, 24, 8, 10, 0},
};

constexpr ControlTemplate kRateLimit[] = {
    {IDC_STATIC, Kind::Static, "速度制限", 7, 10, 34, 12, CenterV, IDC_RATE_LIMIT},
    {IDC_RATE_LIMIT, Kind::Edit, "", 43, 9, 50, 14, Border | AutoHScroll | TabStop, 0,
     Sid::NameRateLimit},
    {IDC_STATIC, Kind::Static, "KB/秒 (空欄か 0 で制限なし)", 97, 10, 110, 12, CenterV,
     IDC_RATE_LIMIT},
    {1, Kind::PushButton, "OK", 7, 32, 34, 14, DefPush | TabStop},
    {2, Kind::PushButton, "ｷｬﾝｾﾙ", 43, 32, 34, 14, TabStop},
};

constexpr DialogTemplate kTemplates[] = {
    {IDD_MAIN, "Pomvex", 359, 281, SysMenu | MinimizeBox | ModalFrame | HasMenu, kDialogFont, 9,
     kMain},
    {IDD_ABOUTBOX, "Pomvexのﾊﾞｰｼﾞｮﾝ情報", 235, 55, SysMenu | ModalFrame, kDialogFont, 9, kAbout},
    {IDD_PROGRESS, "Pomvex", 187, 73, SysMenu | ModalFrame, kDialogFont, 9, kProgress},
    {IDD_SERIAL, "連番編集", 358, 65, SysMenu | ModalFrame, kDialogFont, 9, kSerial},
    {IDD_RATE_LIMIT, "速度制限", 214, 53, SysMenu | ModalFrame, kDialogFont, 9, kRateLimit},
};

// One menu item a line, the way the menu reads.
// clang-format off
constexpr MenuTemplate kDownloadMenu[] = {
    {"スタート", ID_DOWNLOAD_START, {}},
    {"タイマー", ID_DOWNLOAD_TIMER, {}},
};

constexpr MenuTemplate kFileMenu[] = {
    {"ダウンロード", 0, kDownloadMenu},
    {nullptr, 0, {}},
    {"リストの保存", ID_LIST_SAVE, {}},
    {"リストを開く", ID_LIST_OPEN, {}},
    {nullptr, 0, {}},
    {"終了", ID_FILE_EXIT, {}},
};

constexpr MenuTemplate kToolMenu[] = {
    {"リストをチェック", ID_TOOL_CHECK_LIST, {}},
    {"連番編集", ID_TOOL_SERIAL, {}},
    {"速度制限...", ID_TOOL_RATE_LIMIT, {}},
};

constexpr MenuTemplate kHelpMenu[] = {
    {"Pomvexについて", ID_HELP_ABOUT, {}},
};

constexpr MenuTemplate kMainMenu[] = {
    {"ファイル", 0, kFileMenu},
    {"ツール", 0, kToolMenu},
    {"ヘルプ", 0, kHelpMenu},
};
// clang-format on

}  // namespace

const DialogTemplate* FindTemplate(int id) {
    for (const DialogTemplate& t : kTemplates)
        if (t.id == id) return &t;
    return nullptr;
}

std::span<const MenuTemplate> MainMenu() {
    return kMainMenu;
}
