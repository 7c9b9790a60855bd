#include "clicker/export_record.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/date_value.h"
#include "common/runtime_error.h"

namespace harrowtally {
namespace {

// "00" to "99", so that a two-digit field is one copy.
constexpr std::array<std::array<char16_t, 2>, 100> two_digits = [] {
    std::array<std::array<char16_t, 2>, 100> t{};
    for (int v = 0; v < 100; ++v) t[v] = {static_cast<char16_t>(u'0' + v / 10), static_cast<char16_t>(u'0' + v % 10)};
    return t;
}();

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

std::size_t text_length(std::u16string_view s, std::size_t width) {
    return std::max(s.size(), width);
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

char16_t* put_two(char16_t* out, int v) {
    std::memcpy(out, two_digits[static_cast<std::size_t>(v)].data(), 2 * sizeof(char16_t));
    return out + 2;
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

// Writes scan times as YYYYMMDDhhmmss. The scan times of one download fall on few days, so the
// calendar part of the last day written is kept. Blanks stand for the date value 0 that an
// unfilled element holds, and for values no calendar date has (which only a list filled by
// something other than a download could hold).
class TimeWriter {
public:
    char16_t* put(char16_t* out, double value) {
        if (value > 0 && value < beyond_9999) return put_positive(out, value);
        if (value < 0 && value > before_100) return put_parts(out, split_date(value));
        return put_blanks(out, record_width::time);
    }

private:
    static constexpr double beyond_9999 = 2958466.0;  // 1 January 10000
    static constexpr double before_100 = -657435.0;   // 31 December 99

    // The same split as split_date: whole days, and the fraction rounded to the nearest second
    // with halves away from zero, a full day carrying into the next.
    char16_t* put_positive(char16_t* out, double value) {
        auto day = static_cast<std::int64_t>(value);  // positive: truncation gives the whole days
        const double seconds_exact = (value - static_cast<double>(day)) * 86400.0;
        // Below one half the sum with 0.5 could round up to 1 in floating point; it rounds to 0.
        auto seconds = seconds_exact < 0.5
                           ? 0u
                           : static_cast<std::uint32_t>(seconds_exact + 0.5);  // NOLINT(bugprone-incorrect-roundings)
        if (seconds >= 86400) {
            seconds -= 86400;
            ++day;
        }
        if (day != cached_day_) cache_day(day);
        if (!cached_valid_) return put_blanks(out, record_width::time);
        out = std::copy(cached_date_.begin(), cached_date_.end(), out);
        const std::uint32_t hours = seconds / 3600, rest = seconds % 3600;
        out = put_two(out, static_cast<int>(hours));
        out = put_two(out, static_cast<int>(rest / 60));
        return put_two(out, static_cast<int>(rest % 60));
    }

    void cache_day(std::int64_t day) {
        const DateTimeParts p = split_date(static_cast<double>(day));
        cached_day_ = day;
        cached_valid_ = p.year >= 0 && p.year <= 9999;
        if (!cached_valid_) return;
        char16_t* out = cached_date_.data();
        out = put_two(out, p.year / 100);
        out = put_two(out, p.year % 100);
        out = put_two(out, p.month);
        put_two(out, p.day);
    }

    static char16_t* put_parts(char16_t* out, const DateTimeParts& p) {
        if (p.year < 0 || p.year > 9999) return put_blanks(out, record_width::time);
        out = put_two(out, p.year / 100);
        out = put_two(out, p.year % 100);
        out = put_two(out, p.month);
        out = put_two(out, p.day);
        out = put_two(out, p.hour);
        out = put_two(out, p.minute);
        return put_two(out, p.second);
    }

    std::int64_t cached_day_ = -1;  // no positive value has day -1
    bool cached_valid_ = false;
    std::array<char16_t, 8> cached_date_{};
};

// An item number: three digits up to 999, wider from 1000 on.
char16_t* put_item_number(char16_t* out, std::int32_t k) {
    if (k >= 1000) return put_number(out, k, record_width::item_number);
    *out++ = static_cast<char16_t>(u'0' + k / 100);
    return put_two(out, k % 100);
}

std::size_t header_length(const RecordHeader& in) {
    return record_width::tag + text_length(in.serial, record_width::serial) + record_width::clock_flag +
           text_length(in.clock_text, record_width::clock_text) + record_number_width(in.count, record_width::count);
}

std::size_t items_length(std::int16_t item_count, const Download& download) {
    if (item_count <= 0) return 0;
    const auto count = static_cast<std::size_t>(item_count);
    // Fixed parts: three-digit item numbers, the type and time widths; then what grows.
    std::size_t length = count * (record_width::item_number + record_width::type + record_width::time);
    if (count >= 1000) length += count - 999;    // four-digit item numbers
    if (count >= 10000) length += count - 9999;  // five-digit item numbers
    for (std::size_t k = 1; k <= count; ++k) {
        length += text_length(download[k].barcode, record_width::barcode);
        const std::optional<std::int16_t>& type = download[k].type;
        if (type && (*type < 0 || *type >= 100))
            length += record_number_width(*type, record_width::type) - record_width::type;
    }
    return length;
}

}  // namespace

std::size_t record_number_width(std::int32_t v, int min_digits) {
    return static_cast<std::size_t>((v < 0 ? 1 : 0) + std::max(digit_count(magnitude(v)), min_digits));
}

std::u16string build_export_record(const RecordHeader& in, const std::optional<Download>& download) {
    if (in.count > 0 && (!download || download->count() < in.count)) throw RuntimeError(err::subscript);
    std::u16string record(header_length(in) + (in.count > 0 ? items_length(in.count, *download) : 0), u'\0');
    char16_t* out = record.data();
    *out++ = u'V';
    *out++ = u'0';
    *out++ = u'1';
    out = put_text(out, in.serial, record_width::serial);
    *out++ = in.clock_flag == u'\0' ? u' ' : in.clock_flag;
    out = put_clock_text(out, in.clock_text, record_width::clock_text);
    out = put_number(out, in.count, record_width::count);
    TimeWriter times;
    for (std::int32_t k = 1; k <= in.count; ++k) {
        const DownloadedBarcode& item = (*download)[static_cast<std::size_t>(k)];
        out = put_item_number(out, k);
        out = put_text(out, item.barcode, record_width::barcode);
        const std::optional<std::int16_t>& type = item.type;
        if (!type) {
            out = put_blanks(out, record_width::type);
        } else if (*type >= 0 && *type < 100) {
            out = put_two(out, *type);
        } else {
            out = put_number(out, *type, record_width::type);
        }
        out = times.put(out, item.time);
    }
    assert(out == record.data() + record.size());
    return record;
}

}  // namespace harrowtally
