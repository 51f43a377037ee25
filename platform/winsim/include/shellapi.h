// winsim: the shell's notification area (Shell_NotifyIconA), with the Windows SDK's names, constants and
// structure layout.
#pragma once

#include <windows.h>

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002
#define NIM_SETFOCUS 0x00000003
#define NIM_SETVERSION 0x00000004

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004
#define NIF_STATE 0x00000008
#define NIF_INFO 0x00000010
#define NIF_GUID 0x00000020
#define NIF_REALTIME 0x00000040
#define NIF_SHOWTIP 0x00000080

#define NIS_HIDDEN 0x00000001
#define NIS_SHAREDICON 0x00000002

#define NOTIFYICON_VERSION 3
#define NOTIFYICON_VERSION_4 4

typedef struct _NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    CHAR szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    CHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID guidItem;
    HICON hBalloonIcon;
} NOTIFYICONDATAA, *PNOTIFYICONDATAA;

// The sizes of the structure's earlier versions: the first had a 64-byte tooltip and ended there.
#define NOTIFYICONDATAA_V1_SIZE FIELD_OFFSET(NOTIFYICONDATAA, szTip[64])
#define NOTIFYICONDATAA_V2_SIZE FIELD_OFFSET(NOTIFYICONDATAA, guidItem)
#define NOTIFYICONDATAA_V3_SIZE FIELD_OFFSET(NOTIFYICONDATAA, hBalloonIcon)

#ifdef __cplusplus
extern "C" {
#endif

// Simplification: only the icon, tooltip and callback message are kept (no state, balloons or versions
// beyond answering NIM_SETVERSION); a cbSize below NOTIFYICONDATAA_V1_SIZE is refused
// (ERROR_INVALID_PARAMETER). The shell identifies an icon by its owner handle and id alone, so an icon can be
// modified or deleted with the handle of a window that has since been destroyed, as on Windows.
BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData);

#ifdef __cplusplus
}
#endif
