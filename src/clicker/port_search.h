#pragma once
// The port search of open_clicker: it tries 16 ports from startport, counting upward and wrapping
// from 15 to 0; comport holds 999 when the last search found no scanner.
#include <cstdint>

namespace harrowtally {

inline constexpr int port_search_length = 16;
// Counting upward, the port after 15 is 0.
inline constexpr std::int32_t port_wrap = 16;
inline constexpr std::int16_t no_port = 999;

}  // namespace harrowtally
