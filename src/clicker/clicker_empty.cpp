// EmptyScanner: open the scanner on startport, set its clock when the host supplied a new value,
// erase its memory with up to five tries and release the port. EmptyScannerIf: the same, erasing
// only the scanner the host saved.
#include "clicker/clicker.h"
#include "clicker/saved_scanner_guard.h"
#include "common/clock_text.h"
#include "common/conversions.h"
#include "common/runtime_error.h"
#include "common/trace_text.h"
#include "scanner/scanner_port.h"

namespace harrowtally {
namespace {
constexpr int erase_tries = 5;

}  // namespace

void Clicker::EmptyScanner() {
    empty_scanner(erase_guard_, EraseCheck::host_guard);
}

bool Clicker::EmptyScannerIf(const Variant& count, const Variant& serial) {
    // Arguments that do not convert fail here, before anything is touched.
    const std::int32_t saved_count = services_.conversions->to_long(count);
    // A count is a whole number: 2.5 is no count a host saved, and would round to one.
    if (services_.conversions->to_number(count) != saved_count) throw RuntimeError(err::invalid_call);
    SavedScannerGuard guard(saved_count, services_.conversions->to_text(serial), erase_guard_);
    empty_scanner(&guard, EraseCheck::saved_scanner);
    return empty_flag_;
}

void Clicker::empty_scanner(EraseGuard* guard, EraseCheck check) {
    const bool read_device = check == EraseCheck::saved_scanner;
    // A refusal of the saved scanner's guard leads the trace, naming the try it came before.
    const auto refuse = [&](ScannerPort& connection) {
        empty_outcome_.result = EmptyOutcome::Result::refused;
        if (read_device) log_text_.insert(0, u"CHNG:" + two_digit_text(empty_outcome_.tries + 1) + u":");
        connection.close();
    };
    const auto look = [&](ScannerPort& connection, std::int32_t count) {
        return ScannerBeforeErase{1, count, read_device ? std::optional(scanner_serial(connection)) : std::nullopt};
    };
    // A call made while this thread's own connection is open fails here, before any field changes.
    { const ScannerPort available(services_.library); }
    empty_flag_ = false;
    empty_outcome_ = {};
    if (startport_.is_empty()) {
        empty_outcome_.result = EmptyOutcome::Result::no_port;
        log_text_ = u"ENSP";
        open_flag_ = false;
        return;
    }
    // A startport that does not convert fails here, before the library and the trace are touched.
    const std::int32_t port = services_.conversions->to_long(startport_);
    ScannerPort connection(services_.library);
    CSP2& lib = connection.library();
    // Released on an error from here: the trace below reads the clock and allocates, and either may throw.
    const std::int32_t init = connection.open(port);
    empty_outcome_.answer = {port, init, std::nullopt, std::nullopt};
    log_text_ = u":" + two_digit_text(port) + hhmmss_text(services_.clock->time_of_day()) + u"*" + decimal_text(init);
    if (init != 0) {
        empty_outcome_.result = EmptyOutcome::Result::not_opened;
        log_text_.insert(0, u"OPNP");
        open_flag_ = false;
        return;
    }

    const std::int32_t count = lib.csp2ReadData();
    empty_outcome_.answer.count = count;
    barcode_count_ = round_to_integer(count);
    const std::int32_t status = lib.csp2GetSystemStatus();
    empty_outcome_.answer.status = status;
    if (barcode_count_ < 0 || status < 0) {
        empty_outcome_.result = EmptyOutcome::Result::bad_answer;
        log_text_.insert(0, u"OPNG");
        log_text_ += u"*" + decimal_text(barcode_count_);
        open_flag_ = false;
        connection.close();
        return;
    }
    log_text_.insert(0, u"OPOK");
    open_flag_ = true;

    // The guard looks at the scanner in this connection, so nothing can change between its check
    // and the erase: asked here, with the count just read, before the clock is set; and again for
    // the first try after the pause, with the count read once more (a barcode may be scanned
    // during the pause). Without a guard the member reads the count once, as the interface has it.
    // The saved scanner's guard also has the device ID read for each look (another scanner may be
    // put in the cradle during the pause or a failed try).
    if (guard && !guard->allow_erase(look(connection, count))) {
        refuse(connection);
        return;
    }

    if (!newdatetime_text_.empty()) {
        const ClockBuffer buffer = clock_buffer_from_text(newdatetime_text_);
        services_.pause->scanner_pause();
        connection.set_clock(buffer);
        empty_outcome_.clock_set = true;
    }
    services_.pause->scanner_pause();
    if (guard && !guard->allow_erase(look(connection, lib.csp2ReadData()))) {
        refuse(connection);
        return;
    }
    clear_clicker(connection, erase_tries, guard, read_device);
    if (empty_outcome_.result == EmptyOutcome::Result::refused) {
        refuse(connection);
        return;
    }
    connection.close();
}

void Clicker::download_keep_and_empty(DownloadKeeper& keeper) {
    empty_flag_ = false;
    empty_outcome_ = {};
    ScannerPort connection(services_.library);
    if (!search_port(connection)) {
        empty_outcome_.result = EmptyOutcome::Result::not_opened;
        return;
    }
    empty_outcome_.answer = search_answers_.back();
    fetch_download(connection);
    // The settling pause counts from here: the scanner is not spoken to while the keeper keeps the
    // download, so that time is part of it.
    const auto settling_from = services_.pause->pause_clock();
    // Nothing is erased that the keeper has not kept, and nothing can reach the scanner between
    // what it kept and the erase: the port stays open.
    if (!keeper.keep(*this)) {
        empty_outcome_.result = EmptyOutcome::Result::refused;
        connection.close();
        return;
    }
    // One settling pause serves both: the erase's, and the download's before its clock read.
    services_.pause->scanner_pause_since(settling_from);
    // What was kept may have been changed during the pause: it is looked at again last. Then the
    // scanner itself, as EmptyScanner looks at it: barcodes scanned since the download, or another
    // scanner on the port, are not what was kept.
    if (!keeper.still_kept() || !keeper.allow_erase(scanner_now(connection))) {
        empty_outcome_.result = EmptyOutcome::Result::refused;
        connection.close();
        return;
    }
    clear_clicker(connection, erase_tries, &keeper, true);
    take_clock_snapshot(connection);
}

ScannerBeforeErase Clicker::scanner_now(ScannerPort& connection) {
    ScannerBeforeErase now;
    now.count = connection.library().csp2ReadData();
    now.serial = scanner_serial(connection);
    return now;
}

std::u16string Clicker::scanner_serial(ScannerPort& connection) {
    std::int32_t id_result = 0;
    std::u16string serial = connection.read_serial(&id_result);
    // A device ID the library did not give is no identity: compared as none.
    return id_result >= 0 ? serial : std::u16string();
}

// The guard has allowed the first try; it is asked again before each later one, with the count the
// failed try read, so a barcode scanned during a failed try is not erased unsaved; with
// `device_after_failed_try`, also with the device ID read after it, so neither is another scanner
// put in the cradle during the try.
void Clicker::clear_clicker(ScannerPort& connection, int attempts, EraseGuard* guard, bool device_after_failed_try) {
    CSP2& lib = connection.library();
    std::optional<std::u16string> serial_after_try;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (attempt > 1 && guard && !guard->allow_erase({attempt, *empty_outcome_.count_after_try, serial_after_try})) {
            empty_outcome_.result = EmptyOutcome::Result::refused;
            return;
        }
        empty_outcome_.tries = attempt;
        const std::int32_t cleared = lib.csp2ClearData();
        empty_outcome_.clear_result = cleared;
        log_text_ += u":" + decimal_text(cleared);
        bool empty = cleared == 0;
        if (!empty) {
            // Kept as the library gave it: a count that overflows ends the call here.
            const std::int32_t count = lib.csp2ReadData();
            empty_outcome_.count_after_try = count;
            barcode_count_ = round_to_integer(count);
            const std::int32_t status = lib.csp2GetSystemStatus();
            log_text_ += u":" + decimal_text(status) + u"*" + decimal_text(barcode_count_);
            empty = status == 0 && barcode_count_ == 0;
            if (!empty && device_after_failed_try && attempt < attempts) serial_after_try = scanner_serial(connection);
        }
        if (empty) {
            log_text_.insert(0, u"CLOK:" + two_digit_text(attempt) + u":");
            empty_flag_ = true;
            empty_outcome_.result = EmptyOutcome::Result::erased;
            return;
        }
    }
    empty_outcome_.result = EmptyOutcome::Result::not_erased;
}

}  // namespace harrowtally
