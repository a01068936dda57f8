// Resource and control identifiers of every dialog, menu, string and picture.
#pragma once

namespace res {

// Dialogs.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_VELMOR_DIALOG = 102;
inline constexpr int IDD_PREVIEW = 130;
inline constexpr int IDD_FILESAVE = 132;
inline constexpr int IDD_VIEWLOG = 134;
inline constexpr int IDD_SAVEMSG = 139;
inline constexpr int IDD_PASSWORD = 141;
inline constexpr int IDD_PROGRESSBAR = 1010;

// Menus, pictures and strings.
inline constexpr int IDR_MAINMENU = 135;
inline constexpr int IDR_MAINFRAME = 5; // the program icon
inline constexpr int IDB_SAVEMSG = 140; // picture of the overwrite prompt
inline constexpr int IDS_OLE_INIT_FAILED = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDM_ABOUTBOX = 0x0010; // system menu item

// Menu 135.
inline constexpr int ID_FILE_SELECTFILE = 32771;
inline constexpr int ID_FILE_SAVECURRENTFILE = 32775;
inline constexpr int ID_FILE_SAVEALL = 32776;
inline constexpr int ID_FILE_EXIT = 32777;
inline constexpr int ID_OPTION_SKIPPREVIEW = 32778;
inline constexpr int ID_OPTION_VIEWLOG = 32779;
inline constexpr int ID_HELP_ABOUT = 32785;
inline constexpr int ID_HELP_CONTENTS = 32786;
inline constexpr int ID_OPTION_CLEARLOG = 32788;
inline constexpr int ID_REPAIRMODE_QUICKREPAIR = 32790;
inline constexpr int ID_REPAIRMODE_ADVANCEREPAIR = 32791;

// Main dialog 102.
inline constexpr int IDC_SOURCE_LIST = 1000;
inline constexpr int IDC_BROWSE = 1001;
inline constexpr int IDC_CLEAR_ALL = 1002;
inline constexpr int IDC_SKIP_PREVIEW = 1004;
inline constexpr int IDC_REPAIR = 1005;
inline constexpr int IDC_CLEAR_SELECTED = 1026;
inline constexpr int IDC_QUICK_REPAIR = 1039;
inline constexpr int IDC_ADVANCE_REPAIR = 1040;
inline constexpr int IDC_PAST_DAMAGE = 1041;
inline constexpr int IDC_LINKS_AS_FILES = 1042;

// Preview 130.
inline constexpr int IDC_ENTRY_LIST = 1000;
inline constexpr int IDC_EXPLORER = 1006;
inline constexpr int IDC_PREVIEW_BLANK = 1011;
inline constexpr int IDC_FILE_NUMBER = 1012;
inline constexpr int IDC_BACK_FILE = 1013;
inline constexpr int IDC_NEXT_FILE = 1014;
inline constexpr int IDC_BACK = 1015;
inline constexpr int IDC_SAVE_ALL = 1016;
inline constexpr int IDC_SAVE_CURRENT = 1017;
inline constexpr int IDC_FILE_COUNT = 1033;
inline constexpr int IDC_NUMBER_SEPARATOR = 1036;
inline constexpr int IDC_SOURCE_PATH = 1037;
inline constexpr int IDC_LIST_FRAME = 1038;
inline constexpr int IDC_ENTRY_COUNT = 1043;
inline constexpr int IDC_SOURCE_PATH_LABEL = 1044;
inline constexpr int IDC_ENTRY_COUNT_LABEL = 1045;

// Analysis 1010.
inline constexpr int IDC_ANALYSIS_PROGRESS = 1024;
inline constexpr int IDC_ANALYSIS_STOP = 1026;
inline constexpr int IDC_ANALYSIS_PAUSE = 1027;

// Saving 132.
inline constexpr int IDC_SAVE_TOTAL = 1012;
inline constexpr int IDC_SAVE_FILE_NAME = 1018;
inline constexpr int IDC_SAVE_FILE_NUMBER = 1019;
inline constexpr int IDC_SAVE_FILE_PATH = 1020;
inline constexpr int IDC_SAVE_CURRENT_PROGRESS = 1021;
inline constexpr int IDC_SAVE_STOP = 1022;
inline constexpr int IDC_SAVE_PAUSE = 1023;
inline constexpr int IDC_SAVE_OVERALL_PROGRESS = 1032;

// Completion 134.
inline constexpr int IDC_VIEW_LOG_CHECK = 1025;
inline constexpr int IDC_VIEW_LOG_OK = 1026;
inline constexpr int IDC_COMPLETION_TEXT = 1027;
inline constexpr int IDC_OPEN_FOLDER_CHECK = 1028;

// Overwrite prompt 139.
inline constexpr int IDC_PROMPT_PICTURE = 140;
inline constexpr int IDC_PROMPT_YES = 1026;
inline constexpr int IDC_PROMPT_NO = 1027;
inline constexpr int IDC_PROMPT_YES_ALL = 1028;
inline constexpr int IDC_PROMPT_NO_ALL = 1029;

// Password prompt 141 (OK and Skip are IDOK and IDCANCEL).
inline constexpr int IDC_PASSWORD_PICTURE = 142;
inline constexpr int IDC_PASSWORD_ARCHIVE = 1050;
inline constexpr int IDC_PASSWORD_EDIT = 1051;
inline constexpr int IDC_PASSWORD_SHOW = 1052;
inline constexpr int IDC_PASSWORD_FOR_ALL = 1053;

// About 100.
inline constexpr int IDC_LINK_SITE = 1026;
inline constexpr int IDC_LINK_SITE2 = 1027;
inline constexpr int IDC_LINK_SALES = 1028;
inline constexpr int IDC_LINK_SUPPORT = 1029;
inline constexpr int IDC_ABOUT_OK = 1031;

} // namespace res
