#include "host/platform/standard_output.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "host/command_line/command.h"

namespace harrowtally::host {

DescriptorBuffer::DescriptorBuffer(int fd) : fd_(fd), line_buffered_(::isatty(fd) == 1) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorBuffer::~DescriptorBuffer() {
    drain();
}

bool DescriptorBuffer::drain() {
    const char* from = pbase();
    while (error_ == 0 && from < pptr()) {
        const ssize_t written = ::write(fd_, from, static_cast<std::size_t>(pptr() - from));
        if (written >= 0) {
            from += written;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A descriptor left non-blocking by whoever shares it: wait until it takes more.
            pollfd ready{fd_, POLLOUT, 0};
            ::poll(&ready, 1, -1);
        } else if (errno != EINTR) {
            error_ = errno;
        }
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_ == 0;
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

StandardOutput::StandardOutput() : buffer_(STDOUT_FILENO), stream_(&buffer_), tied_before_(std::cerr.tie(&stream_)) {}

// Standard error needs no buffer of its own here: the runtime writes UTF-8 as it is.
StandardOutput::~StandardOutput() {
    if (error_buffer_) {
        std::cerr.flush();
        std::cerr.rdbuf(error_before_);
    }
    std::cerr.tie(tied_before_);
}

int StandardOutput::finish(int status, std::ostream& err) {
    stream_.flush();
    const int error = buffer_.error();
    if (error == 0 || error == EPIPE) return status;
    err << "harrowtally: cannot write to standard output: " << std::strerror(error) << "\n";
    return status == kExitOk ? kExitFailed : status;
}

}  // namespace harrowtally::host
