#pragma once
// A JSON text read into values (RFC 8259), for reading back what the download command wrote.
// Strings are UTF-16, as the component's texts are; numbers are kept as their text.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harrowtally::host {

struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    bool boolean = false;
    std::string number;  // the number's text as written
    std::u16string string;
    std::vector<JsonValue> array;
    std::map<std::u16string, JsonValue> object;

    // The member `name` of an object; null when absent.
    const JsonValue* member(const std::string& name) const;
};

// Takes the elements of one list as they are read, so that a long list is never held whole:
// called with each element of the list that is the member `streamed_member` of the top-level
// object, which then holds that member as an empty list. Returning false stops the reading.
struct JsonListReader {
    std::string streamed_member;
    std::function<bool(JsonValue&& element)> each;
};

// The value of a whole JSON text; nullopt with the reason in `problem` when it is not valid JSON
// (invalid UTF-8, a lone surrogate escape, text after the value, nesting deeper than 64), an
// object names a member twice (which of the two a reader takes is not agreed), or `list` stopped
// the reading ("stopped").
std::optional<JsonValue> parse_json(std::string_view text, std::string& problem, const JsonListReader* list = nullptr);

}  // namespace harrowtally::host
