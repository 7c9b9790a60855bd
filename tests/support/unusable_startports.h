#pragma once
// Startport values that do not convert to a port number, with the runtime error each gives. The
// members that take startport fail with these before the library is called.
#include <vector>

#include "common/runtime_error.h"
#include "common/variant.h"

namespace harrowtally::testing {

struct UnusableStartport {
    Variant startport;
    int error;
};

inline std::vector<UnusableStartport> unusable_startports() {
    return {
        {Variant::string(u"COM3"), err::type_mismatch}, {Variant::string(u""), err::type_mismatch},
        {Variant::null(), err::invalid_null},           {Variant::double_(3e9), err::overflow},  // just beyond 32 bits
        {Variant::double_(5e9), err::overflow},
    };
}

}  // namespace harrowtally::testing
