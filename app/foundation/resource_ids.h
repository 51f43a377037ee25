// Ids of phonedock's resources, shared by phonedock.rc and the code that loads them. Plain #defines, so the
// resource compiler reads this file as well as the C++ compiler.
#pragma once

// Strings
#define IDS_WINDOW_TITLE 103    // the main window's title; a second copy finds the first by it
#define IDS_TITLE_CAPITALS 109  // the title in capitals; carried, not loaded

// Icons
#define IDI_EMBLEM 107           // 32 x 32, 24 bpp: the window class's large icon, the About dialog's picture
#define IDI_HANDSET 108          // 32 x 32, 8 bpp: the window class's small icon
#define IDI_TRAY_ATTACHED 129    // 16 x 16: handset present, Skype attached
#define IDI_TRAY_NO_HANDSET 130  // 16 x 16: handset absent
#define IDI_TRAY_NO_SKYPE 131    // 16 x 16: handset present, Skype not attached; the first tray icon

// Menus
#define IDR_MAIN_MENU 109  // the class menu of the hidden main window, never seen
#define IDR_TRAY_MENU 155  // its first popup is the tray icon's menu

// Accelerators: Alt+"?" and Alt+"/" ask for About
#define IDR_ACCELERATORS 109

// The About dialog and its controls
#define IDD_ABOUT 103
#define IDC_ABOUT_ICON 2
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Commands of the main window
#define IDM_ABOUT 104
#define IDM_CLOSE 105

// WAVE resources (type "WAVE")
#define IDW_BUSY 132  // carried, not played
#define IDW_DTMF_0 133
#define IDW_DTMF_1 134
#define IDW_DTMF_2 135
#define IDW_DTMF_3 136
#define IDW_DTMF_4 137
#define IDW_DTMF_5 138
#define IDW_DTMF_6 139
#define IDW_DTMF_7 140
#define IDW_DTMF_8 141
#define IDW_DTMF_9 142
#define IDW_CHIME 143  // carried, not played
#define IDW_DTMF_HASH 144
#define IDW_RINGBACK 145  // carried, not played
#define IDW_DTMF_STAR 146
#define IDW_KEY_CLICK 147
