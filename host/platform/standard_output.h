#pragma once
// The commands' standard output, written to file descriptor 1 (on Windows the standard output
// handle; UTF-16 to a console, the UTF-8 bytes elsewhere) through a buffer of our own so that
// the first write that failed, and why, is known when the job ends: a result that never reached
// its reader must not pass for a job done.
#include <array>
#include <memory>
#include <ostream>
#include <streambuf>

namespace harrowtally::host {

// Buffers what is written and writes it to `fd`: each line at once on a terminal, as stdio does,
// else when the buffer is full or flushed. After a failed write everything is refused.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd);
    DescriptorBuffer(const DescriptorBuffer&) = delete;
    DescriptorBuffer& operator=(const DescriptorBuffer&) = delete;
    ~DescriptorBuffer() override;

    // The system's code (errno, GetLastError) of the first write that failed; 0 while none has.
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    // Writes what is buffered; false once a write has failed.
    bool drain();

    int fd_;
    bool line_buffered_;
    int error_ = 0;
    std::array<char, 8192> buffer_{};
};

// Standard output for one run of harrowtally. Standard error is tied to it while it lives, so what
// the two say keeps its order.
class StandardOutput {
public:
    StandardOutput();
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;
    ~StandardOutput();

    std::ostream& stream() { return stream_; }

    // The exit status of a job that gave `status`, once what is left is written out. Output that
    // could not be written fails the job (said on err; a failing job keeps its own status). A reader
    // that went away (EPIPE, as after `| head -1`) asked for no more: the job's status stands.
    int finish(int status, std::ostream& err);

private:
    DescriptorBuffer buffer_;
    std::ostream stream_;
    std::ostream* tied_before_;
    // Standard error's own buffer where the platform's runtime cannot write UTF-8 as it is (a
    // Windows console); std::cerr writes through it while it lives.
    std::unique_ptr<DescriptorBuffer> error_buffer_;
    std::streambuf* error_before_ = nullptr;
};

}  // namespace harrowtally::host
