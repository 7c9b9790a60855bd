#pragma once
// The process-wide right to talk to the scanner library. The maker's library drives one serial port
// and is not safe to enter from two threads, nor for two connections at once.
namespace harrowtally {

class ScannerLock {
public:
    virtual ~ScannerLock() = default;
    // Returns once this thread holds the lock. The lock belongs to one connection, not to its
    // thread: a thread that holds it already (a call made from a message dispatched while its
    // connection is open) cannot wait for itself, and gets RuntimeError(err::device_unavailable).
    virtual void acquire() = 0;
    // Gives back one acquire.
    virtual void release() = 0;
};

}  // namespace harrowtally
