// What a desktop expects of a notification-area program: the icon comes back, as it was, when the shell
// restarts ("TaskbarCreated"), and never twice; the session's end (WM_ENDSESSION) stops the program as its
// own shutdown does, without a question. And what the files say of themselves: their version blocks.
#include "checks.h"
#include "waiting.h"
#include "shell/tray_icon.h"

#include <shellapi.h>

#include <cstdio>
#include <vector>

namespace e2e {
namespace {

constexpr auto kEndSessionTimeout = 10s;  // the answer comes after the handset and icon are done with

// The first message from index `from` on that is `nim`; nothing when none came in time.
std::optional<TrayMessage> waitForTrayMessage(Session& s, uint64_t nim, size_t from,
                                              std::chrono::milliseconds timeout) {
    std::optional<TrayMessage> found;
    waitFor(
        [&] {
            const std::vector<TrayMessage> messages = s.trayMessages();
            for (size_t i = from; i < messages.size(); ++i) {
                if (messages[i].message == nim) {
                    found = messages[i];
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

bool dialogOf(DWORD processId) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExA(nullptr, dialog, "#32770", nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        if (owner == processId) return true;
    }
    return false;
}

void checkShellRestart(Session& s) {
    TrayStandIn& tray = s.env().tray;
    size_t from = s.trayMessages().size();
    if (!s.check(tray.restart(), "the shell's restart is announced", "TaskbarCreated could not be posted"))
        return;
    const std::optional<TrayMessage> added = waitForTrayMessage(s, NIM_ADD, from, kAnswerTimeout);
    if (!s.check(added.has_value(), "after the shell's restart the icon is added again",
                 "no NIM_ADD within 3 s"))
        return;
    s.check(added->id == phonedock::kTrayIconId && added->flags == (NIF_MESSAGE | NIF_ICON | NIF_TIP) &&
                added->callbackMessage == WM_USER + 5 && added->tip == kTipNoHandset,
            "it comes back with its callback and the tooltip it showed",
            "flags " + std::to_string(added->flags) + ", tip \"" + added->tip + "\"");
    s.check(s.pictureMismatch(*added, kIconNoHandset).empty(),
            "it comes back with the picture it showed (130)", s.pictureMismatch(*added, kIconNoHandset));
    s.check(tray.iconsOf(s.window()) == 1, "the new shell holds one icon of the program",
            std::to_string(tray.iconsOf(s.window())) + " icons");

    // The message again while the shell holds the icon: the add is refused, and still there is one icon.
    from = s.trayMessages().size();
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    const std::optional<TrayMessage> modified = waitForTrayMessage(s, NIM_MODIFY, from, kAnswerTimeout);
    s.check(modified.has_value() && modified->tip == kTipNoHandset && tray.iconsOf(s.window()) == 1,
            "TaskbarCreated while the icon is there leaves one icon, brought up to date",
            std::to_string(tray.iconsOf(s.window())) + " icons" +
                (modified ? "" : ", no NIM_MODIFY after the refused add"));
}

void checkEndSession(Session& s) {
    TrayStandIn& tray = s.env().tray;
    DWORD_PTR answer = 0;
    const bool asked =
        SendMessageTimeoutA(s.window(), WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
    s.check(asked && answer == TRUE, "the program lets the session end",
            "it answered " + std::to_string(answer));
    SendMessageTimeoutA(s.window(), WM_ENDSESSION, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    s.check(s.program().running() && tray.iconsOf(s.window()) == 1,
            "an end of session that is called off changes nothing",
            s.program().running() ? "its icon is gone" : "the program ended");

    const size_t from = s.trayMessages().size();
    const bool delivered =
        SendMessageTimeoutA(s.window(), WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG,
                            static_cast<UINT>(kEndSessionTimeout.count() * 1000), &answer) != 0;
    // Everything is done before the answer: the process may be ended as soon as it is given.
    const std::vector<TrayMessage> messages = s.trayMessages();
    const bool removed = messages.size() > from && messages.back().message == NIM_DELETE;
    s.check(delivered && removed && tray.iconsOf(s.window()) == 0,
            "the session's end removes the icon before it is answered",
            delivered ? "the icon is still there" : "no answer within 10 s");
    s.check(!dialogOf(s.program().processId()), "the session's end asks no question", "a dialog is open");
    const std::optional<DWORD> code = s.program().waitForExit(kExitTimeout);
    s.check(code.has_value() && *code == 0, "then the program ends with exit code 0",
            code ? "exit code " + std::to_string(*code) : "still running 6 s later");
    size_t deletes = 0;
    for (const TrayMessage& m : s.trayMessages()) deletes += m.message == NIM_DELETE ? 1 : 0;
    s.check(deletes == 1, "the icon is removed once", std::to_string(deletes) + " removals");
    if (!code) s.program().terminate();
}

// One string of a file's version block (its first translation); empty when there is none.
std::string versionString(const std::vector<char>& block, const char* name) {
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &size) ||
        size < sizeof(Translation)) {
        return {};
    }
    char path[128];
    snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
             translation->codePage, name);
    char* text = nullptr;
    if (!VerQueryValueA(block.data(), path, reinterpret_cast<void**>(&text), &size) || size == 0) return {};
    return text;
}

std::vector<char> versionBlock(const std::string& file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return {};
    return block;
}

DWORD fileType(const std::vector<char>& block) {
    VS_FIXEDFILEINFO* info = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &size) || size < sizeof *info)
        return 0;
    return info->dwFileType;
}

void checkVersionBlocks(Environment& env) {
    Report& report = env.report;
    const std::vector<char> program = versionBlock(env.workspace.program());
    const std::vector<char> library = versionBlock(env.workspace.withLibrary + "\\VOCETTA.DLL");
    if (!report.check(!program.empty() && !library.empty(),
                      "files: phonedock.exe and VOCETTA.DLL have version blocks",
                      program.empty() ? "phonedock.exe has none" : "VOCETTA.DLL has none"))
        return;
    const std::string product = versionString(program, "ProductName");
    report.check(versionString(program, "FileVersion") == "0, 9, 1, 9" &&
                     versionString(program, "ProductVersion") == "1, 0, 0, 1" &&
                     versionString(program, "OriginalFilename") == "phonedock.exe" &&
                     fileType(program) == VFT_APP,
                 "files: phonedock.exe is version 0.9.1.9 of product 1.0.0.1",
                 "file version \"" + versionString(program, "FileVersion") + "\", product version \"" +
                     versionString(program, "ProductVersion") + "\"");
    const std::string description = versionString(library, "FileDescription");
    report.check(
        !product.empty() && versionString(library, "ProductName") == product &&
            versionString(library, "ProductVersion") == "1, 0, 0, 1" && !description.empty() &&
            description != versionString(program, "FileDescription") &&
            versionString(library, "OriginalFilename") == "VOCETTA.DLL" && fileType(library) == VFT_DLL,
        "files: VOCETTA.DLL is the same product with a description of its own",
        "product \"" + versionString(library, "ProductName") + "\", description \"" + description + "\"");
}

}  // namespace

void runDesktopChecks(Environment& env) {
    checkVersionBlocks(env);
    Session s(env, "desktop");
    sim::SkypeClient skype;
    if (!s.startAttached(skype)) return;
    checkShellRestart(s);
    checkEndSession(s);
}

}  // namespace e2e
