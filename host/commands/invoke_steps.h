#pragma once
// The steps of `invoke`, read without running anything: NAME reads a property or calls a method,
// NAME=VALUE assigns, VALUE written as a VBScript literal. And every member of the Clicker's
// automation interface by name, with what a dispatch caller can do with it: read it, assign it,
// call it.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "clicker/clicker.h"
#include "common/variant.h"

namespace harrowtally::host {

struct Step {
    std::string name;
    std::optional<Variant> value;  // present for an assignment
};

// Throws UsageError for a malformed step: an empty name, a name that is not an identifier, or a
// value that starts a string or date literal without being one.
Step parse_step(std::string_view text);

// VBScript literal reading: an integer is Integer when it fits 16 bits, else Long, else Double; a
// number with a decimal point or an exponent is Double; "..." is String ("" inside for a quote);
// True, False, Null and Empty in any case; #yyyy-mm-dd hh:mm:ss# is a Date; anything else,
// including nothing at all, is the String as written. Blanks around the value are dropped.
Variant parse_value(std::string_view text);

struct Member {
    const char* name;                             // as the interface spells it
    Variant (*get)(Clicker&);                     // nullptr: cannot be read
    void (*let)(Clicker&, const Variant& value);  // nullptr: cannot be assigned
    void (*call)(Clicker&);                       // nullptr: not a method
};

std::span<const Member> members();

// Names match without regard to case, as a dispatch layer matches them; nullptr when unknown.
const Member* find_member(std::string_view name);

}  // namespace harrowtally::host
