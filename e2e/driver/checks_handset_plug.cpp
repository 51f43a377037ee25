// The program with the handset: typing into the foreground window while Skype is not attached, and the
// handset pulled out and plugged in again, idle and during a call.
#include "checks.h"
#include "handset_world.h"
#include "waiting.h"
#include "window_thread.h"

#include <mutex>
#include <vector>

namespace e2e {
namespace {

// A visible window of the driver's that records the keys it is typed, as the foreground window.
class TypingTarget {
  public:
    TypingTarget()
        : thread_([this] {
              WNDCLASSA windowClass{};
              windowClass.lpfnWndProc = &TypingTarget::procedure;
              windowClass.hInstance = GetModuleHandleA(nullptr);
              windowClass.lpszClassName = "PhonedockE2eTypingTarget";
              RegisterClassA(&windowClass);
              const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "typing target",
                                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                                  nullptr, windowClass.hInstance, nullptr);
              if (window != nullptr) {
                  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
                  SetForegroundWindow(window);
                  SetFocus(window);
              }
              return window;
          }) {}

    HWND window() const { return thread_.window(); }
    // Each key as (virtual key, released), in the order the window got them.
    std::vector<std::pair<int, bool>> keys() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return keys_;
    }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TypingTarget*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && (message == WM_KEYDOWN || message == WM_KEYUP)) {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->keys_.emplace_back(static_cast<int>(wParam), message == WM_KEYUP);
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    mutable std::mutex mutex_;
    std::vector<std::pair<int, bool>> keys_;
    WindowThread thread_;  // last: its window's messages use the members above
};

std::string keyList(const std::vector<std::pair<int, bool>>& keys) {
    std::string text;
    for (const auto& [key, released] : keys) {
        if (!text.empty()) text += ' ';
        text += std::to_string(key);
        text += released ? '^' : 'v';
    }
    return text.empty() ? "none" : text;
}

void typingWithoutSkype(Session& s, sim::VirtualHandset& handset) {
    TypingTarget target;
    if (!s.check(target.window() != nullptr, "a window of the driver's is in the foreground")) return;
    tap(handset, sim::Key::Digit5);
    tap(handset, sim::Key::Hash);
    tap(handset, sim::Key::Mute);  // types nothing
    handset.setOffHook(true);
    handset.setOffHook(false);
    tap(handset, sim::Key::Digit0);
    const std::vector<std::pair<int, bool>> expected{
        {'5', false},       {'5', true},       {VK_SHIFT, false},  {'3', false},
        {'3', true},        {VK_SHIFT, true},  {VK_RETURN, false}, {VK_RETURN, true},
        {VK_ESCAPE, false}, {VK_ESCAPE, true}, {'0', false},       {'0', true}};
    waitFor([&] { return target.keys().size() >= expected.size(); }, kHandsetTimeout);
    // The window gets VK_SHIFT for either shift key.
    s.check(target.keys() == expected,
            "without Skype the keypad types 5 # Enter Escape 0 into the foreground window, MUTE nothing",
            "it got " + keyList(target.keys()));
}

// Taps the keys and expects each one's BTN_PRESSED once, in order, and nothing else pressed.
void expectEveryKeyOnce(Session& s, const sim::SkypeClient& skype, sim::VirtualHandset& handset,
                        const std::string& when) {
    const size_t from = skype.commands().size();
    for (const sim::Key key : {sim::Key::Digit1, sim::Key::Digit2, sim::Key::Digit3}) tap(handset, key);
    skype.waitForCommand("BTN_RELEASED 3", kHandsetTimeout, from);
    std::vector<std::string> pressed;
    const std::vector<std::string> texts = skype.commandTexts();
    for (size_t i = from; i < texts.size(); ++i) {
        if (texts[i].rfind("BTN_PRESSED ", 0) == 0) pressed.push_back(texts[i].substr(12));
    }
    std::string got;
    for (const std::string& p : pressed) got += p + " ";
    s.check(pressed == std::vector<std::string>{"1", "2", "3"},
            when + ": 1 2 3 reach Skype once each, in order",
            "pressed: " + (got.empty() ? std::string("none") : got));
}

bool replug(Session& s, sim::VirtualHandset& handset, const std::string& when) {
    const size_t trayFrom = s.trayMessages().size();
    const bool pulled = unplugAndWaitForInterface(handset);
    const bool told = s.waitForTip(kTipNoHandset, trayFrom, kPlugTimeout).has_value();
    s.check(pulled && told, when + ": pulled out, the icon says \"Please Connect USB Phone\"",
            pulled ? "no such icon message" : "the interface stayed listed");
    const size_t backFrom = s.trayMessages().size();
    const bool plugged = plugAndWaitForInterface(handset);
    const bool ready = s.waitForTip(kTipAttached, backFrom, kPlugTimeout).has_value();
    return s.check(plugged && ready, when + ": plugged in again, the icon says it is ready",
                   plugged ? "no \"Skype Feature-Enabled\" icon message" : "the interface was not listed");
}

}  // namespace

void runHandsetPlugChecks(Environment& env, sim::VirtualHandset& handset) {
    Session s(env, "handset-plug");
    if (!startWithTheHandset(s, handset)) return;
    typingWithoutSkype(s, handset);
    sim::SkypeClient skype;
    if (!attachLateSkype(s, skype)) return s.close();

    if (replug(s, handset, "idle")) expectEveryKeyOnce(s, skype, handset, "after the re-plug");

    const int call = skype.incomingCall("0049-30-1234");
    expectHandset(s, handset, "a call rings the handset", [&] { return handset.ringer(); });
    tap(handset, sim::Key::Yes);
    const auto inProgress = [&] {
        const auto found = skype.call(call);
        return found && found->status == sim::CallStatus::InProgress;
    };
    s.check(skype.waitUntil(inProgress, kHandsetTimeout), "YES answers it");
    if (replug(s, handset, "in a call")) {
        s.check(inProgress(), "in a call: the call goes on while the handset is away");
        tap(handset, sim::Key::No);
        const bool ended = skype.waitUntil(
            [&] {
                const auto found = skype.call(call);
                return found && found->status == sim::CallStatus::Finished;
            },
            kHandsetTimeout);
        s.check(ended, "in a call: after the re-plug NO hangs up");
    }
    s.close();
    s.check(unplugAndWaitForInterface(handset), "the handset is pulled out at the end");
}

}  // namespace e2e
