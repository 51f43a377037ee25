// The program's one presence on the screen: its icon in the notification area, with the popup menu and the
// double click that lead to About and Close.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

namespace phonedock {

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 5;  // the icon's mouse messages
// With the main window, names the icon to the shell.
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
    // Takes the icon away; once gone, a second call asks the shell nothing.
    void Remove();
    // The shell has restarted ("TaskbarCreated") and forgotten every icon: the icon is added again with the
    // picture and tooltip it showed last. A shell that still has it refuses the add; then the icon is only
    // brought up to date, so there is never a second one.
    void Restore();
    // The icon's callback message: a double click asks for About, a right click opens the popup menu.
    virtual void OnNotify(HWND window, WPARAM wParam, LPARAM lParam);

  private:
    static constexpr int kCacheSize = 10;
    bool Send(DWORD action, UINT flags, HICON icon, const char* tip);
    void Remember(int iconId, const char* tip);  // what the icon shows now

    HINSTANCE instance_ = nullptr;
    HWND owner_ = nullptr;
    HMENU popupMenu_ = nullptr;
    int doubleClickCommand_ = 0;
    HICON iconHandles_[kCacheSize] = {};
    int iconIds_[kCacheSize] = {};
    int count_ = 0;

    // What the icon shows now, for Restore; the reader thread's plug callback may change it.
    std::mutex shownMutex_;
    int shownIconId_ = 0;
    std::string shownTip_;
    bool removed_ = false;
};

extern TrayIcon trayIcon;

// Shows the program's state (handset absent; Skype not attached; Skype attached) in the icon and on the
// handset's status bar; in the attached state also routes the audio devices.
void RefreshTrayState();

}  // namespace phonedock
