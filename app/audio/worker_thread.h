// A thread owned by an object: started on demand, running the object's Run, and waited for when the object
// closes it.
#pragma once

#include <windows.h>

#include "owners.h"

namespace phonedock {

class WorkerThread {
  public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread();

    // Waits for the thread, however long it takes, and forgets it.
    virtual void Close();
    virtual const char* Name() const { return "CommonThread"; }
    // Starts a thread (1 MiB of stack) that runs Run on this object. Answers whether it was created.
    virtual bool StartThread();
    virtual DWORD Run() = 0;

    bool IsRunning() const;
    // The wait's result, or 0 at once when no thread runs.
    DWORD Wait(DWORD milliseconds) const;

  private:
    static DWORD WINAPI Entry(LPVOID self);

    owners::HandleOwner thread_;
    DWORD threadId_ = 0;
    bool stopping_ = false;
};

}  // namespace phonedock
