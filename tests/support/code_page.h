// What the system's ANSI code page makes of a text, for tests of the conversions between a window's ANSI and
// wide forms. A Windows system converts by its own code page (Windows-1252 under Wine here, where 'é' is
// 0xE9); winsim's ANSI code page is ASCII, which turns every other character into '?'.
#pragma once

#include <windows.h>

#include <string>

namespace winsim_test {

inline std::string ansiOf(const std::wstring& text) {
#ifdef _WIN32
    const int length = static_cast<int>(text.size());
    std::string out(static_cast<size_t>(length) * 2, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<size_t>(n));
    return out;
#else
    std::string out;
    for (wchar_t c : text) out += c <= 0x7F ? static_cast<char>(c) : '?';
    return out;
#endif
}

inline std::wstring wideOf(const std::string& text) {
#ifdef _WIN32
    const int length = static_cast<int>(text.size());
    std::wstring out(static_cast<size_t>(length), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), length);
    out.resize(static_cast<size_t>(n));
    return out;
#else
    std::wstring out;
    for (char c : text) out += static_cast<unsigned char>(c) <= 0x7F ? static_cast<wchar_t>(c) : L'?';
    return out;
#endif
}

}  // namespace winsim_test
