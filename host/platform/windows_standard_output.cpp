// Standard output and error on Windows. A console is given UTF-16 through WriteConsoleW, so that
// barcodes and file names show as they are whatever its code page; anything else (a file, a
// pipe) is given the UTF-8 bytes, with no byte order mark, as on Linux.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

#include "common/text.h"
#include "host/command_line/command.h"
#include "host/platform/standard_output.h"
#include "host/platform/terminal.h"
#include "host/platform/windows_paths.h"

namespace harrowtally::host {
namespace {

HANDLE handle_of(int fd) {
    return GetStdHandle(fd == kStandardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// Writes all of it; false with the system's code in `error` when a write fails.
bool write_console(HANDLE console, std::string_view utf8, DWORD& error) {
    const std::wstring text = wide_of(utf8);
    const wchar_t* from = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 8192));
        if (!WriteConsoleW(console, from, chunk, &written, nullptr) || written == 0) {
            error = GetLastError();
            return false;
        }
        from += written;
        left -= written;
    }
    return true;
}

bool write_file(HANDLE file, std::string_view bytes, DWORD& error) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 20));
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) {
            error = GetLastError();
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// A pipe whose reader has closed: ERROR_NO_DATA on Windows, ERROR_PIPE_NOT_CONNECTED under Wine.
bool reader_went_away(int error) {
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED;
}

}  // namespace

DescriptorBuffer::DescriptorBuffer(int fd) : fd_(fd), line_buffered_(is_console(handle_of(fd))) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool DescriptorBuffer::drain() {
    const HANDLE handle = handle_of(fd_);
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    std::size_t done = size;
    if (error_ == 0 && size > 0) {
        DWORD error = 0;
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            error_ = ERROR_INVALID_HANDLE;
        } else if (is_console(handle)) {
            // A character cut by the end of the buffer waits for the rest of its bytes.
            done = size - unicode::utf8_cut_short(std::string_view(pbase(), size));
            if (!write_console(handle, std::string_view(pbase(), done), error)) error_ = static_cast<int>(error);
        } else if (!write_file(handle, std::string_view(pbase(), size), error)) {
            error_ = static_cast<int>(error);
        }
    }
    const std::size_t kept = error_ == 0 ? size - done : 0;
    std::memmove(buffer_.data(), pbase() + (size - kept), kept);
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    pbump(static_cast<int>(kept));
    return error_ == 0;
}

// Standard error goes through a buffer of its own: the C runtime would hand a console the UTF-8
// bytes in its code page.
StandardOutput::StandardOutput()
    : buffer_(kStandardOutput),
      stream_(&buffer_),
      tied_before_(std::cerr.tie(&stream_)),
      error_buffer_(std::make_unique<DescriptorBuffer>(kStandardError)),
      error_before_(std::cerr.rdbuf(error_buffer_.get())) {}

StandardOutput::~StandardOutput() {
    std::cerr.flush();
    std::cerr.rdbuf(error_before_);
    std::cerr.tie(tied_before_);
}

int StandardOutput::finish(int status, std::ostream& err) {
    stream_.flush();
    const int error = buffer_.error();
    if (error == 0 || reader_went_away(error)) return status;
    err << "harrowtally: cannot write to standard output: " << system_message(static_cast<DWORD>(error)) << "\n";
    return status == kExitOk ? kExitFailed : status;
}

}  // namespace harrowtally::host
