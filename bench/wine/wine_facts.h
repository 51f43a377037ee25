// Where the figures under Wine come from: the Wine version as its ntdll reports it, the build, and the
// clock every figure is read on.
#pragma once

#include <chrono>
#include <string>

namespace winebench {

// Every time stamp of these programs, the Skype stand-in's included. mingw-w64's runtime reads it from
// QueryPerformanceCounter, so a stamp taken in one thread and one taken in another compare directly.
using Clock = std::chrono::steady_clock;

// "wine-8.0 (Debian 8.0~repack-4)"; "not Wine" on Windows itself.
std::string WineVersion();
// "64-bit" or "32-bit": the machine this program (and the build it came with) was made for.
const char* BuildName();
// The first line of each program: "<program>: <Wine version>, <build> build, real time".
void PrintOrigin(const char* program);

}  // namespace winebench
