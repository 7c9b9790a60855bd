#include "host/download_readers.h"

#include <algorithm>
#include <charconv>

#include "clicker/export_record.h"
#include "common/text.h"
#include "host/json_value.h"

namespace harrowtally::host {
namespace {

// A reader's complaint, ending the read.
struct Malformed {
    std::string why;
};

// `each` asked to stop.
struct Stopped {};

std::optional<std::int32_t> decimal(std::string_view text) {
    std::int32_t v = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || stop != end) return std::nullopt;
    return v;
}

std::string narrow(std::u16string_view ascii_text) {
    std::string out;
    for (char16_t c : ascii_text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

bool all_blank(std::u16string_view s) {
    return s.find_first_not_of(u' ') == std::u16string_view::npos;
}

bool all_digits(std::u16string_view s) {
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// A whole number written in decimal digits only; -1 otherwise.
std::int32_t item_number(std::u16string_view s) {
    return all_digits(s) ? decimal(narrow(s)).value_or(-1) : -1;
}

// Hands a barcode on, counting it.
class Handing {
public:
    Handing(const EachSavedBarcode& each, ReadBack& back) : each_(each), back_(back) {}
    void operator()(const SavedBarcode& b) {
        ++back_.barcodes;
        if (!each_(b)) throw Stopped{};
    }

private:
    const EachSavedBarcode& each_;
    ReadBack& back_;
};

// ---- the export record ----

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
            if (!count || count_length(*count) != width) continue;
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

    static std::size_t count_length(std::int32_t count) {
        const std::size_t digits = std::to_string(count < 0 ? -static_cast<std::int64_t>(count) : count).size();
        return (count < 0 ? 1 : 0) + std::max<std::size_t>(digits, record_width::count);
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
        const std::size_t number_width = std::max<std::size_t>(std::to_string(k).size(), record_width::item_number);
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

// ---- CSV ----

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

// ---- JSON ----

const JsonValue& member(const JsonValue& object, const char* name, const std::string& where) {
    const JsonValue* m = object.member(name);
    if (!m) throw Malformed{where + " has no " + name};
    return *m;
}

std::int32_t integer(const JsonValue& v, const std::string& what) {
    const auto n = v.kind == JsonValue::Kind::number ? decimal(v.number) : std::nullopt;
    if (!n) throw Malformed{what + " is not a whole number"};
    return *n;
}

std::optional<std::u16string> string_or_null(const JsonValue& v, const std::string& what) {
    if (v.kind == JsonValue::Kind::null) return std::nullopt;
    if (v.kind != JsonValue::Kind::string) throw Malformed{what + " is not a string"};
    return v.string;
}

SavedBarcode json_barcode(const JsonValue& entry, const std::string& where) {
    if (entry.kind != JsonValue::Kind::object) throw Malformed{where + " is not an object"};
    SavedBarcode b;
    b.item = integer(member(entry, "item", where), where + "'s item");
    const JsonValue& type = member(entry, "type", where);
    const auto barcode = string_or_null(member(entry, "barcode", where), where + "'s barcode");
    const auto time = string_or_null(member(entry, "scan_time", where), where + "'s scan_time");
    const auto stamp = string_or_null(member(entry, "stamp_text", where), where + "'s stamp_text");
    if (type.kind == JsonValue::Kind::null) {
        if (barcode || time || stamp) throw Malformed{where + " has a barcode, time or stamp but no type"};
        return b;
    }
    if (!barcode || !stamp) throw Malformed{where + " has a type but no barcode or stamp_text"};
    b.read = true;
    b.type = integer(type, where + "'s type");
    b.barcode = *barcode;
    b.stamp_text = stamp;
    if (time) {
        std::string t = to_utf8(*time);
        if (t.size() != 19 || t[10] != 'T') throw Malformed{where + "'s scan_time is not YYYY-MM-DDThh:mm:ss"};
        t[10] = ' ';
        b.scan_time = t;
    }
    return b;
}

void read_json(std::string_view text, SavedHeader& header, Handing& hand) {
    // The barcodes are taken one at a time as the list is read, never held all at once.
    std::optional<Malformed> bad_entry;
    bool stopped = false;
    std::size_t entries = 0;
    JsonListReader list;
    list.streamed_member = "barcodes";
    list.each = [&](JsonValue&& entry) {
        try {
            hand(json_barcode(entry, "barcode entry " + std::to_string(++entries)));
            return true;
        } catch (const Malformed& m) {
            bad_entry = m;
        } catch (const Stopped&) {
            stopped = true;
        }
        return false;
    };
    std::string problem;
    const std::optional<JsonValue> root = parse_json(text, problem, &list);
    if (stopped) throw Stopped{};
    if (bad_entry) throw *bad_entry;
    if (!root) throw Malformed{"it is not JSON: " + problem};
    if (root->kind != JsonValue::Kind::object) throw Malformed{"it is not one object"};
    header.serial = string_or_null(member(*root, "serial", "the object"), "serial");
    header.count = integer(member(*root, "count", "the object"), "count");
    if (member(*root, "barcodes", "the object").kind != JsonValue::Kind::array) {
        throw Malformed{"barcodes is not a list"};
    }
}

}  // namespace

ReadBack read_saved_download(DownloadFormat format, std::string_view text, const EachSavedBarcode& each) {
    ReadBack back;
    Handing hand(each, back);
    try {
        switch (format) {
            case DownloadFormat::record: {
                const std::optional<std::u16string> record = from_utf8_strictly(text);
                if (!record) throw Malformed{"it is not UTF-8"};
                RecordReader(*record, hand).read(back.header);
                break;
            }
            case DownloadFormat::csv:
                read_csv(text, back.header, hand);
                break;
            case DownloadFormat::json:
                read_json(text, back.header, hand);
                break;
            case DownloadFormat::table:
                throw Malformed{"a table is for reading, and is not read back"};
        }
    } catch (const Malformed& m) {
        back.problem = m.why;
    } catch (const Stopped&) {
        back.stopped = true;
    }
    return back;
}

SavedDownload read_saved_download(DownloadFormat format, std::string_view text) {
    SavedDownload saved;
    saved.read = read_saved_download(format, text, [&](const SavedBarcode& b) {
        saved.barcodes.push_back(b);
        return true;
    });
    return saved;
}

}  // namespace harrowtally::host
