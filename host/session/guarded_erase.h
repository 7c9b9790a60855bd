#pragma once
// The erase that `empty`, `params apply` and `download --empty-after` share: barcodes a scanner
// holds are not lost unless the user said so. The check runs in the connection that erases, before
// every erase try, so the scanner erased holds what the command saw and saved.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "clicker/clicker.h"
#include "clicker/host_hooks.h"

namespace harrowtally::host {

// Allows an erase try only of a scanner that holds exactly the expected count (any count with
// `discarding`) and, where its device ID was read again, is the expected scanner. Remembers what
// the scanner held before the last try it allowed: what that try erased.
class ExpectedScanner : public EraseGuard {
public:
    // Any count: the user let the barcodes go.
    static ExpectedScanner discarding() { return ExpectedScanner(std::nullopt, std::nullopt); }
    // Exactly `count` barcodes, and, when given, the scanner with this serial number ("" for one
    // whose device ID could not be read).
    static ExpectedScanner holding(std::int32_t count, std::optional<std::u16string> serial = std::nullopt) {
        return ExpectedScanner(count, std::move(serial));
    }

    bool allow_erase(const ScannerBeforeErase& scanner) override;
    // Why an erase try was refused, in words; empty when none was.
    const std::string& refusal() const { return refusal_; }
    // The count the scanner reported before the last try allowed; nullopt before the first.
    std::optional<std::int32_t> count_at_last_try() const { return count_at_last_try_; }

private:
    ExpectedScanner(std::optional<std::int32_t> count, std::optional<std::u16string> serial)
        : count_(count), serial_(std::move(serial)) {}

    std::optional<std::int32_t> count_;
    std::optional<std::u16string> serial_;
    std::string refusal_;
    std::optional<std::int32_t> count_at_last_try_;
};

// Hands the Clicker a host's hooks for one call and puts back the ones it had however the call
// ends, so that a member that throws leaves no pointer to a destroyed hook inside the Clicker.
class ClickerHooks {
public:
    ClickerHooks(Clicker& clicker, EraseGuard* guard, DownloadObserver* observer);
    ClickerHooks(const ClickerHooks&) = delete;
    ClickerHooks& operator=(const ClickerHooks&) = delete;
    ~ClickerHooks();

private:
    Clicker& clicker_;
    EraseGuard* guard_before_;
    DownloadObserver* observer_before_;
};

// The erase guard a command's Clicker has outside guarded_erase: it refuses every erase, so no
// command reaches csp2ClearData except through the guard of guarded_erase or of a download's
// keeper.
class NoEraseOutsideTheGuard : public EraseGuard {
public:
    bool allow_erase(const ScannerBeforeErase&) override { return false; }
};

struct EraseReport {
    enum class Result {
        held,     // the scanner holds barcodes and discarding them was not allowed: nothing was tried
        refused,  // the erasing connection found another scanner than the one seen: nothing more was erased
        done,     // the erase ran: emptied tells whether it worked
    };
    Result result = Result::done;
    std::int16_t port = 0;       // the scanner's port before the erase
    std::int16_t held = 0;       // the barcodes it held then
    std::string refusal;         // why it was refused, when it was
    int tries = 0;               // the erase tries made before the refusal
    bool emptied = false;        // empty_ok after the erase
    std::int32_t discarded = 0;  // the barcodes the scanner held before the try that erased it
};

// After a refusal: "nothing was erased", or, when a try had failed before it, "no further erase
// was tried".
const char* refused_erase_words(const EraseReport& report);

// On a scanner found before (or searched for by `erase` itself, with `discard`): without
// `discard`, a scanner holding barcodes is left alone and only one that still holds none before
// each erase try is erased. `erase` runs the members that erase, with `observer` told of the
// barcodes a download fetches on the way.
EraseReport guarded_erase(Clicker& clicker, bool discard, const std::function<void()>& erase,
                          DownloadObserver* observer = nullptr);

}  // namespace harrowtally::host
