#pragma once
// Reading and writing single scanner parameters and the scanner information text. Each procedure
// opens its own connection on the port it is given (an empty port is port 0) and closes it again
// before it returns; the library's results are never errors, they show in what is returned.
#include <cstdint>
#include <string>

#include "common/services.h"
#include "common/variant.h"
#include "params/parameter_report.h"

namespace harrowtally::Module1 {

// The settling pause the scanner needs before a parameter connection.
void scanner_pause(const ScannerServices& services);

// The first byte of the parameter's data, 0 to 255; 0 when the library wrote nothing. A port that
// does not convert to a 32-bit integer fails with 13, 6 or 94 after the pause, before csp2Init.
std::int16_t get_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number);
// The same reading with csp2GetParam's result kept beside the value.
ParameterReading read_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number);

// Writes value as the parameter's first byte; true exactly when csp2SetParam returned 0. A value
// outside 0 to 255 is not sent: the connection is closed and the call fails with 5.
bool set_scanner_param(const ScannerServices& services, const Variant& port, std::int16_t number, std::int32_t value);

// Protocol, system status, software version, ASCII mode and real-time-clock mode joined by ":".
// The four getters show as "0x" and upper-case hexadecimal, or "0x??" (protocol) and "0x????"
// (the others) when the library returns a negative value; the version is always the 10 characters
// of its buffer, zero characters included. No settling pause.
std::u16string scanner_info_text(const ScannerServices& services, const Variant& port);
// The same reading as values; scanner_info_text is its text.
ScannerInfo read_scanner_info(const ScannerServices& services, const Variant& port);
std::u16string scanner_info_text(const ScannerInfo& info);

}  // namespace harrowtally::Module1
