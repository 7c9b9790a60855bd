#include "host/formats/xml_reader.h"

#include <charconv>

#include "common/text.h"
#include "host/formats/format_parts.h"

namespace harrowtally::host::formats {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

void XmlReader::fail(const std::string& why) const {
    throw Malformed{what_ + " " + why};
}

bool XmlReader::next() {
    for (;;) {
        const std::size_t open = xml_.find('<', pos_);
        if (open == std::string_view::npos) {
            pos_ = xml_.size();
            return false;
        }
        const std::string_view rest = xml_.substr(open);
        if (rest.starts_with("<!--")) {
            const std::size_t close = xml_.find("-->", open + 4);
            if (close == std::string_view::npos) fail("has a comment that is not closed");
            pos_ = close + 3;
            continue;
        }
        if (rest.starts_with("<?")) {
            const std::size_t close = xml_.find("?>", open + 2);
            if (close == std::string_view::npos) fail("has a processing instruction that is not closed");
            pos_ = close + 2;
            continue;
        }
        if (rest.starts_with("<!")) fail("has a document type or markup declaration");
        const std::size_t close = xml_.find('>', open);
        if (close == std::string_view::npos) fail("ends inside a tag");
        std::string_view tag = xml_.substr(open + 1, close - open - 1);
        pos_ = close + 1;
        kind_ = Kind::start;
        if (tag.starts_with('/')) {
            kind_ = Kind::end;
            tag.remove_prefix(1);
        } else if (tag.ends_with('/')) {
            kind_ = Kind::empty;
            tag.remove_suffix(1);
        }
        std::size_t name_end = 0;
        while (name_end < tag.size() && !is_space(tag[name_end])) ++name_end;
        name_ = tag.substr(0, name_end);
        if (name_.empty()) fail("has a tag without a name");
        if (const std::size_t colon = name_.find(':'); colon != std::string_view::npos) name_.remove_prefix(colon + 1);
        attributes_ = tag.substr(name_end);
        return true;
    }
}

std::optional<std::string> XmlReader::attribute(std::string_view name) const {
    std::string_view rest = attributes_;
    for (;;) {
        while (!rest.empty() && is_space(rest.front())) rest.remove_prefix(1);
        if (rest.empty()) return std::nullopt;
        const std::size_t equals = rest.find('=');
        if (equals == std::string_view::npos || equals + 1 >= rest.size()) fail("has an attribute without a value");
        std::string_view key = rest.substr(0, equals);
        while (!key.empty() && is_space(key.back())) key.remove_suffix(1);
        if (const std::size_t colon = key.find(':'); colon != std::string_view::npos) key.remove_prefix(colon + 1);
        std::size_t quote_at = equals + 1;
        while (quote_at < rest.size() && is_space(rest[quote_at])) ++quote_at;
        if (quote_at >= rest.size() || (rest[quote_at] != '"' && rest[quote_at] != '\'')) {
            fail("has an attribute value without quotes");
        }
        const std::size_t end = rest.find(rest[quote_at], quote_at + 1);
        if (end == std::string_view::npos) fail("has an attribute value that is not closed");
        if (key == name) {
            std::string value;
            append_decoded(value, rest.substr(quote_at + 1, end - quote_at - 1));
            return value;
        }
        rest.remove_prefix(end + 1);
    }
}

std::string XmlReader::text() {
    std::string out;
    if (kind_ == Kind::empty) return out;
    for (;;) {
        const std::size_t open = xml_.find('<', pos_);
        if (open == std::string_view::npos) fail("ends inside a text");
        append_decoded(out, xml_.substr(pos_, open - pos_));
        pos_ = open;
        if (xml_.substr(open).starts_with("<![CDATA[")) {
            const std::size_t close = xml_.find("]]>", open + 9);
            if (close == std::string_view::npos) fail("has a CDATA section that is not closed");
            out += xml_.substr(open + 9, close - open - 9);
            pos_ = close + 3;
            continue;
        }
        if (xml_.substr(open).starts_with("<!--")) {
            const std::size_t close = xml_.find("-->", open + 4);
            if (close == std::string_view::npos) fail("has a comment that is not closed");
            pos_ = close + 3;
            continue;
        }
        const std::string_view name = name_;
        if (!next() || kind_ != Kind::end || name_ != name) {
            fail("has markup inside <" + std::string(name) + ">, which holds text only");
        }
        return out;
    }
}

void XmlReader::skip() {
    if (kind_ == Kind::empty) return;
    int depth = 1;
    while (depth > 0) {
        if (!next()) fail("ends inside an element");
        if (kind_ == Kind::start) ++depth;
        if (kind_ == Kind::end) --depth;
    }
}

void XmlReader::append_decoded(std::string& out, std::string_view raw) const {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            // XML's line-end rule: CR LF and a lone CR are read as LF.
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            out += '\n';
            continue;
        }
        if (raw[i] != '&') {
            out += raw[i];
            continue;
        }
        const std::size_t semicolon = raw.find(';', i);
        if (semicolon == std::string_view::npos) fail("has an & that starts no reference");
        const std::string_view ref = raw.substr(i + 1, semicolon - i - 1);
        i = semicolon;
        if (ref == "amp") {
            out += '&';
        } else if (ref == "lt") {
            out += '<';
        } else if (ref == "gt") {
            out += '>';
        } else if (ref == "quot") {
            out += '"';
        } else if (ref == "apos") {
            out += '\'';
        } else if (ref.starts_with('#')) {
            const bool hex = ref.size() > 1 && ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            std::uint32_t cp = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp < 0xD800) ||
                                 (cp >= 0xE000 && cp < 0xFFFE) || (cp >= 0x10000 && cp < 0x110000);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || !allowed) {
                fail("has a character reference &" + std::string(ref) + "; that names no XML character");
            }
            unicode::append_utf8(out, cp);
        } else {
            fail("has an unknown entity &" + std::string(ref) + ";");
        }
    }
}

}  // namespace harrowtally::host::formats
