#pragma once
// zlib's memory from the C++ heap, where the rest of a download's comes from: one limit and one
// failure for both. A refused allocation reaches zlib as Z_MEM_ERROR, which the zip writer and
// reader throw as std::bad_alloc.
#include <zlib.h>

#include <cstddef>
#include <new>

namespace harrowtally::host::formats {

inline void use_cxx_heap(z_stream& z) {
    z.zalloc = [](voidpf, uInt items, uInt size) -> voidpf {
        return ::operator new (std::size_t{items} * size, std::nothrow);
    };
    z.zfree = [](voidpf, voidpf block) { ::operator delete(block); };
}

}  // namespace harrowtally::host::formats
