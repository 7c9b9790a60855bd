#include "device.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>

namespace harrowtally::sim {
namespace {

struct NamedType {
    std::string_view name;
    std::uint8_t type;
};
constexpr NamedType kTypeNames[] = {
    {"EAN-8", code_type::ean8},    {"EAN-13", code_type::ean13},    {"UPC-A", code_type::upca},
    {"UPC-E", code_type::upce},    {"I2of5", code_type::i2of5},     {"Codabar", code_type::codabar},
    {"Code39", code_type::code39}, {"Code128", code_type::code128},
};

struct NamedStampFault {
    std::string_view name;
    StampFault fault;
};
constexpr NamedStampFault kStampFaults[] = {
    {"none", StampFault::none},           {"no_slash", StampFault::no_slash},
    {"one_slash", StampFault::one_slash}, {"early_slash", StampFault::early_slash},
    {"bad_date", StampFault::bad_date},
};

std::uint8_t builtin_default(int param) {
    return static_cast<std::uint8_t>(param % 4);
}

bool equal_nocase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
        if (i > start) out.push_back(s.substr(start, i - start));
    }
    return out;
}

template <typename Int>
std::optional<Int> parse_int(std::string_view s, int base = 10) {
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    Int value{};
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
    if (ec != std::errc{} || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return value;
}

std::optional<bool> parse_bool(std::string_view s) {
    if (equal_nocase(s, "yes") || equal_nocase(s, "true") || s == "1") return true;
    if (equal_nocase(s, "no") || equal_nocase(s, "false") || s == "0") return false;
    return std::nullopt;
}

std::string with_check_digit(std::string digits) {
    digits += gs1_check_digit(digits);
    return digits;
}

std::string with_code39_check(std::string data) {
    data += code39_check_char(data);
    return data;
}

// `prefix` followed by `value` in decimal with leading zeros to `width` digits.
std::string numbered(std::string_view prefix, std::size_t value, std::size_t width) {
    const std::string digits = std::to_string(value);
    std::string text(prefix);
    if (digits.size() < width) text.append(width - digits.size(), '0');
    text += digits;
    return text;
}

// Reads one state file line by line; every error names its line.
class Reader {
public:
    Device read(std::istream& in) {
        device_.sw_version.clear();
        for (int p = 0; p < kParamCount; ++p) device_.defaults[p] = builtin_default(p);
        std::string line;
        while (std::getline(in, line)) {
            ++line_no_;
            const std::string_view text = trim(line);
            if (text.empty() || text.front() == '#') continue;
            const std::size_t eq = text.find('=');
            if (eq == std::string_view::npos) fail("expected 'key = value'");
            entry(words(text.substr(0, eq)), trim(text.substr(eq + 1)));
        }
        if (in.bad()) throw FormatError("the state file could not be read");
        for (int p = 0; p < kParamCount; ++p) device_.params[p] = set_params_[p].value_or(device_.defaults[p]);
        return std::move(device_);
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw FormatError("line " + std::to_string(line_no_) + ": " + why);
    }

    template <typename Int>
    Int integer(std::string_view value, std::string_view what) const {
        const auto n = parse_int<Int>(value);
        if (!n) fail(std::string(what) + " must be a whole number, not '" + std::string(value) + "'");
        return *n;
    }

    int param_number(const std::vector<std::string_view>& key) const {
        if (key.size() != 2) fail("expected '" + std::string(key[0]) + " N = VALUE'");
        const auto n = parse_int<int>(key[1]);
        if (!n || *n < 0 || *n >= kParamCount) fail("parameter numbers run from 0 to 99");
        return *n;
    }

    std::uint8_t byte_value(std::string_view value) const {
        const int v = integer<int>(value, "a parameter value");
        if (v < 0 || v > 255) fail("a parameter value runs from 0 to 255");
        return static_cast<std::uint8_t>(v);
    }

    void entry(const std::vector<std::string_view>& key, std::string_view value) {
        if (key.empty()) fail("missing key before '='");
        const std::string_view name = key[0];
        if (name == "param") {
            const int n = param_number(key);
            set_params_[n] = byte_value(value);
            return;
        }
        if (name == "default") {
            const int n = param_number(key);
            device_.defaults[n] = byte_value(value);
            return;
        }
        if (key.size() != 1) fail("unknown key '" + std::string(name) + " ...'");
        if (name == "port") {
            device_.port = equal_nocase(value, "none")
                               ? std::nullopt
                               : std::optional<std::int32_t>(integer<std::int32_t>(value, name));
        } else if (name == "docked") {
            const auto b = parse_bool(value);
            if (!b) fail("docked is yes or no");
            device_.docked = *b;
        } else if (name == "busy_ports") {
            device_.busy_ports.clear();
            for (auto w : words(value)) device_.busy_ports.push_back(integer<std::int32_t>(w, "a port"));
        } else if (name == "device_id") {
            const auto bytes = words(value);
            if (bytes.size() != device_.id.size()) fail("device_id takes 8 hexadecimal bytes");
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const auto b = parse_int<unsigned>(bytes[i], 16);
                if (!b || *b > 255 || bytes[i].size() > 2) fail("device_id takes 8 hexadecimal bytes");
                device_.id[i] = static_cast<std::uint8_t>(*b);
            }
        } else if (name == "sw_version") {
            if (value.size() > kMaxVersionLength) fail("sw_version is at most 31 characters");
            device_.sw_version = value;
        } else if (name == "system_status") {
            device_.system_status = integer<std::int32_t>(value, name);
        } else if (name == "protocol") {
            device_.protocol = integer<std::int32_t>(value, name);
        } else if (name == "ascii_mode") {
            device_.ascii_mode = integer<std::int32_t>(value, name);
        } else if (name == "rtc_mode") {
            device_.rtc_mode = integer<std::int32_t>(value, name);
        } else if (name == "clock_offset") {
            device_.clock_offset = integer<std::int64_t>(value, name);
        } else if (name == "clock_lost") {
            const auto b = parse_bool(value);
            if (!b) fail("clock_lost is yes or no");
            device_.clock_lost = *b;
        } else if (name == "barcode") {
            barcode(value);
        } else if (name == "barcodes_generated") {
            const auto n = integer<std::int32_t>(value, name);
            if (n < 0 || n > 1000000) fail("barcodes_generated runs from 0 to 1000000");
            device_.generated = n;
        } else if (name == "fault_count") {
            device_.count_result = integer<std::int32_t>(value, name);
        } else if (name == "fault_packet_at") {
            const auto k = integer<std::int32_t>(value, name);
            if (k < 1) fail("fault_packet_at counts barcodes from 1");
            device_.packet_fail_at = k;
        } else if (name == "fault_packet_unwritten_at") {
            const auto k = integer<std::int32_t>(value, name);
            if (k < 1) fail("fault_packet_unwritten_at counts barcodes from 1");
            device_.packet_unwritten_at = k;
        } else if (name == "fault_stamp_text") {
            const auto it = std::find_if(std::begin(kStampFaults), std::end(kStampFaults),
                                         [&](const NamedStampFault& f) { return equal_nocase(f.name, value); });
            if (it == std::end(kStampFaults)) {
                fail("fault_stamp_text is none, no_slash, one_slash, early_slash or bad_date");
            }
            device_.stamp_fault = it->fault;
        } else if (name == "fault_erase_failures") {
            if (equal_nocase(value, "always")) {
                device_.erase_failures = -1;
            } else {
                const auto n = integer<std::int32_t>(value, name);
                if (n < 0) fail("fault_erase_failures is a count or 'always'");
                device_.erase_failures = n;
            }
        } else if (name == "fault_calls") {
            device_.failing.fill(false);
            for (auto w : words(value)) {
                const auto it = std::find_if(std::begin(csp2_abi::function_names), std::end(csp2_abi::function_names),
                                             [&](std::string_view n) { return equal_nocase(n, w); });
                if (it == std::end(csp2_abi::function_names))
                    fail("fault_calls: unknown function '" + std::string(w) + "'");
                device_.failing[static_cast<std::size_t>(it - std::begin(csp2_abi::function_names))] = true;
            }
        } else {
            fail("unknown key '" + std::string(name) + "'");
        }
    }

    // TYPE YYYY-MM-DD HH:MM:SS TEXT; the text is the rest of the line and may hold blanks.
    void barcode(std::string_view value) {
        const std::size_t type_end = value.find_first_of(" \t");
        if (type_end == std::string_view::npos) fail("expected 'barcode = TYPE YYYY-MM-DD HH:MM:SS TEXT'");
        Barcode b;
        const auto type = parse_code_type(value.substr(0, type_end));
        if (!type) fail("unknown code type '" + std::string(value.substr(0, type_end)) + "'");
        b.type = *type;
        const std::string_view rest = trim(value.substr(type_end));
        constexpr std::size_t kStampLength = 19;
        if (rest.size() < kStampLength || !parse_date_time(rest.substr(0, kStampLength), b.scanned)) {
            fail("expected a scan time 'YYYY-MM-DD HH:MM:SS' after the code type");
        }
        if (!packable(b.scanned)) fail("scan times run from the year 2000 to 2063");
        b.text = trim(rest.substr(kStampLength));
        if (b.text.size() > kMaxBarcodeLength) fail("a barcode holds at most 250 characters");
        device_.barcodes.push_back(std::move(b));
    }

    Device device_;
    std::array<std::optional<std::uint8_t>, kParamCount> set_params_{};
    int line_no_ = 0;
};

}  // namespace

std::string code_type_name(std::uint8_t type) {
    for (const auto& t : kTypeNames) {
        if (t.type == type) return std::string(t.name);
    }
    return std::to_string(type);
}

std::optional<std::uint8_t> parse_code_type(std::string_view name) {
    for (const auto& t : kTypeNames) {
        if (equal_nocase(t.name, name)) return t.type;
    }
    const auto n = parse_int<int>(name);
    if (n && *n >= 0 && *n <= 255) return static_cast<std::uint8_t>(*n);
    return std::nullopt;
}

std::string_view call_name(Call call) {
    return csp2_abi::name_of(call);
}

Barcode Device::barcode(std::size_t index) const {
    return index < barcodes.size() ? barcodes[index] : generated_barcode(index - barcodes.size());
}

Barcode generated_barcode(std::size_t index) {
    static const std::int64_t kFirstScan = to_seconds(DateTime{2026, 1, 5, 6, 0, 0});
    Barcode b;
    b.scanned = from_seconds(kFirstScan + static_cast<std::int64_t>(index));
    switch (index % 4) {
        case 0:
            b.type = code_type::ean13;
            b.text = with_check_digit(numbered("20", index, 10));
            break;
        case 1:
            b.type = code_type::upca;
            b.text = with_check_digit(numbered("2", index, 10));
            break;
        case 2:
            b.type = code_type::code39;
            b.text = with_code39_check(numbered("HT-", index, 7));
            break;
        default:
            // A serial shipping container code (application identifier 00) in GS1-128.
            b.type = code_type::code128;
            b.text = "00";
            b.text += with_check_digit(numbered("34012345", index, 9));
            break;
    }
    return b;
}

Device demo_device(const DateTime& today) {
    struct Scan {
        std::uint8_t type;
        const char* data;  // without its check character
        int minute_of_day;
        int second;
    };
    // A day's work at a goods-in desk: retail articles, shelf labels in Code 39 and pallet and
    // carton labels in GS1-128, some articles scanned more than once.
    static constexpr Scan kScans[] = {
        {code_type::code128, "0034012345000000117", 7 * 60 + 58, 12},
        {code_type::ean13, "400638133393", 8 * 60 + 3, 41},
        {code_type::ean13, "590123412345", 8 * 60 + 4, 5},
        {code_type::upca, "03600029145", 8 * 60 + 11, 37},
        {code_type::code39, "HT-4471", 8 * 60 + 19, 2},
        {code_type::ean13, "871125300120", 8 * 60 + 26, 58},
        {code_type::ean13, "400638133393", 8 * 60 + 27, 14},
        {code_type::upca, "01234567890", 8 * 60 + 45, 30},
        {code_type::code128, "010400638133393", 9 * 60 + 2, 9},
        {code_type::ean13, "978020137962", 9 * 60 + 17, 44},
        {code_type::code39, "LOT 2026/11", 9 * 60 + 40, 0},
        {code_type::ean13, "501234567890", 9 * 60 + 58, 23},
        {code_type::upca, "07213401032", 10 * 60 + 15, 51},
        {code_type::ean13, "761234567890", 10 * 60 + 33, 7},
        {code_type::code128, "0034012345000000124", 10 * 60 + 52, 39},
        {code_type::code39, "SHELF-B12", 11 * 60 + 8, 16},
        {code_type::ean13, "400599994001", 11 * 60 + 26, 3},
        {code_type::ean13, "590123412345", 11 * 60 + 27, 48},
        {code_type::upca, "04210000526", 12 * 60 + 49, 20},
        {code_type::ean13, "871125300120", 13 * 60 + 5, 35},
        {code_type::code39, "HT-4472", 13 * 60 + 21, 59},
        {code_type::code128, "010871125300120", 13 * 60 + 44, 10},
        {code_type::ean13, "978316148410", 14 * 60 + 2, 27},
        {code_type::upca, "88888888888", 14 * 60 + 18, 4},
        {code_type::ean13, "400638133393", 14 * 60 + 37, 46},
        {code_type::code39, "RET+0042", 15 * 60 + 0, 33},
        {code_type::ean13, "501234567890", 15 * 60 + 23, 18},
        {code_type::code128, "0034012345000000131", 15 * 60 + 49, 55},
        {code_type::upca, "03600029145", 16 * 60 + 12, 40},
        {code_type::ean13, "761234567890", 16 * 60 + 31, 2},
    };

    Device d;
    d.port = 3;
    d.id = {0x4A, 0x58, 0x01, 0x0C, 0x7F, 0x00, 0x93, 0xE2};
    d.sw_version = "SIM 2.14";
    d.protocol = 1;
    d.ascii_mode = 1;
    d.rtc_mode = 1;
    d.clock_offset = -97;
    for (int p = 0; p < kParamCount; ++p) d.defaults[p] = d.params[p] = builtin_default(p);
    d.params[7] = 1;  // a setting changed by hand since the defaults were restored

    // The last working day (Monday to Friday) before today.
    DateTime day = from_seconds(to_seconds(DateTime{today.year, today.month, today.day}) - 86400);
    while (weekday(day) >= 5) day = from_seconds(to_seconds(day) - 86400);

    for (const Scan& s : kScans) {
        Barcode b;
        b.type = s.type;
        if (s.type == code_type::code39) {
            b.text = with_code39_check(s.data);
        } else if (s.type == code_type::code128) {
            // Application identifier (00 or 01), then the number that carries the check digit.
            b.text = std::string(s.data, 2) + with_check_digit(s.data + 2);
        } else {
            b.text = with_check_digit(s.data);
        }
        b.scanned = day;
        b.scanned.hour = s.minute_of_day / 60;
        b.scanned.minute = s.minute_of_day % 60;
        b.scanned.second = s.second;
        d.barcodes.push_back(std::move(b));
    }
    return d;
}

Device read_device(std::istream& in) {
    return Reader().read(in);
}

void write_device(std::ostream& out, const Device& d) {
    char hex[4];
    out << "# Simulated batch scanner. The simulator rewrites this file after every change.\n";
    out << "port = " << (d.port ? std::to_string(*d.port) : std::string("none")) << '\n';
    if (!d.docked) out << "docked = no\n";
    if (!d.busy_ports.empty()) {
        out << "busy_ports =";
        for (auto p : d.busy_ports) out << ' ' << p;
        out << '\n';
    }
    out << "device_id =";
    for (auto b : d.id) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        out << ' ' << hex;
    }
    out << '\n';
    out << "sw_version = " << d.sw_version << '\n';
    out << "system_status = " << d.system_status << '\n';
    out << "protocol = " << d.protocol << '\n';
    out << "ascii_mode = " << d.ascii_mode << '\n';
    out << "rtc_mode = " << d.rtc_mode << '\n';
    out << "clock_offset = " << d.clock_offset << '\n';
    if (d.clock_lost) out << "clock_lost = yes\n";
    for (int p = 0; p < kParamCount; ++p) {
        if (d.defaults[p] != builtin_default(p)) out << "default " << p << " = " << int{d.defaults[p]} << '\n';
    }
    for (int p = 0; p < kParamCount; ++p) {
        if (d.params[p] != d.defaults[p]) out << "param " << p << " = " << int{d.params[p]} << '\n';
    }
    if (d.count_result) out << "fault_count = " << *d.count_result << '\n';
    if (d.packet_fail_at) out << "fault_packet_at = " << *d.packet_fail_at << '\n';
    if (d.packet_unwritten_at) out << "fault_packet_unwritten_at = " << *d.packet_unwritten_at << '\n';
    if (d.stamp_fault != StampFault::none) {
        for (const auto& f : kStampFaults) {
            if (f.fault == d.stamp_fault) out << "fault_stamp_text = " << f.name << '\n';
        }
    }
    if (d.erase_failures < 0) out << "fault_erase_failures = always\n";
    if (d.erase_failures > 0) out << "fault_erase_failures = " << d.erase_failures << '\n';
    if (std::find(d.failing.begin(), d.failing.end(), true) != d.failing.end()) {
        out << "fault_calls =";
        for (std::size_t c = 0; c < d.failing.size(); ++c) {
            if (d.failing[c]) out << ' ' << csp2_abi::function_names[c];
        }
        out << '\n';
    }
    if (d.generated > 0) out << "barcodes_generated = " << d.generated << '\n';
    for (const Barcode& b : d.barcodes) {
        out << "barcode = " << code_type_name(b.type) << ' ' << format_date_time(b.scanned) << ' ' << b.text << '\n';
    }
}

}  // namespace harrowtally::sim
