#pragma once
// The C++ heap counted, for tests that bound what a call allocates or make one allocation fail.
// heap_count.cpp replaces operator new in the test program; link it into the program itself. It
// counts zlib's memory too: the formats give zlib the C++ heap. Works under AddressSanitizer,
// whose allocator still serves the replaced operator new through malloc.
#include <cstddef>
#include <cstdint>

namespace harrowtally::testing {

// Counts while it lives; one at a time.
class HeapCount {
public:
    HeapCount();
    HeapCount(const HeapCount&) = delete;
    HeapCount& operator=(const HeapCount&) = delete;
    ~HeapCount();

    // Bytes handed out since the count began. Nothing freed is taken off, so this bounds the peak.
    std::uint64_t bytes() const;
    std::uint64_t allocations() const;
    // The allocation numbered `n` from the count's start (0 the first) throws std::bad_alloc.
    void refuse(std::uint64_t n);
};

}  // namespace harrowtally::testing
