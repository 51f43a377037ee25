// Report I/O on HID device handles: overlapped and blocking reads, per-handle queues, cancellation,
// removal, and writes. The device is one the test plays (support/hid_bus.h): on winsim's bus here, the
// virtual USB handset under Windows; what only a scripted model on winsim's bus can do is tested below.
#include "support/hid_bus.h"
#include "support/winsim_fixture.h"

#include <windows.h>
extern "C" {  // the system's HID header declares C functions without saying so
#include <hidsdi.h>
}

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using hid_test::Report;
constexpr USHORT kInputLength = 8;
constexpr USHORT kOutputLength = 6;
const DWORD kPending = 0x103;         // OVERLAPPED.Internal while the I/O runs
const DWORD kCancelled = 0xC0000120;  // ... and once a cancelled read has completed

Report report(uint8_t tag, size_t length = kInputLength) {
    Report r(length, 0);
    r[1] = tag;
    return r;
}

HANDLE openPath(const std::string& path, DWORD flags) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, flags, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    return h;
}

// An overlapped read with its own manual-reset event and buffer.
struct Read {
    OVERLAPPED ov{};
    uint8_t buffer[kInputLength] = {};
    Read() { ov.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr); }  // set: the read must reset it
    ~Read() { CloseHandle(ov.hEvent); }
    BOOL issue(HANDLE h) { return ReadFile(h, buffer, sizeof(buffer), nullptr, &ov); }
    bool signalled() { return WaitForSingleObject(ov.hEvent, 0) == WAIT_OBJECT_0; }
    bool waitSignalled() { return WaitForSingleObject(ov.hEvent, 2000) == WAIT_OBJECT_0; }
};

// The device the test plays, plugged in.
class HidIo : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        device = std::make_unique<hid_test::TestHidDevice>(hid_test::HidShape{});
        path = device->plug();
        ASSERT_FALSE(path.empty());
    }
    void TearDown() override {
        device.reset();
        WinsimTest::TearDown();
    }

    HANDLE open(DWORD flags) { return openPath(path, flags); }

#if WINSIM_ONLY  // winsim's count of the reads issued and not yet completed
    size_t pendingReads() {
        return winsim::hidPendingReadCount(device->busId());
    }
#endif

    std::unique_ptr<hid_test::TestHidDevice> device;
    std::string path;
};

TEST_F(HidIo, OverlappedReadPendsUntilAReportArrivesAndNeedsRoomForAWholeReport) {
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    uint8_t small[kInputLength - 1];
    Read refused;
    EXPECT_FALSE(ReadFile(h, small, sizeof(small), nullptr, &refused.ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

    Read read;
    EXPECT_FALSE(read.issue(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_FALSE(read.signalled());  // reset when the read was issued
#if WINSIM_ONLY                      // winsim's count of pending reads
    EXPECT_EQ(pendingReads(), 1u);
#endif
    DWORD n = 99;
    EXPECT_FALSE(GetOverlappedResult(h, &read.ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    device->sendInput(report(7));
    ASSERT_TRUE(read.waitSignalled());
    EXPECT_EQ(read.buffer[1], 7);
    EXPECT_EQ(read.ov.Internal, 0u);
    EXPECT_EQ(read.ov.InternalHigh, kInputLength);
    ASSERT_TRUE(GetOverlappedResult(h, &read.ov, &n, FALSE));
    EXPECT_EQ(n, kInputLength);
#if WINSIM_ONLY  // winsim's count of pending reads
    EXPECT_EQ(pendingReads(), 0u);
#endif
    CloseHandle(h);
}

TEST_F(HidIo, EachHandleQueuesReportsAndDropsTheOldestWhenFull) {
    HANDLE a = open(FILE_FLAG_OVERLAPPED);
    HANDLE b = open(FILE_FLAG_OVERLAPPED);
    ULONG buffers = 0;
    ASSERT_TRUE(HidD_GetNumInputBuffers(a, &buffers));
    EXPECT_EQ(buffers, 32u);  // the class driver's default
    EXPECT_FALSE(HidD_SetNumInputBuffers(a, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(HidD_SetNumInputBuffers(a, 513));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(HidD_SetNumInputBuffers(a, 3));
    ASSERT_TRUE(HidD_SetNumInputBuffers(b, 3));
    ASSERT_TRUE(HidD_GetNumInputBuffers(a, &buffers));
    EXPECT_EQ(buffers, 3u);

    Read early;
    EXPECT_FALSE(early.issue(b));  // b has a read waiting, a has none
    for (uint8_t tag = 1; tag <= 5; ++tag) device->sendInput(report(tag));
    ASSERT_TRUE(early.waitSignalled());
    ASSERT_TRUE(device->delivered());

    // a kept the newest three; each queued report completes a read at once.
    for (int expected : {3, 4, 5}) {
        Read read;
        ASSERT_TRUE(read.issue(a));
        EXPECT_TRUE(read.signalled());
        EXPECT_EQ(read.buffer[1], expected);
    }
    Read none;
    EXPECT_FALSE(none.issue(a));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));

    // b's waiting read took the first report; reports 2 to 5 queued (2 dropped when 5 came).
    EXPECT_EQ(early.buffer[1], 1);
    Read next;
    ASSERT_TRUE(next.issue(b));
    EXPECT_EQ(next.buffer[1], 3);
    CloseHandle(a);
    CloseHandle(b);
}

TEST_F(HidIo, CancelIoCancelsOnlyTheCallersReads) {
#if WINSIM_ONLY  // winsim's slow cancellation, so the cancelled read is seen before it completes
    winsim::hidSetCancelDelay(200);
#endif
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    Read mine;
    Read theirs;
    // The other thread stays until the end: a thread's reads are cancelled when it ends.
    HANDLE issued = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        EXPECT_FALSE(theirs.issue(h));
        SetEvent(issued);
        WaitForSingleObject(done, 10000);
    });
    ASSERT_EQ(WaitForSingleObject(issued, 5000), WAIT_OBJECT_0);
    EXPECT_FALSE(mine.issue(h));
#if WINSIM_ONLY  // winsim's count of pending reads
    ASSERT_EQ(pendingReads(), 2u);
#endif

    ASSERT_TRUE(CancelIo(h));
#if WINSIM_ONLY  // winsim's slow cancellation: the OVERLAPPED is still the system's
    EXPECT_EQ(mine.ov.Internal, kPending);
    EXPECT_FALSE(mine.signalled());
    EXPECT_EQ(pendingReads(), 2u);
#endif
    // A report now goes to the other thread's read, not to the cancelled one.
    device->sendInput(report(9));
    ASSERT_TRUE(theirs.waitSignalled());
    EXPECT_EQ(theirs.buffer[1], 9);
    EXPECT_EQ(mine.buffer[1], 0);

    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(h, &mine.ov, &n, TRUE));  // waits for the cancellation to complete
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(mine.signalled());
    EXPECT_EQ(mine.buffer[1], 0);
#if WINSIM_ONLY  // winsim's count of pending reads
    EXPECT_EQ(pendingReads(), 0u);
#endif
    SetEvent(done);
    other.join();
    CloseHandle(issued);
    CloseHandle(done);
    CloseHandle(h);
}

TEST_F(HidIo, AThreadsReadsEndWithIt) {
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    Read left;
    std::thread([&] { EXPECT_FALSE(left.issue(h)); }).join();
    ASSERT_TRUE(left.waitSignalled());
#if WINSIM_ONLY  // under Wine the ended read's OVERLAPPED still reads as pending at times (2 runs of 3 here)
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(h, &left.ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
#endif
    // The report that comes next is not lost to the ended read: it waits for the next one.
    device->sendInput(report(7));
    Read next;
    next.issue(h);
    ASSERT_TRUE(next.waitSignalled());
    EXPECT_EQ(next.buffer[1], 7);
    EXPECT_EQ(left.buffer[1], 0);
    CloseHandle(h);
}

// A cancelled read ends aborted, though not necessarily by the time CancelIo returns: the
// OVERLAPPED stays the system's until then, and a report that comes later goes to the next read.
TEST_F(HidIo, CancelledReadsEndAbortedAndTakeNoReport) {
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    Read cancelled;
    EXPECT_FALSE(cancelled.issue(h));
    ASSERT_TRUE(CancelIo(h));
#if WINSIM_ONLY  // winsim completes a cancellation inside the call unless hidSetCancelDelay makes it slow
    EXPECT_EQ(pendingReads(), 0u);
    EXPECT_EQ(cancelled.ov.Internal, kCancelled);
#endif
    DWORD n = 99;
    EXPECT_FALSE(GetOverlappedResult(h, &cancelled.ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(cancelled.ov.Internal, kCancelled);
    EXPECT_TRUE(cancelled.signalled());
    device->sendInput(report(4));
    Read next;
    if (!next.issue(h)) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    }
    ASSERT_TRUE(next.waitSignalled());
    EXPECT_EQ(next.buffer[1], 4);
    EXPECT_EQ(cancelled.buffer[1], 0);
    CloseHandle(h);
}

// Closing the last handle cancels what is still pending on it.
TEST_F(HidIo, ClosingTheHandleCancelsItsReads) {
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    Read closed;
    EXPECT_FALSE(closed.issue(h));
    ASSERT_TRUE(CloseHandle(h));
#if WINSIM_ONLY  // winsim completes a cancellation inside the call unless hidSetCancelDelay makes it slow
    EXPECT_EQ(pendingReads(), 0u);
#endif
    ASSERT_TRUE(closed.waitSignalled());
    EXPECT_EQ(closed.ov.Internal, kCancelled);
}

// Waiting, GetOverlappedResult trusts the event: whoever sets it makes the call return, the read still
// running (it then answers success and the bytes counted so far). Without waiting it looks at the read.
TEST_F(HidIo, GetOverlappedResultWaitsForTheEventNotForTheRead) {
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    Read read;
    EXPECT_FALSE(read.issue(h));
    SetEvent(read.ov.hEvent);  // someone else sets the event: the read has still not completed
    DWORD n = 99;
    EXPECT_FALSE(GetOverlappedResult(h, &read.ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
    EXPECT_TRUE(GetOverlappedResult(h, &read.ov, &n, TRUE));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(read.ov.Internal, kPending);

    ResetEvent(read.ov.hEvent);
    const DWORD waiter = GetCurrentThreadId();
    std::thread sender([&] {
#if WINSIM_ONLY  // waits until winsim sees the test blocked in GetOverlappedResult
        EXPECT_TRUE(winsim::waitUntilBlocked(waiter, 3000));
#else
        (void)waiter;
#endif
        device->sendInput(report(3));
    });
    EXPECT_TRUE(GetOverlappedResult(h, &read.ov, &n, TRUE));
    EXPECT_EQ(n, kInputLength);
    EXPECT_EQ(read.buffer[1], 3);
    sender.join();
    CloseHandle(h);
}

TEST_F(HidIo, RemovalFailsPendingAndLaterIo) {
    HANDLE async = open(FILE_FLAG_OVERLAPPED);
    HANDLE sync = open(0);
    Read read;
    EXPECT_FALSE(read.issue(async));
    // A blocking read on another thread is waiting as well when the device goes.
    std::atomic<bool> blockingFailed{false};
    std::atomic<DWORD> blockingError{0};
    std::thread blocking([&] {
        uint8_t buffer[kInputLength] = {};
        DWORD n = 0;
        blockingFailed = !ReadFile(sync, buffer, sizeof(buffer), &n, nullptr);
        blockingError = GetLastError();
    });
#if WINSIM_ONLY  // waits until winsim counts the blocking read as pending
    while (pendingReads() < 2) Sleep(1);
#endif
    device->unplug();

    ASSERT_TRUE(read.waitSignalled());
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(async, &read.ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    blocking.join();
    EXPECT_TRUE(blockingFailed);
    EXPECT_EQ(blockingError, static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(read.issue(async));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    uint8_t out[kOutputLength] = {};
    EXPECT_FALSE(WriteFile(sync, out, sizeof(out), &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(HidD_GetAttributes(sync, &attributes));

    // The handles stay open until the program closes them.
#if WINSIM_ONLY  // winsim's count of open handles
    EXPECT_EQ(winsim::hidOpenHandleCount(device->busId()), 2u);
#endif
    EXPECT_TRUE(CloseHandle(async));
    EXPECT_TRUE(CloseHandle(sync));
#if WINSIM_ONLY  // winsim's count of open handles
    EXPECT_EQ(winsim::hidOpenHandleCount(device->busId()), 0u);
#endif
}

TEST_F(HidIo, BlockingReadWaitsForAReport) {
    HANDLE h = open(0);
    uint8_t buffer[kInputLength] = {};
    DWORD n = 0;
    std::thread sender([&] {
#if WINSIM_ONLY  // waits until winsim counts the read as pending
        while (pendingReads() == 0) Sleep(1);
#endif
        device->sendInput(report(6));
    });
    ASSERT_TRUE(ReadFile(h, buffer, sizeof(buffer), &n, nullptr));
    sender.join();
    EXPECT_EQ(n, kInputLength);
    EXPECT_EQ(buffer[1], 6);
    CloseHandle(h);
}

TEST_F(HidIo, WritesNeedTheWholeReportAndReachTheDevice) {
    HANDLE sync = open(0);
    HANDLE async = open(FILE_FLAG_OVERLAPPED);
    uint8_t out[kOutputLength] = {0, 42, 1, 2, 3, 4};
    DWORD n = 99;
    EXPECT_FALSE(WriteFile(sync, out, kOutputLength - 1, &n, nullptr));
    // Windows answers one of two, depending on the version.
    const DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_INVALID_USER_BUFFER || error == ERROR_INVALID_PARAMETER) << error;
#if WINSIM_ONLY  // winsim gives the first
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
#endif

    ASSERT_TRUE(WriteFile(sync, out, sizeof(out), &n, nullptr));
    EXPECT_EQ(n, kOutputLength);
    Report written;
    ASSERT_TRUE(device->takeOutput(written));
    EXPECT_EQ(written, Report(out, out + kOutputLength));

    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    out[1] = 43;
    if (!WriteFile(async, out, sizeof(out), &n, &ov)) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    }
    ASSERT_TRUE(GetOverlappedResult(async, &ov, &n, TRUE));
    EXPECT_EQ(n, kOutputLength);
    ASSERT_TRUE(device->takeOutput(written));
    EXPECT_EQ(written, Report(out, out + kOutputLength));
    CloseHandle(ov.hEvent);
    CloseHandle(sync);
    CloseHandle(async);
}

}  // namespace

#if WINSIM_ONLY  // scripted device models (short reads, failures, slow cancels) exist on winsim's bus only

namespace {

// A device that records what it is sent and answers as told.
struct ScriptedDevice final : winsim::HidDeviceModel {
    std::mutex mutex;
    std::vector<Report> received;
    winsim::HidWriteOutcome outcome{true, kOutputLength, ERROR_SUCCESS};
    winsim::HidDeviceId id = -1;
    bool echo = false;  // answer each output report with an input report, from inside the write

    winsim::HidWriteOutcome onOutputReport(const uint8_t* report, size_t length) override {
        winsim::HidWriteOutcome result;
        {
            std::lock_guard lock(mutex);
            received.emplace_back(report, report + length);
            result = outcome;
        }
        if (echo) winsim::hidInputReport(id, Report(report, report + length));
        return result;
    }
    void onPlugged(winsim::HidDeviceId busId) override { id = busId; }
};

class ScriptedHidIo : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        desc.path = "\\\\?\\hid#vid_04b4&pid_0302#test";
        desc.vendorId = 1204;
        desc.productId = 770;
        desc.inputReportLength = kInputLength;
        desc.outputReportLength = kOutputLength;
    }

    winsim::HidDeviceId plug(std::shared_ptr<winsim::HidDeviceModel> model = nullptr) {
        return winsim::hidPlug(desc, std::move(model));
    }

    HANDLE open(DWORD flags) { return openPath(desc.path, flags); }

    winsim::HidDeviceDesc desc;
};

TEST_F(ScriptedHidIo, ReadsPassShortReportsAndFailuresOnInOrder) {
    const auto id = plug();
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    Read read;

    // A pending read completed by a failure.
    EXPECT_FALSE(read.issue(h));
    winsim::hidInputFailure(id, ERROR_GEN_FAILURE);
    ASSERT_TRUE(read.signalled());
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(h, &read.ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));

    // Queued: a short report, a failure, a report; each read takes the next.
    winsim::hidInputReport(id, report(4, 3));
    winsim::hidInputFailure(id, ERROR_INVALID_DATA);
    winsim::hidInputReport(id, report(5));
    Read shortRead;
    ASSERT_TRUE(shortRead.issue(h));
    ASSERT_TRUE(GetOverlappedResult(h, &shortRead.ov, &n, FALSE));
    EXPECT_EQ(n, 3u);
    Read failed;
    EXPECT_FALSE(failed.issue(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    Read after;
    EXPECT_TRUE(after.issue(h));
    EXPECT_EQ(after.buffer[1], 5);
    CloseHandle(h);
}

TEST_F(ScriptedHidIo, ClosingTheHandleCancelsItsReadsAfterwards) {
    winsim::hidSetCancelDelay(100);
    const auto id = plug();
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    HANDLE other = open(FILE_FLAG_OVERLAPPED);
    Read read;
    EXPECT_FALSE(read.issue(h));
    ASSERT_TRUE(CloseHandle(h));
    EXPECT_EQ(winsim::hidOpenHandleCount(id), 1u);
    EXPECT_EQ(read.ov.Internal, kPending);
    ASSERT_TRUE(read.waitSignalled());
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(h, &read.ov, &n, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(winsim::hidPendingReadCount(id), 0u);

    EXPECT_FALSE(ReadFile(h, read.buffer, sizeof(read.buffer), nullptr, &read.ov));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(other);
}

TEST_F(ScriptedHidIo, WritesNeedTheWholeReportAndTheDeviceDecidesOutsideWinsimsLock) {
    auto model = std::make_shared<ScriptedDevice>();
    model->echo = true;  // would deadlock if the model were called with winsim locked
    const auto id = plug(model);
    ASSERT_EQ(model->id, id);
    HANDLE sync = open(0);
    HANDLE async = open(FILE_FLAG_OVERLAPPED);
    Read read;
    EXPECT_FALSE(read.issue(async));

    uint8_t out[kOutputLength] = {0, 42};
    DWORD n = 99;
    EXPECT_FALSE(WriteFile(sync, out, kOutputLength - 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
    EXPECT_TRUE(model->received.empty());

    // An overlapped write has completed when WriteFile returns.
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(WriteFile(async, out, sizeof(out), &n, &ov));
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(GetOverlappedResult(async, &ov, &n, FALSE));
    EXPECT_EQ(n, kOutputLength);
    EXPECT_EQ(model->received.at(0), Report(out, out + kOutputLength));
    EXPECT_EQ(read.buffer[1], 42);  // the echo
    CloseHandle(ov.hEvent);

    model->outcome = {true, 2, ERROR_SUCCESS};  // short
    ASSERT_TRUE(WriteFile(sync, out, kOutputLength, &n, nullptr));
    EXPECT_EQ(n, 2u);
    model->outcome = {false, 0, ERROR_GEN_FAILURE};
    EXPECT_FALSE(WriteFile(sync, out, kOutputLength, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    CloseHandle(sync);
    CloseHandle(async);
}

TEST_F(ScriptedHidIo, ResetForgetsTheBusAndPendingCancellations) {
    winsim::hidSetCancelDelay(50);
    const auto id = plug();
    HANDLE h = open(FILE_FLAG_OVERLAPPED);
    auto read = std::make_unique<Read>();
    EXPECT_FALSE(read->issue(h));
    CancelIo(h);
    winsim::reset();
    read.reset();  // freed before the cancellation was due: reset must have dropped it
    EXPECT_FALSE(winsim::hidPresent(id));
    EXPECT_EQ(winsim::hidPendingReadCount(id), 0u);
    EXPECT_EQ(winsim::openHandleCount(), 0u);

    // Cancellations complete in the order they fall due: once one made after the reset has completed, the
    // forgotten one would have written into the freed read already.
    winsim::hidSetCancelDelay(50);
    plug();
    HANDLE later = open(FILE_FLAG_OVERLAPPED);
    Read laterRead;
    EXPECT_FALSE(laterRead.issue(later));
    CancelIo(later);
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(later, &laterRead.ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    CloseHandle(later);
}

}  // namespace

#endif  // WINSIM_ONLY
