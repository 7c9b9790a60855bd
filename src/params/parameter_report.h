#pragma once
// The report of showparams as values: the same facts as its text, kept outside the automation
// interface for hosts that explain them in words.
#include <array>
#include <cstdint>
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
};

// The last showparams: the listed parameters with the values read, and the scanner information.
struct ParameterReport {
    std::vector<ParameterEntry> entries;
    ScannerInfo info;
};

}  // namespace harrowtally
