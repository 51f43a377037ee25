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

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dbt.h>

#include "device_notices.h"
#include "hid_handset.h"
#include "link_checks.h"
#include "plug_checks.h"
#include "report_checks.h"
#include "smoke_common.h"
#include "verdicts.h"
#include "virtual_handset_link.h"

namespace smoke {
namespace {

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
