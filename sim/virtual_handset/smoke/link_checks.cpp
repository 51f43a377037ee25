#include "link_checks.h"

#include <atomic>
#include <thread>
#include <vector>

namespace smoke {
namespace {

// kAlreadyAttached, which mingw-w64's headers lack: what a plug into an occupied bus gets.
constexpr DWORD kAlreadyAttached = 548;

void CheckRefusals(Verdicts& verdicts, vhandset::Link& link) {
    const bool secondPlug = link.Plug(vhandset::DeviceShape{});
    verdicts.Check(!secondPlug && vhandset::Link::LastError() == kAlreadyAttached,
                   "a second plug is refused while the handset is plugged in",
                   ErrorText(secondPlug ? "it succeeded" : "refused", vhandset::Link::LastError()));

    const uint8_t foreignId[18] = {5, 1, 2, 3};
    const bool sentForeign = link.SendInput(foreignId, sizeof(foreignId));
    verdicts.Check(!sentForeign && vhandset::Link::LastError() == ERROR_INVALID_PARAMETER,
                   "an input report with a report id the handset does not have is refused",
                   ErrorText(sentForeign ? "it was sent" : "refused", vhandset::Link::LastError()));

    const std::vector<uint8_t> tooLong(19, 0);
    const bool sentLong = link.SendInput(tooLong.data(), tooLong.size());
    verdicts.Check(!sentLong, "an input report longer than the handset's is refused",
                   ErrorText("it was sent", vhandset::Link::LastError()));
}

void CheckTimeOut(Verdicts& verdicts, vhandset::Link& link) {
    std::vector<uint8_t> report;
    const DWORD started = GetTickCount();
    const bool took = link.TakeOutput(report, 200);
    const DWORD waited = GetTickCount() - started;
    verdicts.Check(!took && vhandset::Link::LastError() == WAIT_TIMEOUT && waited >= 150 && waited < 2000,
                   "a take with nothing written ends after its time-out",
                   ErrorText(took ? std::string("took a report") : "waited " + std::to_string(waited) + " ms",
                             vhandset::Link::LastError()));
}

// On a link of its own: Release is for good.
void CheckRelease(Verdicts& verdicts) {
    auto other = vhandset::Link::Open();
    if (!verdicts.Check(other != nullptr, "a second link opens beside the first",
                        ErrorText("Open", vhandset::Link::LastError())))
        return;
    std::atomic<bool> took{true};
    std::atomic<DWORD> waited{0};
    std::thread taker([&] {
        std::vector<uint8_t> report;
        const DWORD started = GetTickCount();
        took = other->TakeOutput(report, 10000);
        waited = GetTickCount() - started;
    });
    Sleep(100);
    other->Release();
    taker.join();
    verdicts.Check(!took && waited < 1500, "Release ends a take waiting on another thread",
                   "it returned " + std::string(took ? "a report" : "false") + " after " +
                       std::to_string(waited) + " ms");

    std::vector<uint8_t> report;
    const DWORD started = GetTickCount();
    const bool later = other->TakeOutput(report, 1000);
    verdicts.Check(!later && GetTickCount() - started < 100, "a take after Release returns at once");
}

}  // namespace

void CheckLinkPromises(Verdicts& verdicts, vhandset::Link& link) {
    CheckRefusals(verdicts, link);
    CheckTimeOut(verdicts, link);
    CheckRelease(verdicts);
}

}  // namespace smoke
