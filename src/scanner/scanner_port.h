#pragma once
// One connection to the scanner: csp2Init opens the port, csp2Restore releases it. Members close
// the port themselves on their normal path; when an error ends a member while the port is open,
// the destructor releases it, so an error never leaves the scanner's port held.
//
// The connection holds the library's lock from its creation until after that last csp2Restore,
// so no other thread enters the library meanwhile; it is the only way members reach the library.
#include <cstdint>
#include <string>

#include "common/clock_text.h"
#include "common/scanner_library.h"
#include "scanner/csp2.h"

namespace harrowtally {

class ScannerPort {
public:
    // Waits until this thread holds the library's lock.
    explicit ScannerPort(const ScannerLibrary& scanner);
    ScannerPort(const ScannerPort&) = delete;
    ScannerPort& operator=(const ScannerPort&) = delete;
    ~ScannerPort();

    // csp2Init's result; the port is open when it is 0.
    std::int32_t open(std::int32_t port);
    bool is_open() const { return open_; }
    // csp2Restore, whether or not the port opened (some members release it either way); its result
    // is ignored.
    void close();

    // The scanner's clock: wake it, read or set the clock, power it down. Results are ignored.
    ClockBuffer read_clock();
    void set_clock(ClockBuffer clock);

    // The scanner's serial number: the first 8 bytes of csp2GetDeviceId as 16 hexadecimal digits,
    // whatever the call returned (an untouched buffer gives 16 zeros). The result goes to `result`
    // when given: a negative one means the identity was not read.
    std::u16string read_serial(std::int32_t* result = nullptr);

    // Every other call goes to the library directly, while this connection holds the lock.
    CSP2& library() const { return library_; }

private:
    // Declared first, so that it is given back last: after the destructor's csp2Restore.
    class Hold {
    public:
        explicit Hold(ScannerLock* lock) : lock_(lock) {
            if (lock_) lock_->acquire();
        }
        ~Hold() {
            if (lock_) lock_->release();
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        ScannerLock* lock_;
    };

    Hold hold_;
    CSP2& library_;
    bool open_ = false;
};

}  // namespace harrowtally
