#pragma once
// The Clicker: the state of a host's work with one scanner and every member of its automation
// interface. Members run on the caller's thread, one at a time.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clicker/download.h"
#include "clicker/host_hooks.h"
#include "clicker/member_outcomes.h"
#include "common/services.h"
#include "common/variant.h"
#include "params/parameter_report.h"

namespace harrowtally {

class ScannerPort;  // scanner/scanner_port.h

class Clicker {
public:
    explicit Clicker(const ScannerServices& services);

    // Public variables.
    const Variant& startport() const { return startport_; }
    void let_startport(const Variant& value);
    void set_startport(const Variant& object_reference);
    std::int16_t get_barcode() const { return get_barcode_; }
    void let_get_barcode(std::int16_t value) { get_barcode_ = value; }

    // Members in interface order.
    void open_clicker();
    void close_clicker();
    Variant serial() const;
    Variant log() const;
    void lastport(const Variant& pt);
    void newparams(const Variant& nparams);
    void cur_clicker_params(const Variant& sparams);
    void pnewdatetime(const std::u16string& newdt);
    Variant alldata();
    std::int16_t comport() const { return port_no_; }
    std::int16_t num_barcodes() const { return barcode_count_; }
    std::u16string_view hello() const;
    std::int16_t num_files();
    bool open_ok() const { return open_flag_; }
    bool empty_ok() const { return empty_flag_; }
    void EmptyScanner();
    void reset_params();
    Variant showparams();
    Variant SwVersion();
    void getdate();
    void setdate();
    Variant sbarcode() const;
    Variant stime() const;
    Variant stype() const;
    // The interface's last member: EmptyScanner, erasing only while the scanner holds
    // `count` barcodes and its device ID reads as `serial` (what the host saved from num_barcodes and
    // serial), looked at before each erase try in the erasing connection. Refused: nothing erased,
    // the log led by "CHNG:KK:". Returns empty_ok.
    bool EmptyScannerIf(const Variant& count, const Variant& serial);

    // Outside the automation interface: progress of downloads, for hosts that show it. The observer
    // is called in the middle of open_clicker and must not call members of this Clicker.
    void set_download_observer(DownloadObserver* observer) { observer_ = observer; }
    DownloadObserver* download_observer() const { return observer_; }
    // Outside the automation interface: a check EmptyScanner runs before each erase try. Without
    // one the member erases as the interface describes.
    void set_erase_guard(EraseGuard* guard) { erase_guard_ = guard; }
    EraseGuard* erase_guard() const { return erase_guard_; }
    // Outside the automation interface: a download, the keeping of it and the erase in one
    // connection. The port search, serial number and barcodes as open_clicker fetches them; then,
    // with the port still open, `keeper` keeps the download; only when it says the download is
    // kept, the settling pause, the last look, the count and device ID read again for the keeper
    // as erase guard, the erase as EmptyScanner makes it (its tries and count checks, the guard
    // asked before each, shown by empty_ok, empty_outcome and log), and the clock snapshot. The
    // port is released at the end either way. empty_outcome is `refused` when the keeper refused.
    void download_keep_and_empty(DownloadKeeper& keeper);
    // Outside the automation interface: the export record of the fields as they are now, as
    // alldata builds it after its download. Throws RuntimeError(9) as alldata does.
    std::u16string export_record() const;
    // Outside the automation interface: whether csp2GetDeviceId answered without failing at the
    // last download, so serial() holds the scanner's identity and not an untouched buffer.
    bool serial_was_read() const { return device_id_result_.value_or(-1) >= 0; }
    // Read-only views of private state for the platform hosts and tests.
    const std::u16string& clock_text() const { return clock_text_; }
    char16_t clock_flag() const { return clock_flag_; }
    const std::u16string& newparams_text() const { return newparams_text_; }
    const std::u16string& cur_params_text() const { return cur_params_text_; }
    const std::u16string& newdatetime_text() const { return newdatetime_text_; }
    // The last download that found a barcode; nullopt before the first.
    const std::optional<Download>& download() const { return download_; }
    // Outside the automation interface: what the scanner answered, as values, for hosts that explain
    // it. The ports the last open_clicker tried, in order; the last EmptyScanner; the last showparams.
    const std::vector<PortAnswer>& search_answers() const { return search_answers_; }
    const EmptyOutcome& empty_outcome() const { return empty_outcome_; }
    const ParameterReport& parameter_report() const { return parameter_report_; }
    // The folder num_files counts, named as on Windows.
    static constexpr std::u16string_view data_folder = u"c:\\larkvale";

private:
    // What the erase guard of EmptyScanner is shown: the host's guard as it is (the count only), or
    // EmptyScannerIf's, with the device ID read for each look and its refusal in the trace.
    enum class EraseCheck { host_guard, saved_scanner };
    void empty_scanner(EraseGuard* guard, EraseCheck check);
    void clear_clicker(ScannerPort& connection, int attempts, EraseGuard* guard, bool device_after_failed_try = false);
    // The count and device ID read again in an open connection, for the erase guard.
    static ScannerBeforeErase scanner_now(ScannerPort& connection);
    // The device ID read again, "" when the library did not give one.
    static std::u16string scanner_serial(ScannerPort& connection);
    void store_startport(const Variant& value);
    // open_clicker's steps, shared with download_keep_and_empty.
    bool search_port(ScannerPort& connection);
    void fetch_download(ScannerPort& connection);
    void take_clock_snapshot(ScannerPort& connection);

    ScannerServices services_;
    DownloadObserver* observer_ = nullptr;
    EraseGuard* erase_guard_ = nullptr;

    Variant startport_;
    std::int16_t get_barcode_ = 0;
    std::u16string serial_text_;
    std::optional<std::int32_t> device_id_result_;
    std::u16string log_text_;
    std::int16_t port_no_ = 0;
    std::int16_t barcode_count_ = 0;
    bool open_flag_ = false;
    bool empty_flag_ = false;
    std::u16string newdatetime_text_;
    // barcode_list, type_list and time_list, created together.
    std::optional<Download> download_;
    std::u16string clock_text_ = std::u16string(12, u'\0');
    char16_t clock_flag_ = u'\0';
    std::u16string newparams_text_;
    std::u16string cur_params_text_;
    std::vector<PortAnswer> search_answers_;
    EmptyOutcome empty_outcome_;
    ParameterReport parameter_report_;
};

}  // namespace harrowtally
