#include "library_keys.h"

#include <atomic>

namespace winebench {
namespace {

// The callback has no context argument: the one open instance.
std::atomic<LibraryKeys*> current{nullptr};
std::atomic<HANDLE> currentKeyCame{nullptr};

}  // namespace

LibraryKeys::~LibraryKeys() {
    if (open_) library_.Close();
    current = nullptr;
    if (window_ != nullptr) DestroyWindow(window_);
    if (module_ != nullptr) FreeLibrary(module_);
    if (keyCame_ != nullptr) CloseHandle(keyCame_);
}

bool LibraryKeys::Open(std::string& error) {
    module_ = LoadLibraryA("VOCETTA.DLL");
    if (module_ == nullptr) {
        error = "VOCETTA.DLL did not load (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    ResolveUsbPhoneEntryPoints(module_, library_);
    if (library_.Open == nullptr || library_.Bind == nullptr || library_.Close == nullptr) {
        error = "VOCETTA.DLL lacks USBPhone_Open, USBPhone_Bind or USBPhone_Close";
        return false;
    }
    keyCame_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PhonedockBenchLibraryKeys";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, windowClass.lpszClassName, "library keys", 0, 0, 0, 0, 0, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    if (keyCame_ == nullptr || window_ == nullptr) {
        error = "no window or event for the library";
        return false;
    }
    current = this;
    currentKeyCame = keyCame_;
    const int opened = library_.Open(window_);
    open_ = true;
    if (opened != 0) {
        error = "USBPhone_Open answered " + std::to_string(opened) + " (no handset)";
        return false;
    }
    library_.Bind(&LibraryKeys::OnKey, nullptr);
    return true;
}

bool LibraryKeys::WaitForKeys(size_t count, std::chrono::milliseconds timeout) {
    const DWORD start = GetTickCount();
    const DWORD bound = static_cast<DWORD>(timeout.count());
    while (keys_.Count() < count) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= bound) return false;
        if (MsgWaitForMultipleObjects(1, &keyCame_, FALSE, bound - elapsed, QS_ALLINPUT) ==
            WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
    }
    return true;
}

void CALLBACK LibraryKeys::OnKey(int code) {
    const auto at = Clock::now();
    if (LibraryKeys* self = current.load()) {
        self->keys_.Add(code, at);
        SetEvent(currentKeyCame.load());
    }
}

}  // namespace winebench
