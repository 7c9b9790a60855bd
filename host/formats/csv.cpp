// CSV as RFC 4180 has it, with a header row; every text kept exactly, in UTF-8.
#include <algorithm>
#include <vector>

#include "common/text.h"
#include "host/formats/format_parts.h"

namespace harrowtally::host::formats {
namespace {

// The header line, without its line end.
constexpr std::string_view kCsvHeader = "item,barcode,type,scan_time,stamp_text,serial,scanner_clock";

// A field as RFC 4180 has it: quoted when it holds a comma, a quote, CR or LF, quotes doubled.
void csv_field(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string csv_text(const Clicker& c, int first_item) {
    const int count = c.num_barcodes();
    std::string out(kCsvHeader);
    out += "\r\n";
    std::string fixed = ",";  // the serial and clock columns, the same on every line
    csv_field(fixed, to_utf8(saved_serial(c, DownloadFormat::csv).value_or(u"")));
    fixed += ',';
    csv_field(fixed, scanner_clock(c).value_or(""));
    fixed += "\r\n";
    out.reserve(out.size() + static_cast<std::size_t>(std::max<int>(count, 0)) * (48 + fixed.size()));
    for (int k = first_item; k <= count; ++k) {
        out += std::to_string(k);
        out += ',';
        if (const DownloadedBarcode* item = downloaded(c).filled_item(k)) {
            csv_field(out, to_utf8(item->barcode));
            out += ',';
            out += std::to_string(*item->type);
            out += ',';
            out += written_scan_time(*item).value_or("");
            out += ',';
            csv_field(out, to_utf8(item->stamp_text));
        } else {
            out += ",,,";
        }
        out += fixed;
    }
    return out;
}

namespace {

// The rows of an RFC 4180 text with CR LF line ends, one at a time, every field decoded from UTF-8.
class CsvRows {
public:
    explicit CsvRows(std::string_view text) : text_(text) {}

    // The next row into `row`; false at the end of the text.
    bool next(std::vector<std::u16string>& row) {
        row.clear();
        if (pos_ == text_.size()) return false;
        ++line_;
        for (;;) {
            row.push_back(field());
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (text_.substr(pos_, 2) != "\r\n")
                throw Malformed{"line " + std::to_string(line_) + " does not end in CR LF"};
            pos_ += 2;
            return true;
        }
    }
    std::size_t line() const { return line_; }

private:
    std::u16string field() {
        raw_.clear();
        if (pos_ < text_.size() && text_[pos_] == '"') {
            for (++pos_;; ++pos_) {
                if (pos_ == text_.size())
                    throw Malformed{"a quoted field in line " + std::to_string(line_) + " is not closed"};
                if (text_[pos_] != '"') {
                    raw_ += text_[pos_];
                } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                    raw_ += '"';
                    ++pos_;
                } else {
                    ++pos_;
                    break;
                }
            }
        } else {
            const std::size_t end = std::min(text_.find_first_of(",\r\n\"", pos_), text_.size());
            raw_.assign(text_.substr(pos_, end - pos_));
            pos_ = end;
        }
        std::optional<std::u16string> decoded = from_utf8_strictly(raw_);
        if (!decoded) throw Malformed{"line " + std::to_string(line_) + " is not UTF-8"};
        return std::move(*decoded);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
    std::string raw_;
};

}  // namespace

void read_csv(std::string_view text, SavedHeader& header, Handing& hand) {
    CsvRows rows(text);
    std::vector<std::u16string> f;
    std::string names;
    if (rows.next(f)) {
        for (std::size_t i = 0; i < f.size(); ++i) {
            if (i > 0) names += ',';
            names += to_utf8(f[i]);
        }
    }
    if (names != kCsvHeader) throw Malformed{"its header is not " + std::string(kCsvHeader)};
    while (rows.next(f)) {
        const std::string where = "line " + std::to_string(rows.line());
        if (f.size() != 7) throw Malformed{where + " has " + std::to_string(f.size()) + " fields, not 7"};
        const std::optional<std::u16string> serial = f[5].empty() ? std::nullopt : std::optional(f[5]);
        if (rows.line() == 2) header.serial = serial;
        if (serial != header.serial) throw Malformed{where + " names another serial number"};
        SavedBarcode b;
        b.item = item_number(f[0]);
        if (f[2].empty()) {
            if (!f[1].empty() || !f[3].empty() || !f[4].empty()) {
                throw Malformed{where + " has a barcode, time or stamp but no type"};
            }
        } else {
            if (!all_digits(f[2])) throw Malformed{where + "'s type is not a number"};
            b.read = true;
            b.barcode = std::move(f[1]);
            b.type = decimal(narrow(f[2])).value_or(-1);
            if (!f[3].empty()) b.scan_time = to_utf8(f[3]);
            b.stamp_text = std::move(f[4]);
        }
        hand(b);
    }
}

}  // namespace harrowtally::host::formats
