#include "host/commands/invoke_steps.h"

#include <cctype>
#include <charconv>
#include <limits>

#include "common/conversions.h"
#include "common/date_value.h"
#include "common/runtime_error.h"
#include "common/text.h"
#include "host/command_line/command.h"
#include "host/text/value_text.h"

namespace harrowtally::host {
namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_identifier(std::string_view name) {
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name.front()))) return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

Variant string_literal(std::string_view text) {
    std::string value;
    std::size_t i = 1;
    for (; i < text.size(); ++i) {
        if (text[i] != '"') {
            value.push_back(text[i]);
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            value.push_back('"');
            ++i;
        } else {
            break;
        }
    }
    if (i != text.size() - 1 || text.size() < 2) {
        throw UsageError("malformed string literal " + std::string(text));
    }
    return Variant::string(from_utf8(value));
}

// Reads `count` digits at `pos`; -1 when they are not all digits.
int digits_at(std::string_view s, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (i >= s.size() || !is_digit(s[i])) return -1;
        value = value * 10 + (s[i] - '0');
    }
    return value;
}

Variant date_literal(std::string_view text) {
    // #yyyy-mm-dd hh:mm:ss#
    const std::string_view body = text.size() >= 2 && text.back() == '#' ? text.substr(1, text.size() - 2) : "";
    const bool shaped =
        body.size() == 19 && body[4] == '-' && body[7] == '-' && body[10] == ' ' && body[13] == ':' && body[16] == ':';
    const int year = digits_at(body, 0, 4), month = digits_at(body, 5, 2), day = digits_at(body, 8, 2);
    const int hour = digits_at(body, 11, 2), minute = digits_at(body, 14, 2), second = digits_at(body, 17, 2);
    if (!shaped || year < 100 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 ||
        !is_valid_date(year, month, day) || !is_valid_time(hour, minute, second)) {
        throw UsageError("malformed date literal " + std::string(text) + " (write #yyyy-mm-dd hh:mm:ss#)");
    }
    // Before 30 December 1899 the day count is negative while the time of day still counts forward.
    const double days = date_serial(year, month, day);
    const double time = time_serial(hour, minute, second);
    return Variant::date(days < 0 ? days - time : days + time);
}

std::optional<Variant> number_literal(std::string_view text) {
    std::size_t i = (text.starts_with('-') || text.starts_with('+')) ? 1 : 0;
    bool digits = false, fraction = false, exponent = false;
    for (; i < text.size() && is_digit(text[i]); ++i) digits = true;
    if (i < text.size() && text[i] == '.') {
        fraction = true;
        for (++i; i < text.size() && is_digit(text[i]); ++i) digits = true;
    }
    if (!digits) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        exponent = true;
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        if (i >= text.size() || !is_digit(text[i])) return std::nullopt;
        while (i < text.size() && is_digit(text[i])) ++i;
    }
    if (i != text.size()) return std::nullopt;

    const std::string_view unsigned_part = text.starts_with('+') ? text.substr(1) : text;
    if (!fraction && !exponent) {
        long long whole = 0;
        const auto [end, ec] =
            std::from_chars(unsigned_part.data(), unsigned_part.data() + unsigned_part.size(), whole);
        if (ec == std::errc() && end == unsigned_part.data() + unsigned_part.size()) {
            if (whole >= std::numeric_limits<std::int16_t>::min() &&
                whole <= std::numeric_limits<std::int16_t>::max()) {
                return Variant::integer(static_cast<std::int16_t>(whole));
            }
            if (whole >= std::numeric_limits<std::int32_t>::min() &&
                whole <= std::numeric_limits<std::int32_t>::max()) {
                return Variant::long_(static_cast<std::int32_t>(whole));
            }
        }
    }
    double real = 0;
    const auto [end, ec] = std::from_chars(unsigned_part.data(), unsigned_part.data() + unsigned_part.size(), real);
    if (ec != std::errc() || end != unsigned_part.data() + unsigned_part.size()) return std::nullopt;
    return Variant::double_(real);
}

}  // namespace

Variant parse_value(std::string_view text) {
    text = trim(text);
    if (text.starts_with('"')) return string_literal(text);
    if (text.starts_with('#')) return date_literal(text);
    if (equals_ignoring_case(text, "True")) return Variant::boolean(true);
    if (equals_ignoring_case(text, "False")) return Variant::boolean(false);
    if (equals_ignoring_case(text, "Null")) return Variant::null();
    if (equals_ignoring_case(text, "Empty")) return Variant();
    if (auto number = number_literal(text)) return *number;
    return Variant::string(from_utf8(text));
}

Step parse_step(std::string_view text) {
    const auto equals = text.find('=');
    Step step;
    step.name = std::string(text.substr(0, equals));
    if (!is_identifier(step.name)) throw UsageError("malformed step \"" + std::string(text) + "\"");
    if (equals != std::string_view::npos) step.value = parse_value(text.substr(equals + 1));
    return step;
}

}  // namespace harrowtally::host

namespace harrowtally::host {
namespace {

// Arguments are coerced to the parameter's type as a dispatch layer does: a Null cannot become a
// number or a text (13), other values convert as the runtime converts them (13, 6).
std::int16_t integer_argument(const Variant& v) {
    if (v.is_null()) throw RuntimeError(err::type_mismatch);
    return to_integer(v);
}

std::u16string text_argument(const Variant& v) {
    if (v.is_null()) throw RuntimeError(err::type_mismatch);
    return to_text(v);
}

Variant boolean(bool b) {
    return Variant::boolean(b);
}

// clang-format off
constexpr Member kMembers[] = {
    {"startport",
     [](Clicker& c) { return c.startport(); },
     [](Clicker& c, const Variant& v) { c.let_startport(v); }, nullptr},
    {"get_barcode",
     [](Clicker& c) { return Variant::integer(c.get_barcode()); },
     [](Clicker& c, const Variant& v) { c.let_get_barcode(integer_argument(v)); }, nullptr},
    {"open_clicker", nullptr, nullptr, [](Clicker& c) { c.open_clicker(); }},
    {"close_clicker", nullptr, nullptr, [](Clicker& c) { c.close_clicker(); }},
    {"serial", [](Clicker& c) { return c.serial(); }, nullptr, nullptr},
    {"log", [](Clicker& c) { return c.log(); }, nullptr, nullptr},
    {"lastport", nullptr, [](Clicker& c, const Variant& v) { c.lastport(v); }, nullptr},
    {"newparams", nullptr, [](Clicker& c, const Variant& v) { c.newparams(v); }, nullptr},
    {"cur_clicker_params", nullptr, [](Clicker& c, const Variant& v) { c.cur_clicker_params(v); }, nullptr},
    {"pnewdatetime", nullptr, [](Clicker& c, const Variant& v) { c.pnewdatetime(text_argument(v)); }, nullptr},
    {"alldata", [](Clicker& c) { return c.alldata(); }, nullptr, nullptr},
    {"comport", [](Clicker& c) { return Variant::integer(c.comport()); }, nullptr, nullptr},
    {"num_barcodes", [](Clicker& c) { return Variant::integer(c.num_barcodes()); }, nullptr, nullptr},
    {"hello", [](Clicker& c) { return Variant::string(std::u16string(c.hello())); }, nullptr, nullptr},
    {"num_files", [](Clicker& c) { return Variant::integer(c.num_files()); }, nullptr, nullptr},
    {"open_ok", [](Clicker& c) { return boolean(c.open_ok()); }, nullptr, nullptr},
    {"empty_ok", [](Clicker& c) { return boolean(c.empty_ok()); }, nullptr, nullptr},
    {"EmptyScanner", nullptr, nullptr, [](Clicker& c) { c.EmptyScanner(); }},
    // A step has no arguments: the object's own last download gives the count and serial to compare.
    {"EmptyScannerIf", nullptr, nullptr,
     [](Clicker& c) { c.EmptyScannerIf(Variant::integer(c.num_barcodes()), c.serial()); }},
    {"reset_params", nullptr, nullptr, [](Clicker& c) { c.reset_params(); }},
    {"showparams", [](Clicker& c) { return c.showparams(); }, nullptr, nullptr},
    {"SwVersion", [](Clicker& c) { return c.SwVersion(); }, nullptr, nullptr},
    {"getdate", nullptr, nullptr, [](Clicker& c) { c.getdate(); }},
    {"setdate", nullptr, nullptr, [](Clicker& c) { c.setdate(); }},
    {"sbarcode", [](Clicker& c) { return c.sbarcode(); }, nullptr, nullptr},
    {"stime", [](Clicker& c) { return c.stime(); }, nullptr, nullptr},
    {"stype", [](Clicker& c) { return c.stype(); }, nullptr, nullptr},
};
// clang-format on

}  // namespace

std::span<const Member> members() {
    return kMembers;
}

const Member* find_member(std::string_view name) {
    for (const auto& member : kMembers) {
        if (equals_ignoring_case(member.name, name)) return &member;
    }
    return nullptr;
}

}  // namespace harrowtally::host
