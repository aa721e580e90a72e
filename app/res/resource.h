#pragma once
// Identifiers of the desktop program's resources: dialogs, icon, button faces, strings,
// controls and commands. The numbers are the program's own; code and tests use the names.

// Dialog templates.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_KINOLITE_DIALOG = 102;
inline constexpr int IDD_DLG_PROGRESS = 129;
inline constexpr int IDD_DLG_FILE = 131;

// Icon of the program.
inline constexpr int IDR_MAINFRAME = 128;

// Button faces, four per button: normal, hover, pressed, disabled.
inline constexpr int IDB_ADD = 135;      // 135..138
inline constexpr int IDB_EDIT = 139;     // 139..142
inline constexpr int IDB_DELETE = 143;   // 143..146
inline constexpr int IDB_ABOUT = 147;    // 147..150
inline constexpr int IDB_CONVERT = 151;  // 151..154
inline constexpr int IDB_OK = 155;       // 155..157
inline constexpr int IDB_CANCEL = 159;   // 159..161
inline constexpr int IDB_BROWSE = 163;   // 163..165

// Strings.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_COLUMNS = 102;
inline constexpr int IDS_STATUS_WAITING = 103;
inline constexpr int IDS_STATUS_CONVERTING = 104;
inline constexpr int IDS_STATUS_DONE = 105;
inline constexpr int IDS_STATUS_FAILED = 106;
inline constexpr int IDS_NO_SOURCE = 109;
inline constexpr int IDS_ANOTHER_JOB = 111;
inline constexpr int IDS_NO_DESTINATION = 112;
inline constexpr int IDS_CONFIRM_DELETE = 113;
inline constexpr int IDS_CONFIRM_STOP = 116;
inline constexpr int IDS_CROP_HORIZONTAL = 117;
inline constexpr int IDS_CROP_VERTICAL = 118;
inline constexpr int IDS_SOURCE_MISSING = 119;
inline constexpr int IDS_ALREADY_QUEUED = 120;
inline constexpr int IDS_TIP_ADD = 121;
inline constexpr int IDS_TIP_EDIT = 122;
inline constexpr int IDS_TIP_DELETE = 123;
inline constexpr int IDS_TIP_CONVERT = 124;
inline constexpr int IDS_OVERWRITE = 125;

// Controls shared by every dialog.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Main window.
inline constexpr int IDC_LIST = 1000;
inline constexpr int IDC_ADD = 1001;
inline constexpr int IDC_EDIT = 1002;
inline constexpr int IDC_DELETE = 1003;
inline constexpr int IDC_PREVIEW = 1004;
inline constexpr int IDC_CONVERT = 1005;
inline constexpr int IDC_ABOUT = 1007;

// Progress dialog.
inline constexpr int IDC_PROGRESS = 1008;
inline constexpr int IDC_FILENAME = 1039;

// Job settings dialog.
inline constexpr int IDC_SOURCE = 1018;
inline constexpr int IDC_BROWSE_SOURCE = 1019;
inline constexpr int IDC_DESTINATION = 1020;
inline constexpr int IDC_BROWSE_FOLDER = 1021;
inline constexpr int IDC_WAVNAME = 1022;
inline constexpr int IDC_CROP_LEFT = 1042;
inline constexpr int IDC_CROP_RIGHT = 1043;
inline constexpr int IDC_CROP_TOP = 1044;
inline constexpr int IDC_CROP_BOTTOM = 1045;
inline constexpr int IDC_BITRATE = 1047;
inline constexpr int IDC_SIZE = 1048;

// About box.
inline constexpr int IDC_COPYRIGHT = 1049;
inline constexpr int IDC_COMPANY = 1050;
inline constexpr int IDC_VERSION = 1051;

// Command of the About entry in the window menu.
inline constexpr int IDM_ABOUTBOX = 0x10;

// The message that ends a conversion on the user-interface thread.
inline constexpr int WM_CONVERSION_ENDED = 1235;
