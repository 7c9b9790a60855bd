#pragma once
// The scanner library's lock on Windows: one kernel mutex for the process, held by one connection.
// A thread that must wait dispatches its messages meanwhile, as the settling pause does, so a
// waiting apartment keeps serving its windows and the calls made into it. A call dispatched on the
// thread that holds the lock (from a message during the settling pause, or from a library that
// dispatches messages itself) would wait for its own caller: it fails at once instead. So does a
// call on another thread made on behalf of the holder (the holder called out to another apartment,
// which calls the scanner): COM gives both the same logical thread, the causality of the call.
#include <windows.h>

#include <atomic>

#include "common/scanner_lock.h"
#include "windows/owners.h"

namespace harrowtally::windows {

class WindowsScannerLock : public ScannerLock {
public:
    // Throws std::system_error when no mutex can be created.
    WindowsScannerLock();
    void acquire() override;
    void release() override;

private:
    // Waits for the mutex, dispatching this thread's messages; false when the wait itself fails.
    static bool wait_for(HANDLE mutex);

    KernelHandle mutex_;
    // The thread whose connection holds the mutex; 0 while none does.
    std::atomic<DWORD> holder_{0};
    // The holder's logical thread (COM's causality ID), guarded by its own lock.
    SRWLOCK causality_lock_ = SRWLOCK_INIT;
    GUID holder_causality_{};
};

}  // namespace harrowtally::windows
