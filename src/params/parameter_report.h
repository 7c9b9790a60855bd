#pragma once
// The report of showparams as values: the same facts as its text, kept outside the automation
// interface for hosts that explain them in words.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/parameter_texts.h"
#include "scanner/csp2.h"

namespace harrowtally {

// The scanner information of a parameter report; a getter's negative result is kept as it came.
struct ScannerInfo {
    std::int32_t protocol = 0;
    std::int32_t status = 0;
    std::array<std::uint8_t, csp2_size::version> version{};
    std::int32_t ascii_mode = 0;
    std::int32_t rtc_mode = 0;

    // A getter's value was reported when it is not negative.
    static bool reported(std::int32_t value) { return value >= 0; }
    // Whether the scanner answered any of the information requests.
    bool answered() const {
        return reported(protocol) || reported(status) || reported(ascii_mode) || reported(rtc_mode);
    }
};

// A software version as the scanner library gave it, without the blanks and NULs that pad its
// buffer; empty when none was reported.
std::u16string trimmed_version(std::u16string_view version);

// A parameter as csp2GetParam read it: the value the report shows and the getter's result, which
// the report's text leaves out (a negative one read nothing, and the value is then 0).
struct ParameterReading {
    std::int16_t number = 0;
    std::int32_t value = 0;
    std::int32_t getter_result = 0;
    bool read() const { return getter_result >= 0; }
};

// The last showparams: the listed parameters as read, and the scanner information.
struct ParameterReport {
    std::vector<ParameterReading> entries;
    ScannerInfo info;
};

}  // namespace harrowtally
