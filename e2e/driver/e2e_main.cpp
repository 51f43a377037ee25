// phonedock_e2e.exe: runs the real phonedock.exe beside the real VOCETTA.DLL on a real Win32 system, plays
// Skype's side with the Skype stand-in on a thread of its own (to the program, another program) and the
// notification area with a window of its own, and checks what the program does through outside effects
// only. Prints one PASS or FAIL line per check and a closing count; exits 0 only when every check passed.
//
//   phonedock_e2e.exe [BIN_FOLDER]   BIN_FOLDER holds phonedock.exe, VOCETTA.DLL, e2e_mark.exe and
//                                    vocetta_probe.exe; the virtual handset's drivers must be installed
//                                    (default: the driver's own folder)
#include "checks.h"
#include "registry.h"

#include "handset/virtual_handset.h"

#include <cstdio>

int main(int argc, char** argv) {
    using namespace e2e;
    Report report;
    const std::string binFolder = argc > 1 ? argv[1] : driverFolder();
    std::string error;
    const std::optional<Workspace> workspace = prepareWorkspace(binFolder, error);
    if (!report.check(workspace.has_value(), "setup: the program's files are copied to folders of their own",
                      error)) {
        report.summary();
        return 1;
    }
    report.note("program folder: " + workspace->withLibrary);

    bool ready = false;
    {
        TrayStandIn tray;
        Environment env{
            report, *workspace, tray,
            loadIconPictures(workspace->program(), {kIconAttached, kIconNoHandset, kIconNoSkype})};
        ready =
            report.check(tray.window() != nullptr, "setup: the notification area stand-in is up",
                         "no Shell_TrayWnd window") &&
            report.check(env.icons.size() == 3, "setup: icons 129, 130 and 131 load from phonedock.exe",
                         std::to_string(env.icons.size()) + " of 3") &&
            // Otherwise a picture compared with one of them would tell nothing about the state shown.
            report.check(env.icons[kIconAttached] != env.icons[kIconNoHandset] &&
                             env.icons[kIconNoHandset] != env.icons[kIconNoSkype] &&
                             env.icons[kIconAttached] != env.icons[kIconNoSkype],
                         "setup: the three state icons are different pictures", "two of them are the same");
        if (ready) {
            runStartupChecks(env);
            runLateSkypeChecks(env);
            runCallChecks(env);
            runSkypeLossChecks(env);
            runBadNotificationChecks(env);
            runAboutChecks(env);
            runDesktopChecks(env);
            runNoLibraryChecks(env);
            // The virtual handset's drivers are installed in the prefix before the driver starts.
            const std::unique_ptr<sim::VirtualHandset> handset = sim::VirtualHandset::open();
            if (report.check(handset != nullptr, "setup: the virtual handset's drivers answer",
                             "\\\\.\\PhonedockVirtualHandset cannot be opened")) {
                runHandsetChecks(env, *handset);
                runHandsetPlugChecks(env, *handset);
                runProbeChecks(env, *handset);
            }
            report.check(tray.undecodedCount() == 0, "every icon message is in the shell's layout",
                         std::to_string(tray.undecodedCount()) + " were not");
        }
    }
    deleteUserValue(kSkypePhoneKey, kSkypePathValue);
    removeWorkspace(*workspace);
    return report.summary() ? 0 : 1;
}
