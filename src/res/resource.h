#pragma once
// Resource ids: dialogs, strings, icons, and every control the program
// addresses, named after its role. Ids repeat across dialogs as the templates
// give them; a name belongs to one dialog.

// Dialogs
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_KANDRIX_DIALOG = 102;
constexpr int IDD_FILELIST = 138;
constexpr int IDD_OUTPUT = 140;
constexpr int IDD_CONVERT = 141;
constexpr int IDD_SUMMARY = 142;
constexpr int IDD_TASK = 152;
constexpr int IDD_BURN = 154;

// Strings and icons
constexpr int IDS_ABOUTBOX = 101; // "&About KANDRIX..."
constexpr int IDS_VERSION = 102;  // "3.2"
constexpr int IDR_MAINFRAME = 128;

// Main window (102)
constexpr int IDC_MAIN_CLOSE = 1005;
constexpr int IDC_MAIN_PREV = 1002;
constexpr int IDC_MAIN_NEXT = 1003;
constexpr int IDC_MAIN_REPEAT = 1004;
constexpr int IDC_MAIN_PAGE_FRAME = 1007;
constexpr int IDC_MAIN_HELP = 1014;
constexpr int IDC_MAIN_ABOUT = 1015;
constexpr int IDC_MAIN_SAVE_LOG = 1022;

// Task page (152)
constexpr int IDC_TASK_VIDEO2DVD = 1079;
constexpr int IDC_TASK_MPG2DVD = 1080;
constexpr int IDC_TASK_VIDEO2MPG = 1081;

// File list page (138)
constexpr int IDC_FILES_ADD = 1010;
constexpr int IDC_FILES_PATHS = 1011; // hidden: full paths
constexpr int IDC_FILES_DELETE = 1012;
constexpr int IDC_FILES_CLEAR = 1013;
constexpr int IDC_FILES_NAMES = 1014; // shown: file names

// Output settings page (140)
constexpr int IDC_OUT_OVERWRITE = 1034;
constexpr int IDC_OUT_FOLDER = 1035;
constexpr int IDC_OUT_BROWSE = 1020;
constexpr int IDC_OUT_FORMAT = 1049;
constexpr int IDC_OUT_BURNER = 1050;
constexpr int IDC_OUT_SPEED = 1051;
constexpr int IDC_OUT_TV_SYSTEM = 1052;
constexpr int IDC_OUT_SAME_AS_SOURCE = 1061;
constexpr int IDC_OUT_USE_TEMP = 1062;
constexpr int IDC_OUT_VOLUME_LABEL = 1063;
constexpr int IDC_OUT_REFRESH = 1068;
constexpr int IDC_OUT_ALL_IN_ONE = 1081;
constexpr int IDC_OUT_DVD_PANEL = 1082;

// Conversion page (141)
constexpr int IDC_CONV_CANCEL = 1020;
constexpr int IDC_CONV_FILE_PROGRESS = 1062;
constexpr int IDC_CONV_TOTAL_PROGRESS = 1063;
constexpr int IDC_CONV_COUNT = 1066;
constexpr int IDC_CONV_FILE_NAME = 1067;
constexpr int IDC_CONV_PERCENT = 1071;
constexpr int IDC_CONV_LOG = 1080;

// Summary page (142)
constexpr int IDC_SUM_TOTAL = 1068;
constexpr int IDC_SUM_SUCCEEDED = 1069;
constexpr int IDC_SUM_FOLDER = 1070;
constexpr int IDC_SUM_BURNER = 1071;
constexpr int IDC_SUM_BURNER_LABEL = 1083;

// Burn page (154)
constexpr int IDC_BURN_START = 1020;
constexpr int IDC_BURN_CLOSE = 1021;
constexpr int IDC_BURN_OPC = 1034;
constexpr int IDC_BURN_EJECT = 1035;
constexpr int IDC_BURN_DELETE_TEMP = 1036;
constexpr int IDC_BURN_VERIFY = 1037;
constexpr int IDC_BURN_PROGRESS = 1050;
constexpr int IDC_BURN_LIST = 1061;
constexpr int IDC_BURN_STATUS = 1064;
constexpr int IDC_BURN_PERCENT = 1065;
constexpr int IDC_BURN_ELAPSED = 1066;
constexpr int IDC_BURN_LOG = 1080;

// About box (100)
constexpr int IDC_ABOUT_SUPPORT = 1017;
constexpr int IDC_ABOUT_WEB = 1020;
constexpr int IDC_ABOUT_VERSION = 1059;
