#include "key_dispatch.h"

#include "audio/tone_player.h"
#include "foundation/dial_buffer.h"
#include "foundation/handset_display.h"
#include "foundation/handset_api.h"
#include "foundation/shared_state.h"
#include "skype/skype_link.h"
#include "skype/skype_windows.h"

#include <windows.h>

#include <cstdio>

namespace phonedock {
namespace {

// Presses and releases a Skype button, then sends or plays the DTMF tone of a digit, '*' or '#'.
void PressSkypeButton(const char* name);
void ToggleMute();
void SendHookState(bool onHook);
void AnswerRingingCall(int callId);

constexpr DWORD kButtonHoldMs = 10;

void Click() {
    PlayTone(KEY_CLICK_TONE);
}
void Focus() {
    SendSkypeCommand("FOCUS");
}

void AppendAndShow(char c) {
    dialBuffer.Append(c);
    ShowDialBuffer();
}

// The number being dialled is abandoned: the buffer and Skype's field are emptied and its window closed.
void HangUpWindows() {
    dialBuffer.Clear();
    ShowDialBuffer();
    ClearSkypeEditField();
    if (const HWND main = FindSkypeMainWindow()) PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void OnYes() {
    Click();
    const HWND main = FindSkypeMainWindow();
    skypeMainWindow = main;
    // Looked at before FOCUS, which may bring Skype's window up.
    const bool shown = main != nullptr && !IsIconic(main) && IsWindowVisible(main);
    Focus();
    if (shown) PressSkypeButton("YES");
    if (const int32_t ringing = ringingCallId; ringing > 0) AnswerRingingCall(ringing);
}

void OnDigit(char digit) {
    const char name[2] = {digit, '\0'};
    Focus();
    PressSkypeButton(name);
    AppendAndShow(digit);
}

// In a call the star is a DTMF digit; otherwise it brings up Skype.
void OnStar() {
    if (inCall) return OnDigit('*');
    Click();
    Focus();
    PressSkypeButton("SKYPE");
}

// In a call the hash is a DTMF digit; otherwise it starts an international number.
void OnHash() {
    if (inCall) return OnDigit('#');
    Focus();
    Click();
    PressSkypeButton("+");
    AppendAndShow('+');
}

void OnNo() {
    Click();
    PressSkypeButton("NO");
    HangUpWindows();
}

void OnArrow(const char* button) {
    Click();
    Focus();
    PressSkypeButton(button);
}

void OnHangUp() {
    if (hookState == HOOK_ON) return;
    hookState = HOOK_ON;
    SendHookState(true);
    HangUpWindows();
}

void OnLift() {
    if (hookState == HOOK_OFF) return;
    hookState = HOOK_OFF;
    Focus();
    SendHookState(false);
}

void OnClear() {
    Click();
    SendBackspaceToSkypeEdit();
    dialBuffer.DeleteLast();
    ShowDialBuffer();
}

// The index of a DTMF symbol in the tone table, or -1.
int DtmfIndex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c == '*') return 10;
    if (c == '#') return 11;
    return -1;
}

void PressSkypeButton(const char* name) {
    SendSkypeCommandf("BTN_PRESSED %s", name);
    Sleep(kButtonHoldMs);
    SendSkypeCommandf("BTN_RELEASED %s", name);
    const int dtmf = DtmfIndex(name[0]);
    if (dtmf < 0) return;
    if (inCall) {
        SendSkypeCommandf("SET CALL %d DTMF %c", dtmfCallId.load(), name[0]);
    } else {
        PlayDtmfTone(dtmf);
    }
}

void ToggleMute() {
    if (!inCall) {
        HandsetLight(0);
        return;
    }
    const int32_t mute = muteState;
    if (mute == MUTE_ON) {
        SendSkypeCommand("SET MUTE OFF");
        HandsetLight(1);
    } else if (mute == MUTE_OFF) {
        // The command word's case is the one the program has always sent; Skype reads it either way.
        SendSkypeCommand("Set MUTE ON");
        HandsetLight(0);
    } else {
        return;
    }
    Click();
    SendSkypeCommand("GET MUTE");
}

void SendHookState(bool onHook) {
    SendSkypeCommand(onHook ? "HOOK ON" : "HOOK OFF");
}

void AnswerRingingCall(int callId) {
    SendSkypeCommandf("SET CALL %d STATUS INPROGRESS", callId);
}

}  // namespace

void DispatchKeyWithSkype(int code) {
    if (code >= KEY_0 && code <= KEY_9) return OnDigit(static_cast<char>('0' + code));
    switch (code) {
        case KEY_STAR: return OnStar();
        case KEY_HASH: return OnHash();
        case KEY_NO: return OnNo();
        case KEY_UP: return OnArrow("UP");
        case KEY_YES: return OnYes();
        case KEY_DOWN: return OnArrow("DOWN");
        case KEY_ON_HOOK: return OnHangUp();
        case KEY_OFF_HOOK: return OnLift();
        case KEY_MUTE: return ToggleMute();
        case KEY_CLEAR: return OnClear();
        default: return;
    }
}

}  // namespace phonedock
