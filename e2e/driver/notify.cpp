#include "notify.h"

#include <vector>

namespace e2e {
namespace {

constexpr UINT kSendTimeoutMs = 3000;

bool sendCopyData(HWND program, HWND from, void* data, DWORD size) {
    COPYDATASTRUCT copy{};
    copy.dwData = 0;
    copy.cbData = size;
    copy.lpData = data;
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(program, WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                               reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               &result) != 0;
}

}  // namespace

bool sendNotification(HWND program, HWND from, const std::string& text, bool terminated) {
    std::vector<char> bytes(text.begin(), text.end());
    if (terminated) bytes.push_back('\0');
    return sendCopyData(program, from, bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool sendEmptyNotification(HWND program, HWND from) {
    return sendCopyData(program, from, nullptr, 0);
}

}  // namespace e2e
