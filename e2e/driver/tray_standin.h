// The notification area, played by the driver: a top-level window of class "Shell_TrayWnd" to which Wine's
// Shell_NotifyIcon delivers every icon message. It records what each program asked for and keeps the icons
// it holds, answering as the shell does: an add of an icon it has, or a change or removal of one it has
// not, is refused; everything else is granted at once, so a program's exit does not wait for a tray that is
// not there.
#pragma once

#include "tray_data.h"
#include "window_thread.h"

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

class TrayStandIn {
  public:
    TrayStandIn();
    ~TrayStandIn();
    TrayStandIn(const TrayStandIn&) = delete;
    TrayStandIn& operator=(const TrayStandIn&) = delete;

    HWND window() const;  // null when the window could not be made
    // The icon messages of one owner window, in the order received.
    std::vector<TrayMessage> messagesOf(HWND owner) const;
    // Every icon message so far, of any owner.
    size_t messageCount() const;
    // Waits until the owner has `count` messages or more; answers them.
    std::vector<TrayMessage> waitForMessages(HWND owner, size_t count,
                                             std::chrono::milliseconds timeout) const;
    // A mouse message on the owner's icon, as the shell reports it: the callback message that the icon was
    // added with, wParam = the icon's id, lParam = the mouse message. False when the owner added no icon.
    bool click(HWND owner, UINT mouseMessage) const;
    // Data that did not decode: shorter than the shell's layout.
    size_t undecodedCount() const;
    // How many icons the owner has in the notification area now.
    size_t iconsOf(HWND owner) const;
    // A restart of the shell: every icon is forgotten, then "TaskbarCreated" is posted to every top-level
    // window. False when the message could not be sent.
    bool restart();

    // For the window procedure: records the message; answers whether the shell grants it.
    bool received(ULONG_PTR message, const void* data, DWORD size);

  private:
    mutable std::mutex mutex_;
    std::vector<TrayMessage> messages_;
    size_t undecoded_ = 0;
    std::set<std::pair<uint32_t, uint32_t>> icons_;  // owner and id of each icon held
    std::unique_ptr<WindowThread> thread_;
};

// The 32 bits by which the shell names an owner window.
uint32_t trayOwnerId(HWND owner);

}  // namespace e2e
