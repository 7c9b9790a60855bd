#include "host/session/guarded_erase.h"

#include "host/words/words.h"

namespace harrowtally::host {

bool ExpectedScanner::allow_erase(std::int16_t count) {
    if (count == count_) return true;
    refusal_ = changed_count_words(count, count_);
    return false;
}

ClickerHooks::ClickerHooks(Clicker& clicker, EraseGuard* guard, DownloadObserver* observer) : clicker_(clicker) {
    clicker_.set_erase_guard(guard);
    clicker_.set_download_observer(observer);
}

ClickerHooks::~ClickerHooks() {
    clicker_.set_erase_guard(nullptr);
    clicker_.set_download_observer(nullptr);
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
    // Barcodes scanned since the look above are not lost either.
    ExpectedScanner nothing_held(0);
    {
        const ClickerHooks hooks(clicker, discard ? nullptr : &nothing_held, observer);
        erase();
    }
    const EmptyOutcome& outcome = clicker.empty_outcome();
    if (outcome.result == EmptyOutcome::Result::refused && !nothing_held.refusal().empty()) {
        report.result = EraseReport::Result::refused;
        report.refusal = nothing_held.refusal();
        return report;
    }
    report.emptied = clicker.empty_ok();
    // What was erased is what the scanner held in the erasing connection.
    report.discarded = outcome.answer.count.value_or(report.held);
    return report;
}

}  // namespace harrowtally::host
