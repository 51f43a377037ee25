// Menus: LoadMenuA builds a menu and its popups from a MENU template; GetSubMenu, GetMenuItemCount,
// GetMenuItemID, GetMenuState and GetMenuStringA read them; TrackPopupMenuEx shows nothing, records the
// call and runs a message loop until the control API answers for the user. Menu handles are numbers in a
// table, never pointers.
#include "modal_loop.h"
#include "resource_reader.h"
#include "window_state.h"

#include <winsim/control.h>

#include <cstring>
#include <deque>
#include <map>

namespace winsim::detail {
namespace {

constexpr DWORD kDefaultPopupTimeout = 10000;
constexpr int kDeepestPopup = 16;  // templates nested deeper are refused as malformed

struct MenuItem {
    UINT flags = 0;  // MF_POPUP, MF_SEPARATOR, MF_GRAYED...
    UINT id = 0;
    std::string text;
    HMENU submenu = nullptr;
};

struct Answer {
    bool choose = false;
    UINT commandId = 0;
};

// A TrackPopupMenuEx in progress.
struct Popup {
    std::shared_ptr<winsim::PopupMenuCall> call;  // its record
    DWORD threadId = 0;
    bool answered = false;
    Answer answer;
};

struct MenuState {
    std::map<uintptr_t, std::vector<MenuItem>> menus;  // by handle value
    std::vector<std::shared_ptr<winsim::PopupMenuCall>> calls;
    std::vector<std::shared_ptr<Popup>> open;  // oldest first
    std::deque<Answer> scripted;
    DWORD timeout = kDefaultPopupTimeout;
};

MenuState& state() {
    static MenuState& s = *new MenuState;
    return s;
}

// Never reused, not even across reset.
uintptr_t nextMenuValue = 0x00D00010;

ResetHook menuReset([] { state() = MenuState{}; });

std::vector<MenuItem>* findMenu(HMENU menu) {
    auto it = state().menus.find(reinterpret_cast<uintptr_t>(menu));
    return it == state().menus.end() ? nullptr : &it->second;
}

std::vector<MenuItem>* findMenuOrFail(HMENU menu) {
    auto* items = findMenu(menu);
    if (items == nullptr) SetLastError(ERROR_INVALID_MENU_HANDLE);
    return items;
}

// A menu template as read, before it has handles.
struct TemplateItem {
    UINT flags = 0;
    UINT id = 0;
    std::string text;
    std::vector<TemplateItem> children;  // a popup's items
};

// Items of one menu level: WORD flags; for a popup its text and then its own items, otherwise WORD id and
// text. MF_END marks the last item of a level. An item with no flags, id 0 and no text is a separator.
bool readItems(ResourceReader& r, std::vector<TemplateItem>& items, int depth) {
    if (depth > kDeepestPopup) return false;
    for (;;) {
        TemplateItem item;
        const WORD flags = r.word();
        if ((flags & MF_POPUP) != 0) {
            item.text = ansiFromUtf16(r.text());
            if (!readItems(r, item.children, depth + 1)) return false;
        } else {
            item.id = r.word();
            item.text = ansiFromUtf16(r.text());
        }
        if (!r.ok()) return false;
        item.flags = flags & ~static_cast<UINT>(MF_END);
        // An item without text is a separator, which Windows reports grayed and disabled.
        if ((item.flags & MF_POPUP) == 0 && item.text.empty())
            item.flags |= MF_SEPARATOR | MF_GRAYED | MF_DISABLED;
        items.push_back(std::move(item));
        if ((flags & MF_END) != 0) return true;
    }
}

HMENU addMenu(const std::vector<TemplateItem>& items) {
    const auto handle = reinterpret_cast<HMENU>(nextMenuValue);
    nextMenuValue += 0x10;
    std::vector<MenuItem>& menu = state().menus[reinterpret_cast<uintptr_t>(handle)];
    for (const TemplateItem& t : items) {
        MenuItem item{t.flags, t.id, t.text, nullptr};
        if ((t.flags & MF_POPUP) != 0) item.submenu = addMenu(t.children);
        menu.push_back(std::move(item));
    }
    return handle;
}

void removeMenu(HMENU handle) {
    auto it = state().menus.find(reinterpret_cast<uintptr_t>(handle));
    if (it == state().menus.end()) return;
    const std::vector<MenuItem> items = std::move(it->second);
    state().menus.erase(it);
    for (const MenuItem& item : items) {
        if (item.submenu != nullptr) removeMenu(item.submenu);
    }
}

// The item at a position, or the item with a command id in the menu or any of its popups.
const MenuItem* findItem(HMENU menu, UINT item, UINT flags) {
    const auto* items = findMenu(menu);
    if (items == nullptr) return nullptr;
    if ((flags & MF_BYPOSITION) != 0) return item < items->size() ? &(*items)[item] : nullptr;
    for (const MenuItem& candidate : *items) {
        if (candidate.submenu != nullptr) {
            if (const MenuItem* found = findItem(candidate.submenu, item, flags)) return found;
        } else if ((candidate.flags & MF_SEPARATOR) == 0 && candidate.id == item) {
            return &candidate;
        }
    }
    return nullptr;
}

// Whether the user can choose the command in the menu: a plain item, neither grayed nor disabled.
bool selectable(HMENU menu, UINT commandId) {
    const MenuItem* item = findItem(menu, commandId, MF_BYCOMMAND);
    return item != nullptr && (item->flags & (MF_POPUP | MF_SEPARATOR | MF_GRAYED | MF_DISABLED)) == 0;
}

bool threadTracks(DWORD threadId) {
    return std::any_of(state().open.begin(), state().open.end(),
                       [threadId](const auto& popup) { return popup->threadId == threadId; });
}

bool unansweredPopupOpen() {
    return std::any_of(state().open.begin(), state().open.end(),
                       [](const auto& popup) { return !popup->answered; });
}

bool answerNewest(Answer answer) {
    Lock lock(bigLock());
    auto& open = state().open;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if ((*it)->answered) continue;
        (*it)->answered = true;
        (*it)->answer = answer;
        stateChanged().notify_all();
        return true;
    }
    return false;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

std::vector<PopupMenuCall> popupMenuCalls() {
    Lock lock(bigLock());
    std::vector<PopupMenuCall> calls;
    for (const auto& call : state().calls) calls.push_back(*call);
    return calls;
}

void scriptPopupMenuChoice(UINT commandId) {
    Lock lock(bigLock());
    state().scripted.push_back(Answer{true, commandId});
}

void scriptPopupMenuDismissal() {
    Lock lock(bigLock());
    state().scripted.push_back(Answer{false, 0});
}

bool choosePopupMenuItem(UINT commandId) {
    return answerNewest(Answer{true, commandId});
}

bool dismissPopupMenu() {
    return answerNewest(Answer{false, 0});
}

bool waitForPopupMenu(DWORD milliseconds) {
    Lock lock(bigLock());
    return waitLocked(lock, {}, false, milliseconds, [] { return unansweredPopupOpen(); }) != WAIT_TIMEOUT;
}

void setPopupMenuTimeout(DWORD milliseconds) {
    Lock lock(bigLock());
    state().timeout = milliseconds;
}

}  // namespace winsim

extern "C" {

HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName) {
    HRSRC resource = FindResourceA(hInstance, lpMenuName, RT_MENU);
    if (resource == nullptr) return nullptr;
    ResourceReader r(static_cast<const uint8_t*>(LockResource(LoadResource(hInstance, resource))),
                     SizeofResource(hInstance, resource));
    const WORD version = r.word();
    r.skip(r.word());  // header size: where the items start
    std::vector<TemplateItem> items;
    if (!r.ok() || version != 0 || !readItems(r, items, 0)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    Lock lock(bigLock());
    return addMenu(items);
}

BOOL WINAPI DestroyMenu(HMENU hMenu) {
    Lock lock(bigLock());
    if (findMenuOrFail(hMenu) == nullptr) return FALSE;
    removeMenu(hMenu);
    return TRUE;
}

HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos) {
    Lock lock(bigLock());
    const auto* items = findMenuOrFail(hMenu);
    if (items == nullptr || nPos < 0 || static_cast<size_t>(nPos) >= items->size()) return nullptr;
    return (*items)[static_cast<size_t>(nPos)].submenu;
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
    Lock lock(bigLock());
    const auto* items = findMenuOrFail(hMenu);
    return items == nullptr ? -1 : static_cast<int>(items->size());
}

// 0xFFFFFFFF for a popup or a position without an item; a separator's id is 0.
UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos) {
    Lock lock(bigLock());
    const auto* items = findMenuOrFail(hMenu);
    if (items == nullptr || nPos < 0 || static_cast<size_t>(nPos) >= items->size()) return 0xFFFFFFFF;
    const MenuItem& item = (*items)[static_cast<size_t>(nPos)];
    return item.submenu != nullptr ? 0xFFFFFFFF : item.id;
}

// The item's flags; for a popup, its flags in the low byte and its number of items in the high byte.
UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
    Lock lock(bigLock());
    if (findMenuOrFail(hMenu) == nullptr) return 0xFFFFFFFF;
    const MenuItem* item = findItem(hMenu, uId, uFlags);
    if (item == nullptr) return 0xFFFFFFFF;
    if (item->submenu == nullptr) return item->flags;
    const auto* sub = findMenu(item->submenu);
    const UINT count = sub != nullptr ? static_cast<UINT>(sub->size()) : 0;
    return (count << 8) | (item->flags & 0xFF);
}

// The length of the item's text without a buffer; otherwise the characters copied (cut to the buffer).
int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags) {
    Lock lock(bigLock());
    if (findMenuOrFail(hMenu) == nullptr) return 0;
    const MenuItem* item = findItem(hMenu, uIDItem, flags);
    if (item == nullptr) return 0;
    if (lpString == nullptr || cchMax <= 0) return static_cast<int>(item->text.size());
    const size_t n = std::min(item->text.size(), static_cast<size_t>(cchMax) - 1);
    std::memcpy(lpString, item->text.data(), n);
    lpString[n] = '\0';
    return static_cast<int>(n);
}

// The menu runs its own message loop, as a real one does, until the answer comes (see winsim/control.h).
// The chosen command reaches the window as a posted WM_COMMAND, or is returned with TPM_RETURNCMD;
// TPM_NONOTIFY sends nothing.
BOOL WINAPI TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd, LPTPMPARAMS lptpm) {
    auto popup = std::make_shared<Popup>();
    Clock::time_point deadline;
    {
        Lock lock(bigLock());
        auto record = std::make_shared<winsim::PopupMenuCall>();
        winsim::PopupMenuCall& call = *record;
        call.menu = hMenu;
        call.flags = uFlags;
        call.x = x;
        call.y = y;
        call.window = hwnd;
        call.hasParams = lptpm != nullptr;
        if (lptpm != nullptr) {
            call.paramsSize = lptpm->cbSize;
            call.exclude = lptpm->rcExclude;
        }
        DWORD error = ERROR_SUCCESS;
        if (findMenu(hMenu) == nullptr) {
            error = ERROR_INVALID_MENU_HANDLE;
        } else if (!findWindow(hwnd)) {
            error = ERROR_INVALID_WINDOW_HANDLE;
        } else if (threadTracks(currentThreadId())) {
            error = ERROR_POPUP_ALREADY_ACTIVE;
        }
        call.succeeded = error == ERROR_SUCCESS;
        call.open = call.succeeded;
        state().calls.push_back(record);
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return FALSE;
        }
        popup->call = record;
        popup->threadId = currentThreadId();
        if (!state().scripted.empty()) {
            popup->answered = true;
            popup->answer = state().scripted.front();
            state().scripted.pop_front();
        }
        state().open.push_back(popup);
        deadline = deadlineAfter(state().timeout);
        stateChanged().notify_all();
    }

    const ModalEnd end = runModalLoop(popup->answered, deadline, hwnd);

    UINT chosen = 0;
    {
        Lock lock(bigLock());
        if (end == ModalEnd::Answered && popup->answer.choose && selectable(hMenu, popup->answer.commandId)) {
            chosen = popup->answer.commandId;
        }
        popup->call->open = false;
        popup->call->chosen = chosen;
        popup->call->timedOut = end == ModalEnd::TimedOut;
        std::erase(state().open, popup);
        stateChanged().notify_all();
    }
    if ((uFlags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(chosen);
    if (chosen != 0 && (uFlags & TPM_NONOTIFY) == 0) PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return TRUE;
}

}  // extern "C"
