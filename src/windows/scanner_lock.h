#pragma once
// The scanner library's lock on Windows: one kernel mutex for the process, which the thread that
// holds it takes again at once (a member called from a message handler during the settling pause).
// A thread that must wait dispatches its messages meanwhile, as the settling pause does, so a
// waiting apartment keeps serving its windows and the calls made into it.
#include <windows.h>

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
    KernelHandle mutex_;
};

}  // namespace harrowtally::windows
