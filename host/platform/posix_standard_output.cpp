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
