#pragma once

// Control and command identifiers of the main window (dialog 102) and the tray menu (145).
enum MainDlgId : int
{
    IDD_MAINDLG = 102,
    IDC_GO = 1000,
    IDC_URL = 1001,
    IDC_DESTINATION = 1002,
    IDC_EXIT = 1005,
    IDC_USERID = 1008,
    IDC_PASSWORD = 1009,
    IDC_CRAWL = 1010,
    IDC_CURRENT = 1011,
    IDC_CURRENT_LABEL = 1012,
    IDC_BROWSE_DESTINATION = 1013,
    IDC_PROGRESS = 1015,
    IDC_FILE_PROGRESS = 1016,
    IDC_FILECHECK_LABEL = 1019,
    IDC_FILECHECK = 1020,
    IDC_PROCESSED = 1021,
    IDC_PENDING = 1022,
    IDC_PROCESSED_LABEL = 1023,
    IDC_PENDING_LABEL = 1024,
    IDC_PENDING_LIST = 1025,
    IDC_RETRIES = 1026,
    IDC_CONTINUE_ON_ERROR = 1027,
    IDC_NONAME_AS_INDEX = 1030,
    IDC_OPTIONS = 1032,
    IDC_RETRIES_LABEL = 1033,
    IDC_RATE = 1039,
    IDC_WEB_LINK = 1044,
    IDC_MAIL_LINK = 1045,
    IDC_OPEN_SHORTCUT = 1046,
    IDC_FILTER = 1052,
    IDC_USE_FILTERS = 1053,
    IDC_STEALTH = 1054,
    IDC_DEPTH_LABEL = 1055,
    IDC_DEPTH = 1056,
    IDC_WEB_LINK_LABEL = 1057,
    IDC_MAIL_LINK_LABEL = 1058,

    IDR_TRAYMENU = 145,
    ID_TRAY_STOP = 32771,
    ID_TRAY_ABOUT = 32772,
    ID_TRAY_STEALTH = 32773,
    ID_TRAY_SKIP = 32774,

    IDM_ABOUTBOX = 0x10,
    IDR_MAINFRAME = 128,
};

// The tray icon's identifier, which is also its callback message.
inline constexpr unsigned kTrayCallbackMessage = 0x8001;
// The progress timer: id 1, every 50 ms.
inline constexpr unsigned ID_PROGRESS_TIMER = 1;
inline constexpr unsigned kProgressInterval = 50;
