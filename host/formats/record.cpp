// The export record: written exactly as alldata gives it, and read back field by field.
#include <algorithm>

#include "clicker/export_record.h"
#include "common/text.h"
#include "host/formats/format_parts.h"

namespace harrowtally::host::formats {
namespace {

class RecordReader {
public:
    RecordReader(std::u16string_view text, Handing& hand) : text_(text), hand_(hand) {}

    void read(SavedHeader& header) {
        if (field(record_width::tag) != u"V01") throw Malformed{"it does not start with V01"};
        std::u16string serial(field(record_width::serial));
        while (!serial.empty() && serial.back() == u' ') serial.pop_back();
        header.serial = serial;
        field(record_width::clock_flag + record_width::clock_text);
        const std::size_t count_at = pos_;
        // The count takes 4 digits, or 5 from 10000 on: the width after which item 1 follows as
        // 001 (or the record ends, for none).
        for (const std::size_t width : {std::size_t{4}, std::size_t{5}}) {
            pos_ = count_at;
            const std::optional<std::int32_t> count = count_field(width);
            if (!count || record_number_width(*count, record_width::count) != width) continue;
            const bool items_follow =
                *count > 0 ? text_.substr(pos_, record_width::item_number) == u"001" : pos_ == text_.size();
            if (!items_follow) continue;
            header.count = *count;
            break;
        }
        if (!header.count) throw Malformed{"its barcode count cannot be read"};
        for (std::int32_t k = 1; k <= *header.count; ++k) item(k);
        if (pos_ != text_.size()) throw Malformed{"it goes on after its last item"};
    }

private:
    std::u16string_view field(std::size_t width) {
        if (text_.size() - pos_ < width) throw Malformed{"it ends inside a field"};
        const std::u16string_view f = text_.substr(pos_, width);
        pos_ += width;
        return f;
    }

    std::optional<std::int32_t> count_field(std::size_t width) {
        if (text_.size() - pos_ < width) return std::nullopt;
        const std::u16string_view f = field(width);
        const bool negative = f.front() == u'-';
        if (!all_digits(f.substr(negative ? 1 : 0))) return std::nullopt;
        return decimal(narrow(f));
    }

    void item(std::int32_t k) {
        const std::string where = "item " + std::to_string(k);
        const std::size_t number_width = record_number_width(k, record_width::item_number);
        const std::u16string_view number = field(number_width);
        if (item_number(number) != k) throw Malformed{where + " is numbered \"" + to_utf8(number) + "\""};
        SavedBarcode b;
        b.item = k;
        b.read = true;
        b.type = -1;
        b.barcode = std::u16string(field(record_width::barcode));
        while (!b.barcode.empty() && b.barcode.back() == u' ') b.barcode.pop_back();
        try {
            fields_after_barcode(b, where);
        } catch (const Malformed&) {
            hand_(b);  // a field that outgrew its width shows as the barcode it moved
            throw;
        }
        hand_(b);
    }

    void fields_after_barcode(SavedBarcode& b, const std::string& where) {
        const std::u16string_view type = field(static_cast<std::size_t>(record_width::type));
        const std::u16string_view time = field(record_width::time);
        if (all_blank(type)) {
            if (!b.barcode.empty() || !all_blank(time)) throw Malformed{where + " has a barcode or time but no type"};
            b.read = false;  // a barcode the download could not read
            return;
        }
        if (!all_digits(type)) throw Malformed{where + "'s type \"" + to_utf8(type) + "\" is not a number"};
        b.type = *decimal(narrow(type));
        if (all_blank(time)) return;
        if (!all_digits(time)) throw Malformed{where + "'s scan time \"" + to_utf8(time) + "\" is not 14 digits"};
        const std::string t = narrow(time);
        b.scan_time = t.substr(0, 4) + "-" + t.substr(4, 2) + "-" + t.substr(6, 2) + " " + t.substr(8, 2) + ":" +
                      t.substr(10, 2) + ":" + t.substr(12, 2);
    }

    std::u16string_view text_;
    Handing& hand_;
    std::size_t pos_ = 0;
};

}  // namespace

// The record alldata built, as it is.
std::string record_text(std::u16string_view record) {
    return to_utf8(record);
}

void read_record(std::string_view text, SavedHeader& header, Handing& hand) {
    const std::optional<std::u16string> record = from_utf8_strictly(text);
    if (!record) throw Malformed{"it is not UTF-8"};
    RecordReader(*record, hand).read(header);
}

}  // namespace harrowtally::host::formats
