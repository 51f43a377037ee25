// Owners for the system handles the product holds: each one releases its handle exactly once, when it
// goes or when it is given another, and can be moved but not copied. A handle that failed to open is held
// as empty, so an owner can be made straight from the call that opens it.
#pragma once

#include <windows.h>

#include <utility>

namespace owners {

// `Traits` says what an empty handle is, which handles are real, and how one is let go.
template <typename Traits>
class Owner {
public:
    using Handle = typename Traits::Handle;

    Owner() = default;
    explicit Owner(Handle handle) : handle_(Traits::Valid(handle) ? handle : Traits::Empty()) {}
    Owner(Owner&& other) noexcept : handle_(other.Release()) {}
    Owner& operator=(Owner&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    ~Owner() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return Traits::Valid(handle_); }

    // Gives up ownership without releasing: the caller now holds the handle.
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }

    void Reset(Handle handle = Traits::Empty()) {
        Handle old = std::exchange(handle_, Traits::Valid(handle) ? handle : Traits::Empty());
        if (Traits::Valid(old)) Traits::Close(old);
    }

private:
    Handle handle_ = Traits::Empty();
};

// Kernel objects: files, events, threads. Both null and INVALID_HANDLE_VALUE mean "none", since
// CreateFileA fails with the one and CreateEventA with the other.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
using HandleOwner = Owner<KernelHandleTraits>;

struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};
using RegistryKeyOwner = Owner<RegistryKeyTraits>;

}  // namespace owners
