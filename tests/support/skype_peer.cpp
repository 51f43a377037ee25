// Skype's stand-in as a program of its own, for the tests that meet Skype as another process on Windows
// (support/skype_elsewhere.h). It runs the stand-in with its defaults until the test's process (its one
// argument) is gone or it is ended.
#include "skype/skype_client.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HANDLE test = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
    if (test == nullptr) return 3;
    sim::SkypeClient skype;
    if (!skype.start()) return 4;
    WaitForSingleObject(test, INFINITE);
    CloseHandle(test);
    return 0;
}
