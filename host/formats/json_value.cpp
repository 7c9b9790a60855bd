#include "host/formats/json_value.h"

#include "common/text.h"

namespace harrowtally::host {
namespace {

constexpr int kDeepest = 64;

class JsonParser {
public:
    JsonParser(std::string_view text, const JsonListReader* list) : text_(text), list_(list) {}

    std::optional<JsonValue> whole(std::string& problem) {
        JsonValue value;
        if (!parse(value, 0) || (skip_blanks(), pos_ != text_.size())) {
            if (problem_.empty()) problem_ = "text after the value";
            problem = problem_ + " at byte " + std::to_string(pos_);
            return std::nullopt;
        }
        return value;
    }

private:
    bool fail(const char* why) {
        if (problem_.empty()) problem_ = why;
        return false;
    }

    void skip_blanks() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }

    bool take(char c) {
        skip_blanks();
        if (pos_ == text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }

    bool word(std::string_view w) {
        if (text_.substr(pos_, w.size()) != w) return fail("unknown word");
        pos_ += w.size();
        return true;
    }

    bool parse(JsonValue& value, int depth) {
        if (depth > kDeepest) return fail("nesting too deep");
        skip_blanks();
        if (pos_ == text_.size()) return fail("a value is missing");
        switch (text_[pos_]) {
            case '{':
                return parse_object(value, depth);
            case '[':
                return parse_array(value, depth, false);
            case '"':
                value.kind = JsonValue::Kind::string;
                return parse_string(value.string);
            case 't':
                value.kind = JsonValue::Kind::boolean;
                value.boolean = true;
                return word("true");
            case 'f':
                value.kind = JsonValue::Kind::boolean;
                return word("false");
            case 'n':
                value.kind = JsonValue::Kind::null;
                return word("null");
            default:
                value.kind = JsonValue::Kind::number;
                return parse_number(value.number);
        }
    }

    bool parse_object(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::object;
        ++pos_;
        if (take('}')) return true;
        do {
            skip_blanks();
            std::u16string name;
            if (pos_ == text_.size() || text_[pos_] != '"' || !parse_string(name))
                return fail("a member name is missing");
            if (!take(':')) return fail("':' is missing");
            JsonValue member;
            const bool streamed = list_ && depth == 0 && name == ascii(list_->streamed_member);
            skip_blanks();
            const bool list = streamed && pos_ < text_.size() && text_[pos_] == '[';
            if (!(list ? parse_array(member, depth + 1, true) : parse(member, depth + 1))) return false;
            if (!value.object.emplace(std::move(name), std::move(member)).second)
                return fail("a member is named twice");
        } while (take(','));
        return take('}') || fail("'}' is missing");
    }

    // A list; with `streamed`, its elements go to the list reader one by one instead of into it.
    bool parse_array(JsonValue& value, int depth, bool streamed) {
        value.kind = JsonValue::Kind::array;
        ++pos_;
        if (take(']')) return true;
        do {
            JsonValue element;
            if (!parse(element, depth + 1)) return false;
            if (!streamed) {
                value.array.push_back(std::move(element));
            } else if (!list_->each(std::move(element))) {
                return fail("stopped");
            }
        } while (take(','));
        return take(']') || fail("']' is missing");
    }

    static bool is_digit(char c) { return c >= '0' && c <= '9'; }

    bool digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && is_digit(text_[pos_])) ++pos_;
        return pos_ > start;
    }

    bool parse_number(std::string& number) {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '0') {
            ++pos_;
        } else if (!digits()) {
            return fail("not a value");
        }
        if (pos_ < text_.size() && text_[pos_] == '.' && (++pos_, !digits())) return fail("a fraction has no digits");
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (!digits()) return fail("an exponent has no digits");
        }
        number.assign(text_.substr(start, pos_ - start));
        return true;
    }

    std::optional<char16_t> hex4() {
        if (text_.size() - pos_ < 4) return std::nullopt;
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text_[pos_++];
            v <<= 4;
            if (is_digit(c)) {
                v |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                v |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                v |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        return static_cast<char16_t>(v);
    }

    bool escape(std::u16string& out) {
        if (pos_ == text_.size()) return fail("an escape is cut off");
        const char c = text_[pos_++];
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out.push_back(static_cast<char16_t>(c));
                return true;
            case 'b':
                out.push_back(u'\b');
                return true;
            case 'f':
                out.push_back(u'\f');
                return true;
            case 'n':
                out.push_back(u'\n');
                return true;
            case 'r':
                out.push_back(u'\r');
                return true;
            case 't':
                out.push_back(u'\t');
                return true;
            case 'u':
                break;
            default:
                return fail("an unknown escape");
        }
        const auto unit = hex4();
        if (!unit) return fail("a \\u escape needs four hexadecimal digits");
        if (unicode::is_low_surrogate(*unit)) return fail("a lone surrogate escape");
        out.push_back(*unit);
        if (!unicode::is_high_surrogate(*unit)) return true;
        if (text_.substr(pos_, 2) != "\\u") return fail("a lone surrogate escape");
        pos_ += 2;
        const auto low = hex4();
        if (!low || !unicode::is_low_surrogate(*low)) return fail("a lone surrogate escape");
        out.push_back(*low);
        return true;
    }

    bool parse_string(std::u16string& out) {
        ++pos_;  // the opening quote
        for (;;) {
            const std::size_t plain = pos_;
            while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\\' &&
                   static_cast<unsigned char>(text_[pos_]) >= 0x20) {
                ++pos_;
            }
            const auto decoded = from_utf8_strictly(text_.substr(plain, pos_ - plain));
            if (!decoded) return fail("a string is not UTF-8");
            out += *decoded;
            if (pos_ == text_.size()) return fail("a string is not closed");
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (c != '\\') return fail("a control character in a string");
            if (!escape(out)) return false;
        }
    }

    std::string_view text_;
    const JsonListReader* list_;
    std::size_t pos_ = 0;
    std::string problem_;
};

}  // namespace

const JsonValue* JsonValue::member(const std::string& name) const {
    const auto found = object.find(ascii(name));
    return found == object.end() ? nullptr : &found->second;
}

std::optional<JsonValue> parse_json(std::string_view text, std::string& problem, const JsonListReader* list) {
    return JsonParser(text, list).whole(problem);
}

}  // namespace harrowtally::host
