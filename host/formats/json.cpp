// JSON: one object with the download's fields and its barcodes as a list; every text kept exactly.
#include <cstdio>

#include "common/text.h"
#include "host/formats/format_parts.h"
#include "host/formats/json_value.h"

namespace harrowtally::host::formats {
namespace {

void json_string(std::string& out, const std::string& utf8_text) {
    out += '"';
    for (std::size_t i = 0; i < utf8_text.size(); ++i) {
        const char c = utf8_text[i];
        const auto u = static_cast<unsigned char>(c);
        // C1 controls (C2 80 to C2 9F) are escaped too: the same text, and none reaches a terminal raw.
        if (u == 0xC2 && i + 1 < utf8_text.size() && (static_cast<unsigned char>(utf8_text[i + 1]) & 0xE0) == 0x80) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(utf8_text[++i]));
            out += escape;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", u);
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void json_string_or_null(std::string& out, const std::optional<std::u16string>& text) {
    if (text) {
        json_string(out, to_utf8(*text));
    } else {
        out += "null";
    }
}

void json_time(std::string& out, const std::optional<std::string>& time) {
    if (!time) {
        out += "null";
        return;
    }
    std::string iso = *time;
    iso[10] = 'T';
    json_string(out, iso);
}

}  // namespace

std::string json_text(const Clicker& c, int first_item) {
    const int count = c.num_barcodes();
    std::string out = "{\n  \"serial\": ";
    json_string_or_null(out, saved_serial(c, DownloadFormat::json));
    out += ",\n  \"port\": " + std::to_string(c.comport());
    out += ",\n  \"scanner_clock\": ";
    json_time(out, scanner_clock(c));
    // Before the clock is read (a download that empties the scanner reads it last) there is none.
    const bool clock_read = c.clock_flag() != u'\0';
    out += ",\n  \"clock_text\": ";
    json_string_or_null(out, clock_read ? std::optional(c.clock_text()) : std::nullopt);
    out += ",\n  \"clock_flag\": ";
    json_string_or_null(out, clock_read ? std::optional(std::u16string(1, c.clock_flag())) : std::nullopt);
    out += ",\n  \"count\": " + std::to_string(count);
    out += ",\n  \"complete\": ";
    out += downloaded(c).complete(count) ? "true" : "false";
    out += ",\n  \"barcodes\": [";
    out.reserve(out.size() + static_cast<std::size_t>(std::max<int>(count, 0)) * 96);
    for (int k = first_item; k <= count; ++k) {
        out += k == first_item ? "\n    " : ",\n    ";
        out += "{\"item\": " + std::to_string(k) + ", \"barcode\": ";
        if (const DownloadedBarcode* item = downloaded(c).filled_item(k)) {
            json_string(out, to_utf8(item->barcode));
            out += ", \"type\": " + std::to_string(*item->type) + ", \"scan_time\": ";
            json_time(out, written_scan_time(*item));
            out += ", \"stamp_text\": ";
            json_string(out, to_utf8(item->stamp_text));
        } else {
            out += "null, \"type\": null, \"scan_time\": null, \"stamp_text\": null";
        }
        out += "}";
    }
    out += count >= first_item ? "\n  ]\n}\n" : "]\n}\n";
    return out;
}

namespace {

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

}  // namespace

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

}  // namespace harrowtally::host::formats
