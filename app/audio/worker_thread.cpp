#include "worker_thread.h"

namespace phonedock {
namespace {

constexpr SIZE_T kStackSize = 0x100000;

}  // namespace

WorkerThread::~WorkerThread() {
    WorkerThread::Close();
}

void WorkerThread::Close() {
    if (!thread_) return;
    stopping_ = true;
    WaitForSingleObject(thread_.Get(), INFINITE);
    stopping_ = false;
    thread_.Reset();
    threadId_ = 0;
}

bool WorkerThread::StartThread() {
    thread_.Reset();  // a finished earlier thread's handle goes before the next thread is made
    thread_.Reset(CreateThread(nullptr, kStackSize, &WorkerThread::Entry, this, 0, &threadId_));
    return static_cast<bool>(thread_);
}

bool WorkerThread::IsRunning() const {
    DWORD code = 0;
    return thread_ && GetExitCodeThread(thread_.Get(), &code) && code == STILL_ACTIVE;
}

DWORD WorkerThread::Wait(DWORD milliseconds) const {
    if (!thread_ || !IsRunning()) return 0;
    return WaitForSingleObject(thread_.Get(), milliseconds);
}

DWORD WINAPI WorkerThread::Entry(LPVOID self) {
    return self == nullptr ? 1 : static_cast<WorkerThread*>(self)->Run();
}

}  // namespace phonedock
