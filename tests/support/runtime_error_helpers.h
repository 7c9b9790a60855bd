#pragma once
// Runs a piece of a test and tells which runtime error, if any, it raised.
#include <functional>

#include "common/runtime_error.h"

namespace harrowtally::testing {

// The number of the RuntimeError that `f` raised, or 0 when it returned normally.
inline int error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace harrowtally::testing
