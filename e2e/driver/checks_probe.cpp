// VOCETTA.DLL on its own, driven by vocetta_probe.exe with the handset there: an EEPROM written and read
// back, a read from inside the key callback, and a read the handset never answers.
#include "checks.h"
#include "handset_world.h"
#include "waiting.h"

#include <mutex>
#include <thread>
#include <vector>

namespace e2e {
namespace {

constexpr auto kProbeTimeout = 15s;
const char* const kWrittenHex = "A0A1A2A3A4A5A6A7";
// A read's line; the space keeps "probe: ready" from passing for one.
const char* const kReadLine = "probe: read ";

// One run of the probe, its output read line by line as it comes.
class ProbeRun {
  public:
    ProbeRun(const std::string& folder, const std::string& step) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE writeEnd = nullptr;
        if (!CreatePipe(&readEnd_, &writeEnd, &inherit, 0)) return;
        SetHandleInformation(readEnd_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        std::string command = "\"" + folder + "\\vocetta_probe.exe\" " + step;
        PROCESS_INFORMATION info{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                           &startup, &info)) {
            process_ = info.hProcess;
            CloseHandle(info.hThread);
        }
        CloseHandle(writeEnd);  // the probe holds the only writing end: its end is the pipe's end
        reader_ = std::thread([this] { readLines(); });
    }
    ~ProbeRun() {
        if (process_ != nullptr && WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        if (reader_.joinable()) reader_.join();
        if (process_ != nullptr) CloseHandle(process_);
        if (readEnd_ != nullptr) CloseHandle(readEnd_);
    }
    bool started() const { return process_ != nullptr; }
    // The first line that starts with `prefix`, once it has come; empty when it did not in time.
    std::string waitForLine(const std::string& prefix, std::chrono::milliseconds timeout) {
        std::string found;
        waitFor(
            [&] {
                std::lock_guard<std::mutex> lock(mutex_);
                for (const std::string& line : lines_) {
                    if (line.rfind(prefix, 0) == 0) {
                        found = line;
                        return true;
                    }
                }
                return false;
            },
            timeout);
        return found;
    }
    std::string output() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string all;
        DWORD code = 0;
        if (process_ != nullptr && GetExitCodeProcess(process_, &code) && code != STILL_ACTIVE)
            all = "exited with " + std::to_string(code);
        for (const std::string& line : lines_) {
            if (!all.empty()) all += " | ";
            all += line;
        }
        return all.empty() ? "no output" : all;
    }

  private:
    void readLines() {
        std::string pending;
        char buffer[256];
        DWORD got = 0;
        while (ReadFile(readEnd_, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            pending.append(buffer, got);
            size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, end);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                pending.erase(0, end + 1);
                std::lock_guard<std::mutex> lock(mutex_);
                lines_.push_back(line);
            }
        }
    }

    HANDLE readEnd_ = nullptr;
    HANDLE process_ = nullptr;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::thread reader_;
};

// "probe: read <result> <hex> <ms>" split into its fields.
struct ReadLine {
    int result = 99;
    std::string hex;
    int ms = -1;
};

ReadLine parseRead(const std::string& line) {
    ReadLine read;
    char hex[600] = {};
    std::sscanf(line.c_str(), "probe: read %d %599s %d", &read.result, hex, &read.ms);
    read.hex = hex;
    return read;
}

}  // namespace

void runProbeChecks(Environment& env, sim::VirtualHandset& handset) {
    Session s(env, "probe");
    if (!s.check(plugAndWaitForInterface(handset), "the handset is plugged in and listed")) return;
    const std::string folder = env.workspace.withLibrary;
    {
        ProbeRun probe(folder, "eeprom");
        const std::string line = probe.waitForLine(kReadLine, kProbeTimeout);
        bool stored = true;
        for (int i = 0; i < 8; ++i)
            stored = stored && handset.eeprom(static_cast<uint8_t>(17 + i)) == 0xA0 + i;
        s.check(probe.started() && probe.waitForLine("probe: write 0", 0ms).size() > 0 && stored,
                "8 bytes written at address 16 reach the handset's EEPROM", probe.output());
        const ReadLine read = parseRead(line);
        s.check(read.result == 0 && read.hex == kWrittenHex, "they read back the same", probe.output());
    }
    {
        ProbeRun probe(folder, "callback");
        const bool ready = !probe.waitForLine("probe: ready", kProbeTimeout).empty();
        if (ready) tap(handset, sim::Key::Digit7);
        const ReadLine read = parseRead(probe.waitForLine(kReadLine, kProbeTimeout));
        s.check(ready && !probe.waitForLine("probe: key 7", 0ms).empty() && read.result == 0 &&
                    read.hex == kWrittenHex,
                "a read from inside the key callback gets the bytes", probe.output());
    }
    {
        handset.dropEepromAnswers(sim::HandsetModel::kAlways);
        ProbeRun probe(folder, "unanswered");
        const ReadLine read = parseRead(probe.waitForLine(kReadLine, kProbeTimeout));
        s.check(read.result == -1 && read.hex == std::string(32, 'E') && read.ms >= 0 && read.ms < 2000,
                "a read the handset never answers fails within its bound and leaves the buffer alone",
                probe.output());
        s.check(!probe.waitForLine("probe: close 0", 5s).empty(), "the probe closes the library afterwards",
                probe.output());
        handset.dropEepromAnswers(0);
    }
    s.check(unplugAndWaitForInterface(handset), "the handset is pulled out at the end");
}

}  // namespace e2e
