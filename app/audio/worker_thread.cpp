#include "worker_thread.h"

namespace phonedock {
namespace {

constexpr SIZE_T kStackSize = 0x100000;

}  // namespace

WorkerThread::~WorkerThread() {
    WorkerThread::Close();
}

void WorkerThread::Close() {
    if (thread_ == nullptr) return;
    stopping_ = true;
    WaitForSingleObject(thread_, INFINITE);
    stopping_ = false;
    CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
}

bool WorkerThread::StartThread() {
    if (thread_ != nullptr) CloseHandle(thread_);
    thread_ = CreateThread(nullptr, kStackSize, &WorkerThread::Entry, this, 0, &threadId_);
    return thread_ != nullptr;
}

bool WorkerThread::IsRunning() const {
    DWORD code = 0;
    return thread_ != nullptr && GetExitCodeThread(thread_, &code) && code == STILL_ACTIVE;
}

DWORD WorkerThread::Wait(DWORD milliseconds) const {
    if (thread_ == nullptr || !IsRunning()) return 0;
    return WaitForSingleObject(thread_, milliseconds);
}

DWORD WINAPI WorkerThread::Entry(LPVOID self) {
    return self == nullptr ? 1 : static_cast<WorkerThread*>(self)->Run();
}

}  // namespace phonedock
