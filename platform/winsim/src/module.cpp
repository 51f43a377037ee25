// Modules: LoadLibraryA loads a shared library from the program's own folder (the first place Windows
// looks), so the program and its DLL bind at run time exactly as on Windows.
#include "internal.h"

#include <winsim/control.h>

#include <dlfcn.h>
#include <unistd.h>

#include <strings.h>

#include <climits>
#include <set>
#include <string>

namespace {

using namespace winsim::detail;

// File names that LoadLibraryA pretends not to find, as if they were missing from the program's folder.
std::set<std::string>& missingModules() {
    static std::set<std::string> names;
    return names;
}

ResetHook moduleReset([] { missingModules().clear(); });

bool isMissing(const std::string& fileName) {
    Lock lock(bigLock());
    for (const std::string& missing : missingModules()) {
        if (strcasecmp(missing.c_str(), fileName.c_str()) == 0) return true;
    }
    return false;
}

std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return ".";
    std::string full(path, static_cast<size_t>(n));
    const auto slash = full.rfind('/');
    return slash == std::string::npos ? "." : full.substr(0, slash);
}

}  // namespace

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (lpLibFileName == nullptr || *lpLibFileName == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string path = lpLibFileName;
    if (isMissing(path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (path.find('/') == std::string::npos && path.find('\\') == std::string::npos) {
        path = programFolder() + "/" + path;
    }
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HMODULE>(module);
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (hModule == nullptr || lpProcName == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* symbol = dlsym(hModule, lpProcName);
    if (symbol == nullptr) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    if (hLibModule == nullptr || dlclose(hLibModule) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    // The program's own module: a stable non-null instance handle, as Windows gives.
    if (lpModuleName == nullptr) return static_cast<HMODULE>(dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD));
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

}  // extern "C"

namespace winsim {

void setModuleMissing(const char* fileName) {
    Lock lock(bigLock());
    missingModules().insert(fileName);
}

}  // namespace winsim
