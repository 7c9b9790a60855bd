#include "windows/scanner_lock.h"

#include <objbase.h>

#include <system_error>

#include "common/runtime_error.h"
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
    const DWORD self = GetCurrentThreadId();
    if (holder_.load() == self) {
        // This thread's own connection is open further down its stack. The mutex would let it in
        // again, into a port that is held: it is refused instead. (Only a holder that ended without
        // giving the mutex back leaves it abandoned; a thread with its ID then has it.)
        const DWORD waited = WaitForSingleObject(mutex, 0);
        if (waited == WAIT_ABANDONED_0) return;
        if (waited == WAIT_OBJECT_0) ReleaseMutex(mutex);
        throw RuntimeError(err::device_unavailable);
    }
    GUID causality{};
    CoGetCurrentLogicalThreadId(&causality);
    if (!taken(WaitForSingleObject(mutex, 0))) {
        // Held on another thread. A call made there on behalf of this one's caller would wait for
        // a connection that waits for it.
        AcquireSRWLockShared(&causality_lock_);
        const bool same_call = IsEqualGUID(holder_causality_, causality) && causality != GUID_NULL;
        ReleaseSRWLockShared(&causality_lock_);
        if (same_call) throw RuntimeError(err::device_unavailable);
        if (!wait_for(mutex)) fail_with_last_error("MsgWaitForMultipleObjectsEx");
    }
    AcquireSRWLockExclusive(&causality_lock_);
    holder_causality_ = causality;
    ReleaseSRWLockExclusive(&causality_lock_);
    holder_.store(self);
}

void WindowsScannerLock::release() {
    holder_.store(0);
    AcquireSRWLockExclusive(&causality_lock_);
    holder_causality_ = GUID_NULL;
    ReleaseSRWLockExclusive(&causality_lock_);
    ReleaseMutex(mutex_.get());
}

bool WindowsScannerLock::wait_for(HANDLE mutex) {
    for (;;) {
        // A quit for the host's loop stops the dispatching of the host's own messages, but not of
        // the calls other apartments make into this one: the holder may be waiting for one of them.
        if (quit_pending()) {
            if (taken(WaitForSingleObject(mutex, quit_poll_ms))) return true;
            while (dispatch_next_background_message()) {
                if (taken(WaitForSingleObject(mutex, 0))) return true;
            }
            continue;
        }
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &mutex, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (taken(woke)) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        // One message, then the mutex again: a host that posts a message from each message must not
        // keep this thread from the lock.
        dispatch_next_message();
        if (taken(WaitForSingleObject(mutex, 0))) return true;
    }
}

}  // namespace harrowtally::windows
