#pragma once
// Every member of the Clicker's automation interface by name, with what a dispatch caller can do
// with it: read it, assign it, call it.
#include <span>
#include <string_view>

#include "clicker/clicker.h"
#include "common/variant.h"

namespace harrowtally::host {

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
