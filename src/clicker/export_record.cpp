#include "clicker/export_record.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "common/date_value.h"
#include "common/runtime_error.h"

namespace harrowtally {
namespace {

int digit_count(std::uint32_t v) {
    int n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

std::uint32_t magnitude(std::int32_t v) {
    return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
}

std::size_t number_length(std::int32_t v, int min_digits) {
    return static_cast<std::size_t>((v < 0 ? 1 : 0) + std::max(digit_count(magnitude(v)), min_digits));
}

std::size_t text_length(std::u16string_view s, std::size_t width) {
    return std::max(s.size(), width);
}

std::size_t type_length(const std::optional<std::int16_t>& type) {
    return type ? number_length(*type, record_width::type) : static_cast<std::size_t>(record_width::type);
}

// Signed decimal, zero-padded on the left to min_digits; the sign stays in front.
char16_t* put_number(char16_t* out, std::int32_t v, int min_digits) {
    if (v < 0) *out++ = u'-';
    std::uint32_t m = magnitude(v);
    const int n = std::max(digit_count(m), min_digits);
    for (int i = n - 1; i >= 0; --i) {
        out[i] = static_cast<char16_t>(u'0' + m % 10);
        m /= 10;
    }
    return out + n;
}

char16_t* put_blanks(char16_t* out, std::size_t n) {
    return std::fill_n(out, n, u' ');
}

char16_t* put_text(char16_t* out, std::u16string_view s, std::size_t width) {
    out = std::copy(s.begin(), s.end(), out);
    return s.size() < width ? put_blanks(out, width - s.size()) : out;
}

// The clock fields hold NUL characters until the first snapshot; those are written as blanks.
char16_t* put_clock_text(char16_t* out, std::u16string_view s, std::size_t width) {
    out = std::transform(s.begin(), s.end(), out, [](char16_t c) { return c == u'\0' ? u' ' : c; });
    return s.size() < width ? put_blanks(out, width - s.size()) : out;
}

char16_t* put_two(char16_t* out, int v) {
    out[0] = static_cast<char16_t>(u'0' + v / 10 % 10);
    out[1] = static_cast<char16_t>(u'0' + v % 10);
    return out + 2;
}

// YYYYMMDDhhmmss, or blanks for the date value 0 that an unfilled element holds (and for values no
// date can have, which only a list filled by something other than a download could hold).
char16_t* put_time(char16_t* out, double value) {
    constexpr double far_past = -700000.0, far_future = 3000000.0;  // beyond the years 100 and 9999
    if (value == 0 || !(value > far_past && value < far_future)) return put_blanks(out, record_width::time);
    const DateTimeParts p = split_date(value);
    if (p.year < 0 || p.year > 9999) return put_blanks(out, record_width::time);
    out = put_two(out, p.year / 100);
    out = put_two(out, p.year % 100);
    out = put_two(out, p.month);
    out = put_two(out, p.day);
    out = put_two(out, p.hour);
    out = put_two(out, p.minute);
    return put_two(out, p.second);
}

std::size_t header_length(const ExportInputs& in) {
    return record_width::tag + text_length(in.serial, record_width::serial) + record_width::clock_flag +
           text_length(in.clock_text, record_width::clock_text) + number_length(in.count, record_width::count);
}

std::size_t items_length(const ExportInputs& in) {
    std::size_t length = 0;
    for (std::int32_t k = 1; k <= in.count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        length += number_length(k, record_width::item_number) + text_length((*in.barcodes)[i], record_width::barcode) +
                  type_length((*in.types)[i]) + record_width::time;
    }
    return length;
}

template <class List>
void require_index(const List* list, std::int32_t count) {
    if (list == nullptr || static_cast<std::size_t>(count) >= list->size()) throw RuntimeError(err::subscript);
}

}  // namespace

std::u16string build_export_record(const ExportInputs& in) {
    if (in.count > 0) {
        require_index(in.barcodes, in.count);
        require_index(in.types, in.count);
        require_index(in.times, in.count);
    }
    std::u16string record(header_length(in) + items_length(in), u'\0');
    char16_t* out = record.data();
    *out++ = u'V';
    *out++ = u'0';
    *out++ = u'1';
    out = put_text(out, in.serial, record_width::serial);
    *out++ = in.clock_flag == u'\0' ? u' ' : in.clock_flag;
    out = put_clock_text(out, in.clock_text, record_width::clock_text);
    out = put_number(out, in.count, record_width::count);
    for (std::int32_t k = 1; k <= in.count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        out = put_number(out, k, record_width::item_number);
        out = put_text(out, (*in.barcodes)[i], record_width::barcode);
        const std::optional<std::int16_t>& type = (*in.types)[i];
        out = type ? put_number(out, *type, record_width::type) : put_blanks(out, record_width::type);
        out = put_time(out, (*in.times)[i]);
    }
    assert(out == record.data() + record.size());
    return record;
}

}  // namespace harrowtally
