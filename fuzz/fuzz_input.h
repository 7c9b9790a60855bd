#pragma once
// Turning fuzzer bytes into the values the component is handed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/code_page.h"
#include "common/runtime_error.h"

namespace harrowtally::fuzz {

// Bytes read as Windows-1252 text, as texts reach the core from a host.
inline std::u16string text_of(const std::uint8_t* data, std::size_t size) {
    return bytes_to_text(data, size);
}

// Fails the run when an error is not one of the expected numbers.
template <typename... Numbers>
void expect_error(const RuntimeError& e, Numbers... allowed) {
    if (((e.number() != allowed) && ...)) std::abort();
}

inline void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace harrowtally::fuzz
