#include "workspace.h"

#include <windows.h>

#include <fstream>

namespace e2e {
namespace {

bool copyInto(const std::string& from, const std::string& name, const std::string& to, std::string& error) {
    const std::string source = from + "\\" + name;
    if (CopyFileA(source.c_str(), (to + "\\" + name).c_str(), FALSE)) return true;
    error = "cannot copy " + source + " (error " + std::to_string(GetLastError()) + ")";
    return false;
}

bool makeFolder(const std::string& folder, std::string& error) {
    if (CreateDirectoryA(folder.c_str(), nullptr)) return true;
    error = "cannot create " + folder + " (error " + std::to_string(GetLastError()) + ")";
    return false;
}

void removeFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeFolder(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string driverFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string file(path, length);
    const size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? "." : file.substr(0, slash);
}

std::optional<Workspace> prepareWorkspace(const std::string& binFolder, std::string& error) {
    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) {
        error = "no temporary folder";
        return std::nullopt;
    }
    Workspace w;
    w.root = std::string(temp, length) + "pd-e2e-" + std::to_string(GetCurrentProcessId());
    w.withLibrary = w.root + "\\lib";
    w.withoutLibrary = w.root + "\\nolib";
    const std::string markFolder = w.root + "\\mark";
    w.markProgram = markFolder + "\\e2e_mark.exe";
    w.marksFile = markFolder + "\\marks.txt";
    const bool made = makeFolder(w.root, error) && makeFolder(w.withLibrary, error) &&
                      makeFolder(w.withoutLibrary, error) && makeFolder(markFolder, error) &&
                      copyInto(binFolder, "phonedock.exe", w.withLibrary, error) &&
                      copyInto(binFolder, "VOCETTA.DLL", w.withLibrary, error) &&
                      copyInto(binFolder, "vocetta_probe.exe", w.withLibrary, error) &&
                      copyInto(binFolder, "phonedock.exe", w.withoutLibrary, error) &&
                      copyInto(binFolder, "e2e_mark.exe", markFolder, error);
    if (!made) {
        removeWorkspace(w);
        return std::nullopt;
    }
    return w;
}

void removeWorkspace(const Workspace& workspace) {
    if (!workspace.root.empty()) removeFolder(workspace.root);
}

std::vector<std::string> readLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool removeFile(const std::string& file) {
    return DeleteFileA(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace e2e
