// e2e_mark.exe: what the driver registers as Skype's start command. Each run appends its command line's
// arguments as one line to marks.txt beside itself, so the driver can count how often it was started and
// see the arguments it was given. A windowless program: nothing appears on the screen.
#include <windows.h>

#include <string>

namespace {

std::string marksFileBesideThisProgram() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, length);
    const size_t slash = file.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + "marks.txt";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    const std::string line = std::string(commandLine != nullptr ? commandLine : "") + "\r\n";
    const HANDLE file = CreateFileA(marksFileBesideThisProgram().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
