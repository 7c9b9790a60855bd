#pragma once
// The scanner library as the services hand it over: the library and the lock that guards it,
// opened only by ScannerPort, which holds the lock for as long as it can reach the library. A
// member thus cannot call the library without the lock.
#include "common/scanner_lock.h"

namespace harrowtally {

class CSP2;  // scanner/csp2.h
class ScannerPort;

class ScannerLibrary {
public:
    ScannerLibrary() = default;
    // Without a lock the library is entered unguarded: for hosts that call it from one thread only.
    ScannerLibrary(CSP2* library, ScannerLock* lock = nullptr) : library_(library), lock_(lock) {}

private:
    friend class ScannerPort;
    CSP2* library_ = nullptr;
    ScannerLock* lock_ = nullptr;
};

}  // namespace harrowtally
