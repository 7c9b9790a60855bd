#pragma once
// The process-wide right to talk to the scanner library. The maker's library drives one serial port
// and is not safe to enter from two threads, nor for two connections at once.
namespace harrowtally {

class ScannerLock {
public:
    virtual ~ScannerLock() = default;
    // Returns once this thread holds the lock; a thread that already holds it gets it again at once.
    virtual void acquire() = 0;
    // Gives back one acquire.
    virtual void release() = 0;
};

}  // namespace harrowtally
