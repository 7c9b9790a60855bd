#pragma once
// A pull reader of the XML in a workbook: elements, their attributes and text, without DTDs (a
// workbook has none, and entity definitions are refused rather than expanded). Names are compared
// without their namespace prefix. Throws Malformed for what is not well-formed enough to read.
#include <optional>
#include <string>
#include <string_view>

namespace harrowtally::host::formats {

class XmlReader {
public:
    enum class Kind { start, end, empty };

    XmlReader(std::string_view xml, std::string what) : xml_(xml), what_(std::move(what)) {}

    // Moves to the next tag, past text, comments and processing instructions; false at the end.
    bool next();
    Kind kind() const { return kind_; }
    bool is(Kind kind, std::string_view name) const { return kind_ == kind && name_ == name; }
    bool starts(std::string_view name) const { return kind_ != Kind::end && name_ == name; }
    // An attribute of the current start tag, its entities undone; nullopt when it has none of that name.
    std::optional<std::string> attribute(std::string_view name) const;
    // The text of the element the current start tag opens, up to its end tag, entities and
    // character references undone (UTF-8); the reader is then at the end tag.
    std::string text();
    // Leaves the element the current start tag opens; the reader is then at its end tag.
    void skip();

private:
    [[noreturn]] void fail(const std::string& why) const;
    void append_decoded(std::string& out, std::string_view raw) const;

    std::string_view xml_;
    std::string what_;
    std::size_t pos_ = 0;
    Kind kind_ = Kind::end;
    std::string_view name_, attributes_;
};

}  // namespace harrowtally::host::formats
