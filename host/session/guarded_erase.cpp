#include "host/session/guarded_erase.h"

#include "host/words/words.h"

namespace harrowtally::host {

bool ExpectedScanner::allow_erase(const ScannerBeforeErase& scanner) {
    if (count_ && scanner.count != *count_) {
        refusal_ = changed_count_words(scanner, *count_);
        return false;
    }
    if (serial_ && scanner.serial && *scanner.serial != *serial_) {
        refusal_ = changed_scanner_words(*scanner.serial, *serial_);
        return false;
    }
    count_at_last_try_ = scanner.count;
    return true;
}

ClickerHooks::ClickerHooks(Clicker& clicker, EraseGuard* guard, DownloadObserver* observer)
    : clicker_(clicker), guard_before_(clicker.erase_guard()), observer_before_(clicker.download_observer()) {
    clicker_.set_erase_guard(guard);
    clicker_.set_download_observer(observer);
}

ClickerHooks::~ClickerHooks() {
    clicker_.set_erase_guard(guard_before_);
    clicker_.set_download_observer(observer_before_);
}

const char* refused_erase_words(const EraseReport& report) {
    return report.tries > 0 ? "no further erase was tried" : "nothing was erased";
}

EraseReport guarded_erase(Clicker& clicker, bool discard, const std::function<void()>& erase,
                          DownloadObserver* observer) {
    EraseReport report;
    report.port = clicker.comport();
    report.held = clicker.num_barcodes();
    if (report.held > 0 && !discard) {
        report.result = EraseReport::Result::held;
        return report;
    }
    // Barcodes scanned since the look above, or during a failed try, are not lost either.
    ExpectedScanner expected = discard ? ExpectedScanner::discarding() : ExpectedScanner::holding(0);
    {
        const ClickerHooks hooks(clicker, &expected, observer);
        erase();
    }
    const EmptyOutcome& outcome = clicker.empty_outcome();
    if (outcome.result == EmptyOutcome::Result::refused && !expected.refusal().empty()) {
        report.result = EraseReport::Result::refused;
        report.refusal = expected.refusal();
        report.tries = outcome.tries;
        return report;
    }
    report.emptied = clicker.empty_ok();
    // What was erased is what the scanner held right before the try that erased it.
    report.discarded = expected.count_at_last_try().value_or(report.held);
    return report;
}

}  // namespace harrowtally::host
