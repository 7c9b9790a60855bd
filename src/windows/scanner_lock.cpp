#include "windows/scanner_lock.h"

#include <system_error>

#include "windows/message_pump.h"

namespace harrowtally::windows {
namespace {

[[noreturn]] void fail_with_last_error(const char* what) {
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

// A holder whose thread ended without giving the mutex back leaves it abandoned; the next waiter
// has it all the same.
bool taken(DWORD waited) {
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0;
}

// While a WM_QUIT is pending the queue keeps signalling input (the quit): the wait looks at the
// apartment's own messages at this pace instead.
constexpr DWORD quit_poll_ms = 10;

}  // namespace

WindowsScannerLock::WindowsScannerLock() : mutex_(CreateMutexW(nullptr, FALSE, nullptr)) {
    if (!mutex_) fail_with_last_error("CreateMutexW");
}

void WindowsScannerLock::acquire() {
    HANDLE mutex = mutex_.get();
    // Free, or held by this thread already: taken without touching the message queue, so a nested
    // call runs exactly as it would without the lock.
    if (taken(WaitForSingleObject(mutex, 0))) return;
    for (;;) {
        // A quit for the host's loop stops the dispatching of the host's own messages, but not of
        // the calls other apartments make into this one: the holder may be waiting for one of them.
        if (quit_pending()) {
            if (taken(WaitForSingleObject(mutex, quit_poll_ms))) return;
            while (dispatch_next_background_message()) {
                if (taken(WaitForSingleObject(mutex, 0))) return;
            }
            continue;
        }
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &mutex, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (taken(woke)) return;
        if (woke != WAIT_OBJECT_0 + 1) fail_with_last_error("MsgWaitForMultipleObjectsEx");
        // One message, then the mutex again: a host that posts a message from each message must not
        // keep this thread from the lock.
        dispatch_next_message();
        if (taken(WaitForSingleObject(mutex, 0))) return;
    }
}

void WindowsScannerLock::release() {
    ReleaseMutex(mutex_.get());
}

}  // namespace harrowtally::windows
