#include "clicker/scan_time.h"

#include <optional>

#include "common/date_value.h"
#include "common/runtime_error.h"

namespace harrowtally {
namespace {

constexpr std::size_t time_width = 11;

bool is_blank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool is_digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

std::u16string_view trimmed(std::u16string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

// 1 or 2 decimal digits, blanks around them allowed.
std::optional<int> small_number(std::u16string_view field) {
    field = trimmed(field);
    if (field.empty() || field.size() > 2) return std::nullopt;
    int v = 0;
    for (char16_t c : field) {
        if (!is_digit(c)) return std::nullopt;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// Reads 1 or 2 digits at pos and advances past them.
std::optional<int> read_digits(std::u16string_view s, std::size_t& pos) {
    const std::size_t start = pos;
    int v = 0;
    while (pos < s.size() && pos - start < 2 && is_digit(s[pos])) v = v * 10 + (s[pos++] - u'0');
    if (pos == start) return std::nullopt;
    return v;
}

char16_t upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

std::optional<double> time_of_day(std::u16string_view text) {
    const std::size_t nul = text.find(u'\0');
    if (nul != std::u16string_view::npos) text = text.substr(0, nul);
    text = trimmed(text);
    std::size_t pos = 0;
    const auto hour = read_digits(text, pos);
    if (!hour || pos >= text.size() || text[pos++] != u':') return std::nullopt;
    const auto minute = read_digits(text, pos);
    if (!minute) return std::nullopt;
    int second = 0;
    if (pos < text.size() && text[pos] == u':') {
        ++pos;
        const auto s = read_digits(text, pos);
        if (!s) return std::nullopt;
        second = *s;
    }
    int h = *hour;
    const std::u16string_view rest = trimmed(text.substr(pos));
    if (!rest.empty()) {
        if (rest.size() != 2 || upper(rest[1]) != u'M') return std::nullopt;
        const char16_t half = upper(rest[0]);
        if ((half != u'A' && half != u'P') || h < 1 || h > 12) return std::nullopt;
        h = h % 12 + (half == u'P' ? 12 : 0);
    }
    if (!is_valid_time(h, *minute, second)) return std::nullopt;
    return time_serial(h, *minute, second);
}

void mask_first(std::u16string& text, std::u16string_view marker) {
    const std::size_t at = text.find(marker);
    if (at != std::u16string::npos && at > 0) text.replace(at, marker.size(), u"00");
}

}  // namespace

void mask_stamp_fields(std::u16string& text) {
    mask_first(text, u"63");
    mask_first(text, u"??");
}

std::optional<double> stamp_date(std::u16string_view text) {
    // 0-based positions of the two slashes.
    const std::size_t p1 = text.find(u'/');
    if (p1 == std::u16string_view::npos || p1 < 2) throw RuntimeError(err::invalid_call);
    const std::size_t p2 = text.find(u'/', p1 + 1);
    if (p2 == std::u16string_view::npos) throw RuntimeError(err::invalid_call);

    const auto month = small_number(text.substr(p1 - 2, 2));
    const auto day = small_number(text.substr(p1 + 1, p2 - p1 - 1));
    const auto yy = small_number(text.substr(p2 + 1, 2));
    if (month && day && yy) {
        const int year = expand_two_digit_year(*yy);
        if (is_valid_date(year, *month, *day)) {
            double value = date_serial(year, *month, *day);
            if (const auto t = time_of_day(text.substr(0, time_width))) value += *t;
            return value;
        }
    }
    return std::nullopt;
}

bool stamp_text_gives(std::u16string_view stamp_text, double date) {
    std::u16string own(stamp_text);
    own.resize(stamp_text_width, u'\0');
    mask_stamp_fields(own);
    try {
        return stamp_date(own) == date;
    } catch (const RuntimeError&) {
        return false;
    }
}

namespace {

// A cursor over a stamp text for the exact reading.
class StampReader {
public:
    explicit StampReader(std::u16string_view text) : text_(text) {}

    void blanks() {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
    }
    bool blank_follows() const { return pos_ < text_.size() && is_blank(text_[pos_]); }
    bool at_end() const { return pos_ == text_.size(); }
    bool take(char16_t c) {
        if (pos_ == text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    // Between `min` and `max` decimal digits.
    std::optional<int> number(std::size_t min, std::size_t max) {
        const std::size_t start = pos_;
        int v = 0;
        while (pos_ < text_.size() && pos_ - start < max && is_digit(text_[pos_])) v = v * 10 + (text_[pos_++] - u'0');
        if (pos_ - start < min || (pos_ < text_.size() && is_digit(text_[pos_]))) return std::nullopt;
        return v;
    }
    // "AM" or "PM" in either case: 0 or 12 hours to add; nullopt when neither is there.
    std::optional<int> half_day() {
        if (text_.size() - pos_ < 2 || upper(text_[pos_ + 1]) != u'M') return std::nullopt;
        const char16_t half = upper(text_[pos_]);
        if (half != u'A' && half != u'P') return std::nullopt;
        pos_ += 2;
        return half == u'P' ? 12 : 0;
    }

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<double> stamp_exact_time(std::u16string_view text) {
    StampReader r(text);
    r.blanks();
    auto hour = r.number(1, 2);
    if (!hour || !r.take(u':')) return std::nullopt;
    const auto minute = r.number(2, 2);
    if (!minute || !r.take(u':')) return std::nullopt;
    const auto second = r.number(2, 2);
    if (!second || !r.blank_follows()) return std::nullopt;
    r.blanks();
    if (const auto half = r.half_day()) {
        if (*hour < 1 || *hour > 12 || !r.blank_follows()) return std::nullopt;
        hour = *hour % 12 + *half;
        r.blanks();
    }
    const auto month = r.number(1, 2);
    if (!month || !r.take(u'/')) return std::nullopt;
    const auto day = r.number(1, 2);
    if (!day || !r.take(u'/')) return std::nullopt;
    const auto yy = r.number(2, 2);
    if (!yy) return std::nullopt;
    r.blanks();
    if (!r.at_end()) return std::nullopt;
    const int year = expand_two_digit_year(*yy);
    if (!is_valid_date(year, *month, *day) || !is_valid_time(*hour, *minute, *second)) return std::nullopt;
    return date_serial(year, *month, *day) + time_serial(*hour, *minute, *second);
}

double stamp_date_value(std::u16string_view text) {
    return stamp_date(text).value_or(unreadable_stamp_date);
}

}  // namespace harrowtally
