#include "tray_icon.h"

#include "skype/audio_routing.h"
#include "foundation/handset_display.h"
#include "foundation/resource_ids.h"
#include "foundation/shared_state.h"

#include <shellapi.h>

#include <cstring>

namespace phonedock {

TrayIcon trayIcon;

namespace {

constexpr const char kTipNoHandset[] = "USB Device Driver (Please Connect USB Phone)";
constexpr const char kTipAttached[] = "USB Device Driver (Skype Feature-Enabled)";
constexpr const char kTipNoSkype[] = "USB Device Driver (Please Launch Skype)";

}  // namespace

TrayIcon::~TrayIcon() {
    Remove();
}

void TrayIcon::Init(HINSTANCE module, HWND owner, int doubleClickCommand) {
    instance_ = module;
    owner_ = owner;
    doubleClickCommand_ = doubleClickCommand;
}

void TrayIcon::LoadPopupMenu(int menuId) {
    popupMenu_ = LoadMenuA(instance_, MAKEINTRESOURCEA(menuId));
}

HICON TrayIcon::LookupIcon(int iconId) {
    for (int i = 0; i < count_; ++i) {
        if (iconIds_[i] == iconId) return iconHandles_[i];
    }
    const HICON icon = LoadIconA(instance_, MAKEINTRESOURCEA(iconId));
    if (icon == nullptr) return nullptr;
    if (count_ < kCacheSize) {
        iconIds_[count_] = iconId;
        iconHandles_[count_] = icon;
        ++count_;
    }
    return icon;
}

bool TrayIcon::Send(DWORD action, UINT flags, HICON icon, const char* tip) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = owner_;
    data.uID = kTrayIconId;
    data.uFlags = flags;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = icon;
    if (tip != nullptr) std::strncpy(data.szTip, tip, sizeof(data.szTip) - 1);
    return Shell_NotifyIconA(action, &data) != FALSE;
}

void TrayIcon::Remember(int iconId, const char* tip) {
    std::lock_guard<std::mutex> lock(shownMutex_);
    shownIconId_ = iconId;
    shownTip_ = tip != nullptr ? tip : "";
}

void TrayIcon::Add(int iconId, const char* tip) {
    Remember(iconId, tip);
    {
        std::lock_guard<std::mutex> lock(shownMutex_);
        removed_ = false;
    }
    Send(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, LookupIcon(iconId), tip);
}

void TrayIcon::Modify(int iconId, const char* tip) {
    const HICON icon = LookupIcon(iconId);
    if (icon == nullptr) return;
    Remember(iconId, tip);
    Send(NIM_MODIFY, NIF_ICON | NIF_TIP, icon, tip);
}

void TrayIcon::Remove() {
    {
        std::lock_guard<std::mutex> lock(shownMutex_);
        if (owner_ == nullptr || removed_) return;
        removed_ = true;
    }
    Send(NIM_DELETE, 0, nullptr, nullptr);
}

void TrayIcon::Restore() {
    int iconId = 0;
    std::string tip;
    {
        std::lock_guard<std::mutex> lock(shownMutex_);
        if (owner_ == nullptr || removed_ || shownIconId_ == 0) return;
        iconId = shownIconId_;
        tip = shownTip_;
    }
    if (!Send(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, LookupIcon(iconId), tip.c_str()))
        Modify(iconId, tip.c_str());
}

void TrayIcon::OnNotify(HWND, WPARAM, LPARAM lParam) {
    switch (lParam) {
        case WM_LBUTTONDBLCLK:
            PostMessageA(owner_, WM_COMMAND, static_cast<WPARAM>(doubleClickCommand_), 0);
            break;
        case WM_RBUTTONUP: {
            POINT cursor{};
            GetCursorPos(&cursor);
            TPMPARAMS params;
            params.cbSize = sizeof(params);
            params.rcExclude = {cursor.x, cursor.y, cursor.x + 1, cursor.y + 1};
            TrackPopupMenuEx(GetSubMenu(popupMenu_, 0), TPM_RIGHTALIGN | TPM_VERTICAL | TPM_LEFTBUTTON,
                             cursor.x, cursor.y, owner_, &params);
            break;
        }
        default: break;
    }
}

void RefreshTrayState() {
    if (handsetAbsent != 0) {
        trayIcon.Modify(IDI_TRAY_NO_HANDSET, kTipNoHandset);
    } else if (skypeApiWindow.load() != nullptr) {
        ShowSkypeStatus(1);
        trayIcon.Modify(IDI_TRAY_ATTACHED, kTipAttached);
        RouteAudioDevices();
    } else {
        ShowSkypeStatus(0);
        trayIcon.Modify(IDI_TRAY_NO_SKYPE, kTipNoSkype);
    }
}

}  // namespace phonedock
