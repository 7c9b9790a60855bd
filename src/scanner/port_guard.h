#pragma once
// Releases a port that csp2Init opened when a runtime error ends the member before its own
// csp2Restore, so an error never leaves the scanner's port held.
#include <exception>

#include "scanner/csp2.h"

namespace harrowtally {

class PortGuard {
public:
    explicit PortGuard(CSP2& library) : library_(library), exceptions_(std::uncaught_exceptions()) {}
    PortGuard(const PortGuard&) = delete;
    PortGuard& operator=(const PortGuard&) = delete;
    // The port is open from now on (csp2Init returned 0).
    void opened() { open_ = true; }
    // The member released the port itself.
    void released() { open_ = false; }
    ~PortGuard() {
        if (open_ && std::uncaught_exceptions() > exceptions_) {
            try {
                library_.csp2Restore();
            } catch (...) {  // the member's own error is the one that reaches the host
            }
        }
    }

private:
    CSP2& library_;
    int exceptions_;
    bool open_ = false;
};

}  // namespace harrowtally
