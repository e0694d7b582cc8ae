// Resource identifiers: dialogs, controls, menu commands, strings, timers.
#pragma once

// Dialog templates
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDD_PROGRESS = 104;
inline constexpr int IDD_SERIAL = 135;
inline constexpr int IDD_RATE_LIMIT = 140;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_MAINMENU = 133;
inline constexpr int IDM_ABOUTBOX = 16;

// Main window controls
inline constexpr int IDC_URL = 1000;
inline constexpr int IDC_LIST = 1001;
inline constexpr int IDC_GET = 1007;
inline constexpr int IDC_GET_LATER = 1008;
inline constexpr int IDC_SAVE_DIR = 1009;
inline constexpr int IDC_OPEN_LIST = 1010;
inline constexpr int IDC_NEXT = 1011;
inline constexpr int IDC_SAVE_LIST = 1012;
inline constexpr int IDC_MONTH = 1013;
inline constexpr int IDC_DAY = 1014;
inline constexpr int IDC_HOUR = 1015;
inline constexpr int IDC_MINUTE = 1016;
inline constexpr int IDC_DURATION = 1017;
inline constexpr int IDC_CLOCK = 1019;
inline constexpr int IDC_LOG = 1021;
inline constexpr int IDC_CHECK_LIST = 1022;
inline constexpr int IDC_STATE = 1023;
inline constexpr int IDC_ABORT = 1024;

// Progress window controls
inline constexpr int IDC_PROGDLG_PROGRESS = 1003;
inline constexpr int IDC_PROGDLG_PERCENT = 1004;
inline constexpr int IDC_PROGDLG_STATUS = 1025;

// Serial dialog controls
inline constexpr int IDC_SERIAL_SUFFIX = 1001;
inline constexpr int IDC_SERIAL_PREFIX = 1009;
inline constexpr int IDC_SERIAL_FROM = 1019;
inline constexpr int IDC_SERIAL_TO = 1021;

// The receive-speed cap dialog.
inline constexpr int IDC_RATE_LIMIT = 1030;

// Menu commands
inline constexpr int ID_DOWNLOAD_START = 32773;
inline constexpr int ID_DOWNLOAD_TIMER = 32774;
inline constexpr int ID_LIST_SAVE = 32775;
inline constexpr int ID_LIST_OPEN = 32776;
inline constexpr int ID_FILE_EXIT = 32777;
inline constexpr int ID_TOOL_CHECK_LIST = 32778;
inline constexpr int ID_HELP_ABOUT = 32779;
inline constexpr int ID_TOOL_SERIAL = 32780;
inline constexpr int ID_TOOL_RATE_LIMIT = 32781;

// Timers of the main window
inline constexpr unsigned TIMER_TICK = 1;
inline constexpr unsigned TIMER_WATCHDOG = 2;
inline constexpr unsigned TIMER_SCHEDULE = 3;
inline constexpr unsigned TIMER_DEADLINE = 4;
inline constexpr unsigned TIMER_RATE = 5;
