#include "wine_facts.h"

#include <windows.h>

#include <cstdio>

namespace winebench {

std::string WineVersion() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return "not Wine";
    using VersionFn = const char*(CDECL*)();
    // The build id names the packaging as well ("wine-8.0 (Debian ...)"); older Wines have only the version.
    for (const char* name : {"wine_get_build_id", "wine_get_version"}) {
        const auto fn = reinterpret_cast<VersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, name)));
        if (fn != nullptr && fn() != nullptr) return fn();
    }
    return "not Wine";
}

const char* BuildName() {
    return sizeof(void*) == 8 ? "64-bit" : "32-bit";
}

void PrintOrigin(const char* program) {
    std::printf("%s: %s, %s build, real time\n", program, WineVersion().c_str(), BuildName());
    std::fflush(stdout);
}

}  // namespace winebench
