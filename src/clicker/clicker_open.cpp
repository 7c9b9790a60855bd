// Opening the scanner: the port search, the serial number, the download of the barcodes with
// their code types and scan times, the settling pause and the clock snapshot; and closing it.
#include <array>
#include <cstdint>

#include "clicker/clicker.h"
#include "clicker/port_search.h"
#include "clicker/scan_time.h"
#include "common/clock_text.h"
#include "common/code_page.h"
#include "common/conversions.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/trace_text.h"
#include "scanner/scanner_port.h"

namespace harrowtally {
namespace {

// A packet is byte 0 (L), the code type, L - 5 barcode bytes and a 4-byte time stamp.
constexpr int packet_overhead = 5;
constexpr std::size_t stamp_bytes = 4;
// L is one byte, so the L + 1 bytes of any packet lie inside the packet buffer.
static_assert(255 + 1 <= csp2_size::packet);
static_assert(stamp_text_width == csp2_size::stamp_text);

// Whether the library wrote the packet it reported: its length byte was cleared before the call, and
// a result that gives a length (above 0) must give the packet's, L + 1 bytes. A packet copied from
// the one before, or cut short, is thus never taken for a barcode.
bool packet_written(std::int32_t result, std::uint8_t length) {
    return length != 0 && (result == 0 || result == std::int32_t{length} + 1);
}

// Fetches barcodes 1 to the download's count into it. A packet the library cannot give, or did not
// write, ends the download; the items from there on stay empty.
void fetch_barcodes(CSP2& library, Download& download, DownloadObserver* observer) {
    const std::int16_t count = download.count();
    std::array<std::uint8_t, csp2_size::packet> packet{};
    // The library writes the stamp's text over what the previous packet left here.
    std::u16string stamp_text(stamp_text_width, u'\0');
    std::array<std::uint8_t, csp2_size::stamp_text> stamp_text_bytes{};
    for (int k = 1; k <= count; ++k) {
        packet[0] = 0;
        const std::int32_t result = library.csp2GetPacket(packet.data(), k - 1, csp2_size::packet);
        if (result < 0 || !packet_written(result, packet[0])) break;
        const int length = packet[0];
        DownloadedBarcode& item = download[static_cast<std::size_t>(k)];
        item.type = static_cast<std::int16_t>(packet[1]);
        if (length < packet_overhead) throw RuntimeError(err::invalid_call);

        std::array<std::uint8_t, stamp_bytes> stamp{};
        for (std::size_t i = 0; i < stamp_bytes; ++i) stamp[i] = packet[static_cast<std::size_t>(length) - 3 + i];
        item.barcode = bytes_to_text(packet.data() + 2, static_cast<std::size_t>(length - packet_overhead));

        for (std::size_t i = 0; i < stamp_text_width; ++i) stamp_text_bytes[i] = char_to_byte(stamp_text[i]);
        library.csp2TimeStamp2Str(stamp.data(), stamp_text_bytes.data(), csp2_size::stamp_text);
        for (std::size_t i = 0; i < stamp_text_width; ++i) stamp_text[i] = byte_to_char(stamp_text_bytes[i]);
        item.stamp_text = stamp_text.substr(0, stamp_text.find(u'\0'));
        mask_stamp_fields(stamp_text);
        const std::optional<double> date = stamp_date(stamp_text);
        item.time = date.value_or(unreadable_stamp_date);
        item.stamp_read = date.has_value();

        if (observer) observer->on_barcode(k, count);
    }
}

}  // namespace

void Clicker::open_clicker() {
    ScannerPort connection(services_.library);
    if (!search_port(connection)) return;
    fetch_download(connection);
    services_.pause->scanner_pause();
    take_clock_snapshot(connection);
}

// The port search from startport; the port stays open when a scanner was accepted.
bool Clicker::search_port(ScannerPort& connection) {
    CSP2& library = connection.library();
    open_flag_ = false;
    port_no_ = no_port;
    log_text_.clear();
    search_answers_.clear();

    // The search port: the starting value converted once, then counted upward as a number. An
    // empty starting value is port 0.
    double port = 0;
    for (int attempt = 1; attempt <= port_search_length; ++attempt) {
        if (attempt == 1) port = static_cast<double>(services_.conversions->to_number(startport_));
        const std::int32_t port_number = round_to_long(port);
        const std::int32_t init = connection.open(port_number);
        search_answers_.push_back({port_number, init, std::nullopt, std::nullopt});
        log_text_ += u':';
        log_text_ += two_digit_text(port_number);
        log_text_ += hhmmss_text(services_.clock->time_of_day());
        log_text_ += u'*';
        log_text_ += decimal_text(init);
        if (init == 0) {
            // The count as the library gave it is kept first: one that overflows ends the call here.
            const std::int32_t count = library.csp2ReadData();
            search_answers_.back().count = count;
            barcode_count_ = round_to_integer(count);
            const std::int32_t status = library.csp2GetSystemStatus();
            search_answers_.back().status = status;
            log_text_ += u'*';
            log_text_ += decimal_text(status);
            log_text_ += u'*';
            log_text_ += decimal_text(barcode_count_);
            if (barcode_count_ >= 0 && status >= 0) {
                log_text_.insert(0, u"OPOK");
                port_no_ = round_to_integer(port);
                open_flag_ = true;
                return true;
            }
            connection.close();
        }
        port += 1;
        if (port == static_cast<double>(port_wrap)) port = 0;
    }
    log_text_.insert(0, u"OPNC");
    return false;
}

// The serial number and every barcode, on the port the search accepted.
void Clicker::fetch_download(ScannerPort& connection) {
    std::int32_t device_id_result = 0;
    serial_text_ = connection.read_serial(&device_id_result);
    device_id_result_ = device_id_result;
    if (barcode_count_ > 0) fetch_barcodes(connection.library(), download_.emplace(barcode_count_), observer_);
}

// Reads the clock and releases the port.
void Clicker::take_clock_snapshot(ScannerPort& connection) {
    const ClockBuffer clock = connection.read_clock();
    connection.close();
    const ClockSnapshot snapshot = clock_snapshot(clock);
    clock_text_ = snapshot.text;
    clock_flag_ = snapshot.flag;
}

void Clicker::close_clicker() {
    ScannerPort connection(services_.library);
    connection.close();
}

}  // namespace harrowtally
