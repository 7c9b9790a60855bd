// The buffering every platform shares; each platform writes the bytes its own way (drain()).
#include <algorithm>
#include <cstring>

#include "host/platform/standard_output.h"

namespace harrowtally::host {

DescriptorBuffer::~DescriptorBuffer() {
    drain();
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    if (line_buffered_ && traits_type::to_char_type(c) == '\n' && !drain()) return traits_type::eof();
    return c;
}

std::streamsize DescriptorBuffer::xsputn(const char* text, std::streamsize count) {
    std::streamsize done = 0;
    while (done < count) {
        if (error_ != 0) return done;
        if (pptr() == epptr() && !drain()) return done;
        const std::streamsize room = epptr() - pptr();
        const std::streamsize n = std::min(room, count - done);
        std::memcpy(pptr(), text + done, static_cast<std::size_t>(n));
        pbump(static_cast<int>(n));
        done += n;
    }
    if (line_buffered_ && std::memchr(text, '\n', static_cast<std::size_t>(count)) != nullptr && !drain()) return 0;
    return done;
}

int DescriptorBuffer::sync() {
    return drain() ? 0 : -1;
}

}  // namespace harrowtally::host
