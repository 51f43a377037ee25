#include "report_checks.h"

#include <windows.h>

#include <algorithm>

#include "host_io.h"
#include "smoke_common.h"

namespace smoke {

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

namespace {

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

}  // namespace

bool WaitForPendingRead(vhandset::Link& link, DWORD boundMs) {
    const DWORD started = GetTickCount();
    while (link.PendingReads() < 1) {
        if (GetTickCount() - started > boundMs) return false;
        Sleep(2);
    }
    return true;
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

}  // namespace smoke
