// vhandset_smoke.exe: proves the virtual handset on the system's own HID stack, with its drivers installed
// (vhandset_install.exe). It plugs the handset in through the link, finds and opens it as the product's
// library does, carries reports both ways, pulls it out, and does it all again.
//
//   vhandset_smoke [--cycles N]    then N more plug and unplug cycles, each waiting for the interface to
//                                  come and go, with reports carried every 50th
//
// Prints "PASS name" or "FAIL name: reason" per check and "smoke: N passed, M failed"; exits 0 when all
// passed.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dbt.h>

#include "device_notices.h"
#include "hid_handset.h"
#include "host_io.h"
#include "link_checks.h"
#include "verdicts.h"
#include "virtual_handset_link.h"

namespace smoke {
namespace {

const vhandset::DeviceShape kShape;  // the handset: 04B4:0302, reports 18 in, 34 out
constexpr DWORD kArrivalBoundMs = 10000;
constexpr DWORD kReportBoundMs = 2000;

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

// A device-change notice of `kind` after `mark`, as a window registered for HID interfaces gets it.
void CheckNotice(Verdicts& verdicts, DeviceNotices& notices, WPARAM kind, size_t mark, DWORD calledAt,
                 const std::string& name) {
    const DWORD at = notices.WaitFor(kind, mark, kArrivalBoundMs);
    if (verdicts.Check(at != 0, name, "none within " + std::to_string(kArrivalBoundMs) + " ms"))
        verdicts.Note("it came " + std::to_string(at - calledAt) + " ms after the call");
}

// Plugs the handset in and opens it once its interface is listed.
bool PlugAndOpen(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset, const std::string& when) {
    if (!verdicts.Check(link.Plug(kShape), "plug in (" + when + ")",
                        ErrorText("Plug", vhandset::Link::LastError())))
        return false;
    std::string path;
    const long arrival = WaitForInterface(kShape.vendorId, kShape.productId, true, kArrivalBoundMs, &path);
    if (!verdicts.Check(arrival >= 0, "the interface appears (" + when + ")",
                        "not listed after " + std::to_string(kArrivalBoundMs) + " ms"))
        return false;
    verdicts.Note("interface listed and opened " + std::to_string(arrival) + " ms after Plug returned");
    const bool opened = OpenHandset(path, handset);
    return verdicts.Check(opened && handset.caps.InputReportByteLength == kShape.inputReportLength &&
                              handset.caps.OutputReportByteLength == kShape.outputReportLength,
                          "opens with two handles; HidP_GetCaps says 18 in, 34 out (" + when + ")",
                          opened ? "caps " + std::to_string(handset.caps.InputReportByteLength) + "/" +
                                       std::to_string(handset.caps.OutputReportByteLength)
                                 : ErrorText("open", GetLastError()));
}

bool WaitForPendingRead(vhandset::Link& link, DWORD boundMs) {
    const DWORD started = GetTickCount();
    while (link.PendingReads() < 1) {
        if (GetTickCount() - started > boundMs) return false;
        Sleep(2);
    }
    return true;
}

bool CarryOutput(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset, uint8_t seed,
                 const std::string& name) {
    const std::vector<uint8_t> written = PatternReport(kShape.outputReportLength, seed);
    DWORD count = 0;
    if (!WriteFile(handset.sync.Get(), written.data(), static_cast<DWORD>(written.size()), &count, nullptr) ||
        count != written.size())
        return verdicts.Check(false, name, ErrorText("WriteFile", GetLastError()));
    std::vector<uint8_t> taken;
    if (!link.TakeOutput(taken, kReportBoundMs))
        return verdicts.Check(false, name, ErrorText("TakeOutput", vhandset::Link::LastError()));
    return verdicts.Check(taken == written, name, "took " + Hex(taken) + ", wrote " + Hex(written));
}

bool CarryInput(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset,
                const std::vector<uint8_t>& sent, const std::vector<uint8_t>& expected,
                const std::string& name) {
    PendingRead read;
    DWORD error = 0;
    if (!read.Start(handset.overlapped.Get(), handset.caps.InputReportByteLength, error))
        return verdicts.Check(false, name, ErrorText("ReadFile", error));
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    if (!link.SendInput(sent.data(), sent.size()))
        return verdicts.Check(false, name, ErrorText("SendInput", vhandset::Link::LastError()));
    std::vector<uint8_t> got;
    const bool came = read.Wait(kReportBoundMs, got, error);
    QueryPerformanceCounter(&after);
    if (!came) return verdicts.Check(false, name, ErrorText("the read", error));
    const bool same =
        verdicts.Check(got == expected, name, "read " + Hex(got) + ", expected " + Hex(expected));
    if (same)
        verdicts.Note("SendInput to the read completing: " + std::to_string(Milliseconds(before, after)) +
                      " ms");
    return same;
}

void RoundTrip(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset, uint8_t seed,
               const std::string& when) {
    CarryOutput(verdicts, link, handset, seed, "an output report reaches the link unchanged (" + when + ")");
    const std::vector<uint8_t> input =
        PatternReport(kShape.inputReportLength, static_cast<uint8_t>(seed + 1));
    CarryInput(verdicts, link, handset, input, input,
               "an input report reaches an overlapped read unchanged (" + when + ")");
}

// Reports queue in order while nobody takes them; a short input report arrives whole, padded with zeros.
void CheckQueues(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset) {
    const std::vector<uint8_t> first = PatternReport(kShape.outputReportLength, 0x40);
    const std::vector<uint8_t> second = PatternReport(kShape.outputReportLength, 0x80);
    DWORD count = 0;
    const bool wrote =
        WriteFile(handset.sync.Get(), first.data(), static_cast<DWORD>(first.size()), &count, nullptr) &&
        WriteFile(handset.sync.Get(), second.data(), static_cast<DWORD>(second.size()), &count, nullptr);
    std::vector<uint8_t> takenFirst, takenSecond;
    const bool took =
        wrote && link.TakeOutput(takenFirst, kReportBoundMs) && link.TakeOutput(takenSecond, kReportBoundMs);
    verdicts.Check(
        took && takenFirst == first && takenSecond == second,
        "two output reports written before any take are taken in the order written",
        ErrorText(wrote ? "TakeOutput" : "WriteFile", wrote ? vhandset::Link::LastError() : GetLastError()));

    // Faster than the host reads: the handset queues them, and they are read whole and in order.
    std::vector<std::vector<uint8_t>> burst;
    bool sent = true;
    for (uint8_t seed = 0x50; seed < 0x58; ++seed) {
        burst.push_back(PatternReport(kShape.inputReportLength, seed));
        sent = sent && link.SendInput(burst.back().data(), burst.back().size());
    }
    std::vector<std::vector<uint8_t>> read;
    DWORD error = 0;
    for (size_t i = 0; sent && i < burst.size(); ++i) {
        PendingRead next;
        std::vector<uint8_t> report;
        if (!next.Start(handset.overlapped.Get(), kShape.inputReportLength, error) ||
            !next.Wait(kReportBoundMs, report, error))
            break;
        read.push_back(report);
    }
    verdicts.Check(sent && read == burst, "eight input reports sent at once are read whole and in order",
                   sent ? ErrorText(std::to_string(read.size()) + " read", error)
                        : ErrorText("SendInput", vhandset::Link::LastError()));

    const std::vector<uint8_t> shortReport = {0, 0x11, 0x22, 0x33};
    std::vector<uint8_t> padded(kShape.inputReportLength, 0);
    std::copy(shortReport.begin(), shortReport.end(), padded.begin());
    CarryInput(verdicts, link, handset, shortReport, padded,
               "a short input report is read whole, padded with zeros");
}

// Fifty input reports, each sent with a read waiting for it, as a key press meets the library's reader.
void CheckInputLatency(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset) {
    std::vector<double> latencies;
    DWORD error = 0;
    for (int i = 0; i < 50; ++i) {
        const std::vector<uint8_t> sent =
            PatternReport(kShape.inputReportLength, static_cast<uint8_t>(0x60 + i));
        PendingRead read;
        if (!read.Start(handset.overlapped.Get(), kShape.inputReportLength, error)) break;
        Sleep(1);  // the read is waiting when the report comes
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        std::vector<uint8_t> got;
        if (!link.SendInput(sent.data(), sent.size()) || !read.Wait(kReportBoundMs, got, error) ||
            got != sent)
            break;
        QueryPerformanceCounter(&after);
        latencies.push_back(Milliseconds(before, after));
    }
    if (!verdicts.Check(latencies.size() == 50,
                        "fifty input reports, one at a time, each reach the read waiting",
                        ErrorText(std::to_string(latencies.size()) + " did", error)))
        return;
    std::sort(latencies.begin(), latencies.end());
    verdicts.Note("SendInput to the read completing: median " + std::to_string(latencies[25]) +
                  " ms, worst " + std::to_string(latencies.back()) + " ms");
}

// Pulls the handset out under an open handle with a read pending, as a user would.
void UnplugUnderUse(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset) {
    PendingRead pending;
    DWORD error = 0;
    const bool started = pending.Start(handset.overlapped.Get(), handset.caps.InputReportByteLength, error);
    if (!verdicts.Check(link.Unplug(), "unplug", ErrorText("Unplug", vhandset::Link::LastError()))) return;

    std::vector<uint8_t> got;
    const bool read = started && pending.Wait(kReportBoundMs, got, error);
    if (verdicts.Check(started && !read && error != WAIT_TIMEOUT, "a read pending at unplug fails",
                       read ? "it read " + Hex(got) : ErrorText("it did not end", error)))
        verdicts.Note("the pending read ended with error " + std::to_string(error));

    const long gone = WaitForInterface(kShape.vendorId, kShape.productId, false, kArrivalBoundMs, nullptr);
    if (verdicts.Check(gone >= 0, "the interface disappears", "still listed"))
        verdicts.Note("interface gone " + std::to_string(gone) + " ms after Unplug returned");

    const std::vector<uint8_t> output = PatternReport(kShape.outputReportLength, 1);
    DWORD count = 0;
    const bool wrote =
        WriteFile(handset.sync.Get(), output.data(), static_cast<DWORD>(output.size()), &count, nullptr);
    PendingRead late;
    const bool lateStarted = late.Start(handset.overlapped.Get(), handset.caps.InputReportByteLength, error);
    const bool lateRead = lateStarted && late.Wait(500, got, error);
    verdicts.Check(!wrote && !lateRead, "the old handles' writes and reads fail",
                   std::string(wrote ? "a write succeeded" : "a read succeeded"));
    verdicts.Check(link.PendingReads() == 0, "no read is pending once the handset is out",
                   std::to_string(link.PendingReads()) + " pending");
    const bool second = link.Unplug();
    verdicts.Check(!second, "unplugging again is refused");
    handset = OpenedHandset{};
}

// Pulled out and plugged straight back in, leaving an output report nobody took.
void ReplugAtOnce(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset) {
    const std::vector<uint8_t> untaken = PatternReport(kShape.outputReportLength, 0x30);
    DWORD count = 0;
    WriteFile(handset.sync.Get(), untaken.data(), static_cast<DWORD>(untaken.size()), &count, nullptr);
    handset = OpenedHandset{};
    if (!verdicts.Check(link.Unplug(), "unplug (again)", ErrorText("Unplug", vhandset::Link::LastError())))
        return;
    if (!PlugAndOpen(verdicts, link, handset, "straight after unplugging")) return;
    std::vector<uint8_t> taken;
    const bool took = link.TakeOutput(taken, 200);
    verdicts.Check(!took,
                   "an output report nobody took from the last handset is gone once another is plugged in",
                   "took " + Hex(taken));
    RoundTrip(verdicts, link, handset, 0x40, "straight after unplugging");
    handset = OpenedHandset{};
    verdicts.Check(link.Unplug(), "unplug (straight after)",
                   ErrorText("Unplug", vhandset::Link::LastError()));
    WaitForInterface(kShape.vendorId, kShape.productId, false, kArrivalBoundMs, nullptr);
}

// Pulled out as soon as it was plugged in, ten times, some perhaps before the system saw them: the bus
// must take the next plug all the same.
void PlugAndPullAtOnce(Verdicts& verdicts, vhandset::Link& link) {
    bool ok = true;
    for (int i = 0; i < 10 && ok; ++i) ok = link.Plug(kShape) && link.Unplug();
    const bool again = ok && link.Plug(kShape);
    const long arrival =
        again ? WaitForInterface(kShape.vendorId, kShape.productId, true, kArrivalBoundMs, nullptr) : -1;
    verdicts.Check(arrival >= 0,
                   "handsets pulled out as soon as they were plugged in leave the bus ready for the next",
                   ErrorText(!ok     ? "Plug or Unplug"
                             : again ? "no interface"
                                     : "the next Plug",
                             vhandset::Link::LastError()));
    link.Unplug();
    WaitForInterface(kShape.vendorId, kShape.productId, false, kArrivalBoundMs, nullptr);
}

// A program that ends with a take waiting (run as this program with --hold-take) must not leave that take
// to swallow the next report the host writes.
void CheckAbandonedTake(Verdicts& verdicts, vhandset::Link& link, OpenedHandset& handset) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string command = std::string("\"") + self + "\" --hold-take";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return (void)verdicts.Check(false, "a take left waiting by a program that ended takes nothing",
                                    ErrorText("CreateProcessA", GetLastError()));
    const bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!ended)
        return (void)verdicts.Check(false, "a take left waiting by a program that ended takes nothing",
                                    "it did not end");
    CarryOutput(verdicts, link, handset, 0x70, "a take left waiting by a program that ended takes nothing");
}

// `cycles` plug and unplug cycles; every 50th carries a report each way.
void CheckCycles(Verdicts& verdicts, vhandset::Link& link, int cycles) {
    long worstArrival = 0, worstRemoval = 0, totalArrival = 0;
    const DWORD started = GetTickCount();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        std::string path;
        if (!link.Plug(kShape))
            return (void)verdicts.Check(
                false, "plug cycles",
                ErrorText("Plug in cycle " + std::to_string(cycle), vhandset::Link::LastError()));
        const long arrival =
            WaitForInterface(kShape.vendorId, kShape.productId, true, kArrivalBoundMs, &path);
        if (arrival < 0)
            return (void)verdicts.Check(false, "plug cycles",
                                        "no interface in cycle " + std::to_string(cycle));
        if (cycle % 50 == 0) {
            OpenedHandset handset;
            if (!OpenHandset(path, handset))
                return (void)verdicts.Check(
                    false, "plug cycles",
                    ErrorText("open in cycle " + std::to_string(cycle), GetLastError()));
            RoundTrip(verdicts, link, handset, static_cast<uint8_t>(cycle), "cycle " + std::to_string(cycle));
        }
        if (!link.Unplug())
            return (void)verdicts.Check(
                false, "plug cycles",
                ErrorText("Unplug in cycle " + std::to_string(cycle), vhandset::Link::LastError()));
        const long removal =
            WaitForInterface(kShape.vendorId, kShape.productId, false, kArrivalBoundMs, nullptr);
        if (removal < 0)
            return (void)verdicts.Check(false, "plug cycles",
                                        "interface still listed in cycle " + std::to_string(cycle));
        worstArrival = std::max(worstArrival, arrival);
        worstRemoval = std::max(worstRemoval, removal);
        totalArrival += arrival;
    }
    vhandset::BusStatus status;
    const bool answered = link.QueryStatus(status);
    verdicts.Check(answered && !status.plugged && status.pendingReads == 0,
                   std::to_string(cycles) + " plug and unplug cycles", "the bus does not say it is empty");
    verdicts.Note("in " + std::to_string(GetTickCount() - started) + " ms; arrival " +
                  std::to_string(totalArrival / std::max(cycles, 1)) + " ms on average, " +
                  std::to_string(worstArrival) + " at worst; removal " + std::to_string(worstRemoval) +
                  " at worst; " + std::to_string(status.plugCount) + " plugs since the bus started");
}

// Starts a take and ends the process while it waits, as a test that crashes would.
int HoldTake() {
    auto link = vhandset::Link::Open();
    if (!link) return 1;
    std::thread([&link] {
        std::vector<uint8_t> report;
        link->TakeOutput(report, 60000);
    }).detach();
    Sleep(300);
    ExitProcess(0);
}

int Run(int cycles) {
    Verdicts verdicts;
    auto link = vhandset::Link::Open(kArrivalBoundMs);
    if (!verdicts.Check(link != nullptr, "the control device opens",
                        ErrorText("Link::Open", vhandset::Link::LastError())))
        return verdicts.Finish();
    vhandset::BusStatus status;
    if (link->QueryStatus(status) && status.plugged) {
        link->Unplug();
        WaitForInterface(kShape.vendorId, kShape.productId, false, kArrivalBoundMs, nullptr);
    }

    DeviceNotices notices;
    verdicts.Check(notices.Ready(), "a window registers for HID interface notices",
                   ErrorText("", GetLastError()));
    size_t mark = notices.Count();
    DWORD calledAt = GetTickCount();
    OpenedHandset handset;
    if (PlugAndOpen(verdicts, *link, handset, "first")) {
        CheckNotice(verdicts, notices, DBT_DEVICEARRIVAL, mark, calledAt,
                    "WM_DEVICECHANGE announces the handset's arrival");
        verdicts.Check(WaitForPendingRead(*link, kReportBoundMs),
                       "hidclass keeps a read pending in the handset",
                       "PendingReads is " + std::to_string(link->PendingReads()));
        RoundTrip(verdicts, *link, handset, 0x10, "first");
        CheckQueues(verdicts, *link, handset);
        CheckInputLatency(verdicts, *link, handset);
        CheckLinkPromises(verdicts, *link);
        CheckAbandonedTake(verdicts, *link, handset);
        mark = notices.Count();
        calledAt = GetTickCount();
        UnplugUnderUse(verdicts, *link, handset);
        CheckNotice(verdicts, notices, DBT_DEVICEREMOVECOMPLETE, mark, calledAt,
                    "WM_DEVICECHANGE announces the handset's removal");
    }
    if (PlugAndOpen(verdicts, *link, handset, "again")) {
        RoundTrip(verdicts, *link, handset, 0x20, "again");
        ReplugAtOnce(verdicts, *link, handset);
    }
    PlugAndPullAtOnce(verdicts, *link);
    if (cycles > 0) CheckCycles(verdicts, *link, cycles);
    return verdicts.Finish();
}

}  // namespace
}  // namespace smoke

int main(int argc, char** argv) {
    int cycles = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc) cycles = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--hold-take") == 0) return smoke::HoldTake();
    }
    return smoke::Run(cycles);
}
