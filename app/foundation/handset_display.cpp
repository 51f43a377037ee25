#include "foundation/handset_display.h"

#include "foundation/handset_api.h"
#include "foundation/shared_state.h"
#include "foundation/dial_buffer.h"
#include "foundation/lcd_text.h"

#include <mutex>
#include <string>

namespace phonedock {

void ClearHandsetDisplay() {
    HandsetDisplay({LCD_CLEAR_ALL, 0, 0, nullptr, 0});
    HandsetLight(0);
}

void SetInCallState(int on) {
    HandsetDisplay({LCD_INDICATOR, on, 0, nullptr, 0});
    HandsetLight(on);
    inCall = on != 0;
    if (on == 1) muteState = MUTE_OFF;
}

void ShowSkypeStatus(int on) {
    HandsetDisplay({LCD_BAR_LEVEL, on, on == 1 ? 6 : 0, nullptr, 0});
}

void ShowDialBuffer() {
    // The key thread and the main thread both redraw: the copy and its display go together, so the last
    // text taken is the last one shown.
    static std::mutex redraw;
    std::lock_guard<std::mutex> lock(redraw);
    const DialBuffer::Snapshot shown = dialBuffer.Copy();
    if (shown.length <= 0) {
        HandsetDisplay({LCD_CLOCK, 1, 6, shown.text, 1});
        return;
    }
    const std::string cells = LcdText({shown.text, static_cast<size_t>(shown.length)});
    HandsetDisplay({LCD_TEXT, 1, 6, cells.c_str(), 1});
}

}  // namespace phonedock
