#pragma once
// The checks the commands hand EmptyScanner: they run in the connection that erases, so the scanner
// erased is the one the command looked at, holding what the command saw.
#include <cstdint>
#include <optional>
#include <string>

#include "clicker/host_hooks.h"

namespace harrowtally::host {

// Allows the erase of a scanner holding exactly `count` barcodes and, when a serial number is
// given, only of the scanner with that serial number, read in the erasing connection: a serial
// number that could not be read matches none. Trusts the count the scanner library reports.
class ExpectedScanner : public EraseGuard {
public:
    ExpectedScanner(std::optional<std::u16string> serial, std::int16_t count)
        : serial_(std::move(serial)), count_(count) {}

    bool allow_erase(std::int16_t count, std::optional<std::u16string_view> serial) override;
    // Why the erase was refused, in words; empty when it was not.
    const std::string& refusal() const { return refusal_; }

private:
    std::optional<std::u16string> serial_;
    std::int16_t count_;
    std::string refusal_;
};

}  // namespace harrowtally::host
