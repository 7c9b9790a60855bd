#pragma once
// The file a developer names in HARROWTALLY_TRACE: text lines appended as they are made, each
// after the local time and the thread that made it, in UTF-8 with CRLF line ends. Lines from
// several threads (objects in several apartments) never mix, and each one is handed to the system
// before write() returns, with no buffer in the process, so a crash leaves every line before it.
#include <windows.h>

#include <memory>
#include <string_view>

#include "windows/owners.h"

namespace harrowtally::windows {

class TraceFile {
public:
    // The file the variable names, opened for appending (created when missing); none when the
    // variable is unset or empty or the file cannot be opened.
    static std::unique_ptr<TraceFile> from_environment(const wchar_t* variable);

    explicit TraceFile(FileHandle file) : file_(std::move(file)) {}

    // "2026-12-08 07:10:11.123 [thread 1234] text". A line that cannot be made or written is lost;
    // it never fails the caller.
    void write(std::string_view text) noexcept;

private:
    FileHandle file_;
    SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace harrowtally::windows
