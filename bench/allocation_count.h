#pragma once
// Counts the allocations made through operator new in this process, so a benchmark can report how
// many allocations one operation makes.
#include <cstddef>

namespace harrowtally::bench {

std::size_t allocations();

}  // namespace harrowtally::bench
