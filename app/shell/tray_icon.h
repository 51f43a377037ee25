// The program's one presence on the screen: its icon in the notification area, with the popup menu and the
// double click that lead to About and Close.
#pragma once

#include <windows.h>

namespace phonedock {

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 5;  // the icon's mouse messages
constexpr UINT kTrayIconId = 888;

class TrayIcon {
  public:
    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon();  // removes the icon

    void Init(HINSTANCE module, HWND owner, int doubleClickCommand);
    void LoadPopupMenu(int menuId);
    // The icon of resource `iconId`, from the cache of the first ten icons used or loaded now; null when it
    // cannot be loaded.
    HICON LookupIcon(int iconId);
    void Add(int iconId, const char* tip);
    void Modify(int iconId, const char* tip);
    void Remove();
    // The icon's callback message: a double click asks for About, a right click opens the popup menu.
    virtual void OnNotify(HWND window, WPARAM wParam, LPARAM lParam);

  private:
    static constexpr int kCacheSize = 10;
    void Send(DWORD action, UINT flags, HICON icon, const char* tip);

    HINSTANCE instance_ = nullptr;
    HWND owner_ = nullptr;
    HMENU popupMenu_ = nullptr;
    int doubleClickCommand_ = 0;
    HICON iconHandles_[kCacheSize] = {};
    int iconIds_[kCacheSize] = {};
    int count_ = 0;
};

extern TrayIcon trayIcon;

// Shows the program's state (handset absent; Skype not attached; Skype attached) in the icon and on the
// handset's status bar; in the attached state also routes the audio devices.
void RefreshTrayState();

}  // namespace phonedock
