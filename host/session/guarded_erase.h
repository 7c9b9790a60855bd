#pragma once
// The erase that `empty`, `params apply` and `download --empty-after` share: barcodes a scanner
// holds are not lost unless the user said so, and the check runs in the connection that erases,
// so the scanner erased holds what the command saw.
#include <cstdint>
#include <functional>
#include <string>

#include "clicker/clicker.h"
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

// Hands the Clicker a host's hooks for one call and takes them back however the call ends, so that
// a member that throws leaves no pointer to a destroyed hook inside the Clicker.
class ClickerHooks {
public:
    ClickerHooks(Clicker& clicker, EraseGuard* guard, DownloadObserver* observer);
    ClickerHooks(const ClickerHooks&) = delete;
    ClickerHooks& operator=(const ClickerHooks&) = delete;
    ~ClickerHooks();

private:
    Clicker& clicker_;
};

struct EraseReport {
    enum class Result {
        held,     // the scanner holds barcodes and discarding them was not allowed: nothing was tried
        refused,  // the erasing connection found another scanner than the one seen: nothing was erased
        done,     // the erase ran: emptied tells whether it worked
    };
    Result result = Result::done;
    std::int16_t port = 0;       // the scanner's port before the erase
    std::int16_t held = 0;       // the barcodes it held then
    std::string refusal;         // why it was refused, when it was
    bool emptied = false;        // empty_ok after the erase
    std::int32_t discarded = 0;  // the barcodes the erasing connection found and erased
};

// On a scanner found before (or searched for by `erase` itself, with `discard`): without
// `discard`, a scanner holding barcodes is left alone and only one that still holds none when it
// is erased is erased. `erase` runs the members that erase, with `observer` told of the barcodes
// a download fetches on the way.
EraseReport guarded_erase(Clicker& clicker, bool discard, const std::function<void()>& erase,
                          DownloadObserver* observer = nullptr);

}  // namespace harrowtally::host
