// The folders the driver runs the program from: copies of the build's files in a temporary folder of
// their own, one folder with the device library beside the program and one without it, and the helper
// that stands in for Skype's start command.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Workspace {
    std::string root;            // removed at the end
    std::string withLibrary;     // phonedock.exe, VOCETTA.DLL and vocetta_probe.exe
    std::string withoutLibrary;  // phonedock.exe alone
    std::string markProgram;     // e2e_mark.exe: appends its arguments as a line to marksFile
    std::string marksFile;
    std::string program() const { return withLibrary + "\\phonedock.exe"; }
    std::string programWithoutLibrary() const { return withoutLibrary + "\\phonedock.exe"; }
};

// Copies phonedock.exe, VOCETTA.DLL and e2e_mark.exe from `binFolder`. Nothing, with the reason, on failure.
std::optional<Workspace> prepareWorkspace(const std::string& binFolder, std::string& error);
void removeWorkspace(const Workspace& workspace);

// The folder of the running driver.
std::string driverFolder();
// The lines of a text file (CR LF or LF); none when it does not exist.
std::vector<std::string> readLines(const std::string& file);
bool removeFile(const std::string& file);

}  // namespace e2e
