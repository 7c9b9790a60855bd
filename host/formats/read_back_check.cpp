#include "host/formats/read_back_check.h"

#include "clicker/scan_time.h"
#include "host/text/terminal_text.h"
#include "host/text/value_text.h"
#include "host/words/words.h"

namespace harrowtally::host {
namespace {

std::string quoted(std::u16string_view text) {
    // Appended in place: GCC 12 at -O3 takes "\"" + std::string for an overlapping copy.
    std::string out(1, '"');
    out += terminal_text(text);
    out += '"';
    return out;
}

std::string time_words(const std::optional<std::string>& time) {
    return time ? *time : "none";
}

std::string text_or_none(const std::optional<std::u16string>& text) {
    return text ? quoted(*text) : "none";
}

// What the file must hold for the scanner's barcode `given`, compared with what it holds.
std::optional<std::string> barcode_difference(const DownloadedBarcode& given, const SavedBarcode& saved,
                                              DownloadFormat format) {
    if (!saved.read) return "it is marked as not downloaded";
    if (saved.barcode != given.barcode) {
        return "it reads back as " + quoted(saved.barcode) + ", but the scanner gave " + quoted(given.barcode);
    }
    if (saved.type != *given.type) {
        return "its type reads back as " + std::to_string(saved.type) + ", but the scanner gave " +
               std::to_string(*given.type);
    }
    if (format == DownloadFormat::record) {
        // The record keeps only a scan time: it must be the one the stamp states, exactly.
        const std::optional<double> stated = stamp_exact_time(given.stamp_text);
        if (!stated) {
            return "the record keeps only a scan time (" + time_words(saved.scan_time) + "), and its stamp " +
                   quoted(given.stamp_text) + " does not state one exactly";
        }
        if (saved.scan_time != date_value_text(*stated)) {
            return "its scan time reads back as " + time_words(saved.scan_time) + ", but its stamp " +
                   quoted(given.stamp_text) + " states " + date_value_text(*stated);
        }
        return std::nullopt;
    }
    if (saved.stamp_text != given.stamp_text) {
        return "its stamp text reads back as " + text_or_none(saved.stamp_text) + ", but the scanner gave " +
               quoted(given.stamp_text);
    }
    if (saved.scan_time != written_scan_time(given)) {
        return "its scan time reads back as " + time_words(saved.scan_time) + ", not " +
               time_words(written_scan_time(given));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> saved_download_difference(const Clicker& clicker, DownloadFormat format,
                                                     std::string_view file_text, int first_item) {
    const int count = clicker.num_barcodes();
    if (count < 0) return "the scanner reported a count of " + std::to_string(count);
    const Download& download = downloaded(clicker);
    const int filled = download.filled_count(count);
    if (filled != count) {
        int first = 1;
        while (download.filled_item(first)) ++first;
        return first == count
                   ? "barcode " + std::to_string(first) + " was not downloaded"
                   : "barcodes " + std::to_string(first) + " to " + std::to_string(count) + " were not downloaded";
    }

    // Each barcode is compared as it is read; what came before a problem in the file is compared
    // first, so a field that outgrew its width shows as the barcode that it is.
    std::optional<std::string> difference;
    int k = first_item - 1;
    const ReadBack back = read_saved_download(format, file_text, [&](const SavedBarcode& s) {
        if (++k > count) return true;  // counted below
        if (s.item != k) {
            difference = "entry " + std::to_string(k) + " of the file is numbered " + std::to_string(s.item);
        } else if (const auto how = barcode_difference(*download.filled_item(k), s, format)) {
            difference = "barcode " + std::to_string(k) + ": " + *how;
        }
        return !difference;
    });
    if (difference) return difference;
    if (!back.problem.empty()) {
        return "the file cannot be read back after " + plural(static_cast<int>(back.barcodes), "barcode") + ": " +
               back.problem;
    }
    const std::optional<std::u16string> serial = saved_serial(clicker, format);
    // CSV and the workbook give the serial number on each row: with no row they give none, and
    // none is lost.
    const bool per_row = format == DownloadFormat::csv || format == DownloadFormat::xlsx;
    const bool serial_given = !per_row || back.barcodes > 0;
    if (serial_given && back.header.serial != serial) {
        return "the serial number reads back as " + text_or_none(back.header.serial) + ", but the scanner gave " +
               text_or_none(serial);
    }
    if (back.header.count && *back.header.count != count) {
        return "the file's count reads back as " + std::to_string(*back.header.count) + ", but the scanner reported " +
               std::to_string(count);
    }
    const int written = std::max(count - first_item + 1, 0);
    if (back.barcodes != static_cast<std::size_t>(written)) {
        return "the file gives back " + plural(static_cast<int>(back.barcodes), "barcode") + ", but " +
               (written == count ? "the scanner reported " : "it was given ") + std::to_string(written);
    }
    return std::nullopt;
}

}  // namespace harrowtally::host
