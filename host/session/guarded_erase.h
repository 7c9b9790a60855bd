#pragma once
// The check the commands hand EmptyScanner: it runs in the connection that erases, so the scanner
// erased holds what the command saw.
#include <cstdint>
#include <string>

#include "clicker/host_hooks.h"

namespace harrowtally::host {

// Allows the erase of a scanner holding exactly `count` barcodes. Trusts the count the scanner
// library reports.
class ExpectedScanner : public EraseGuard {
public:
    explicit ExpectedScanner(std::int16_t count) : count_(count) {}

    bool allow_erase(std::int16_t count) override;
    // Why the erase was refused, in words; empty when it was not.
    const std::string& refusal() const { return refusal_; }

private:
    std::int16_t count_;
    std::string refusal_;
};

}  // namespace harrowtally::host
