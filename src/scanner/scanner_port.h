#pragma once
// One connection to the scanner: csp2Init opens the port, csp2Restore releases it. Members close
// the port themselves on their normal path; when an error ends a member while the port is open,
// the destructor releases it, so an error never leaves the scanner's port held.
#include <cstdint>
#include <string>

#include "common/clock_text.h"
#include "scanner/csp2.h"

namespace harrowtally {

class ScannerPort {
public:
    explicit ScannerPort(CSP2& library) : library_(library) {}
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

    // Every other call goes to the library directly.
    CSP2& library() const { return library_; }

private:
    CSP2& library_;
    bool open_ = false;
};

}  // namespace harrowtally
