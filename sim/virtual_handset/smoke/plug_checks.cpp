#include "plug_checks.h"

#include <algorithm>
#include <vector>

#include "host_io.h"
#include "report_checks.h"
#include "smoke_common.h"

namespace smoke {

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

}  // namespace smoke
