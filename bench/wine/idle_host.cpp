// bench_wine_idle.exe: holds one program idle with the virtual handset plugged in, for bench/wine-run to
// measure from outside (Wine's processes are the host's processes), and says what the handset and Skype saw
// meanwhile.
//   phonedock   the real phonedock.exe, attached to the Skype stand-in (this process), its icon in the
//               notification area stand-in (this process)
//   floor       bench_wine_idle_floor.exe
// Once the program is idle it prints "idle: ready <mode> pid <Windows process id>" and waits, looking every
// quarter second, until STOP_FILE exists; then it prints what the handset received and Skype was sent
// meanwhile, and closes the program. Exits non-zero when the program could not be made idle.
//
//   bench_wine_idle.exe phonedock|floor STOP_FILE [BIN_FOLDER]   (default: this program's folder)
#include "attached_program.h"
#include "handset_plugging.h"
#include "program_run.h"
#include "waiting.h"
#include "wine_facts.h"
#include "workspace.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr auto kFloorStart = 10s;
constexpr const char* kFloorWindowClass = "PhonedockBenchIdleFloor";

bool StopAsked(const std::string& stopFile) {
    return GetFileAttributesA(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The output reports by class (byte 1), as "class 3: 30, class 1: 2".
std::string ReportsByClass(const std::vector<sim::HandsetModel::Report>& reports, size_t from) {
    std::map<int, size_t> counts;
    for (size_t i = from; i < reports.size(); ++i) ++counts[reports[i].size() > 1 ? reports[i][1] : -1];
    std::string text;
    for (const auto& [reportClass, count] : counts) {
        if (!text.empty()) text += ", ";
        text += "class " + std::to_string(reportClass) + ": " + std::to_string(count);
    }
    return text.empty() ? "none" : text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: bench_wine_idle.exe phonedock|floor STOP_FILE [BIN_FOLDER]\n");
        return 2;
    }
    winebench::PrintOrigin("bench_wine_idle");
    const std::string mode = argv[1];
    const std::string stopFile = argv[2];
    const std::string bin = argc > 3 ? argv[3] : e2e::driverFolder();

    const std::unique_ptr<sim::VirtualHandset> handset = sim::VirtualHandset::open();
    if (handset == nullptr || !e2e::plugAndWaitForInterface(*handset)) {
        std::printf("idle: FAILED: the virtual handset could not be plugged in\n");
        return 1;
    }

    std::unique_ptr<winebench::AttachedProgram> program;
    e2e::ProgramRun floor;
    DWORD processId = 0;
    std::string error;
    if (mode == "phonedock") {
        program = std::make_unique<winebench::AttachedProgram>(bin);
        if (!program->Start(error)) {
            std::printf("idle: FAILED: %s\n", error.c_str());
            return 1;
        }
        processId = program->ProcessId();
    } else if (mode == "floor") {
        const bool started = floor.start(bin + "\\bench_wine_idle_floor.exe", bin, error) &&
                             handset->waitForReports(1, kFloorStart);
        if (!started) {
            std::printf("idle: FAILED: the floor program did not write to the handset %s\n", error.c_str());
            return 1;
        }
        processId = floor.processId();
    } else {
        std::printf("idle: unknown mode \"%s\"\n", mode.c_str());
        return 2;
    }

    const size_t reportsFrom = handset->receivedCount();
    const size_t commandsFrom = program ? program->Skype().commands().size() : 0;
    const size_t trayFrom = program ? program->TrayCount() : 0;
    const auto start = winebench::Clock::now();
    std::printf("idle: ready %s pid %lu\n", mode.c_str(), static_cast<unsigned long>(processId));
    std::fflush(stdout);
    while (!StopAsked(stopFile)) Sleep(250);
    const double seconds = std::chrono::duration<double>(winebench::Clock::now() - start).count();

    std::printf("idle: %.1f s: the handset received %s\n", seconds,
                ReportsByClass(handset->receivedReports(), reportsFrom).c_str());
    if (program) {
        std::printf("idle: %.1f s: Skype received %zu commands, the notification area %zu icon messages\n",
                    seconds, program->Skype().commands().size() - commandsFrom,
                    program->TrayCount() - trayFrom);
        program->Close();
    } else {
        const HWND window = FindWindowA(kFloorWindowClass, nullptr);
        if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
        if (!floor.waitForExit(5s)) floor.terminate();
    }
    e2e::unplugAndWaitForInterface(*handset);
    return 0;
}
