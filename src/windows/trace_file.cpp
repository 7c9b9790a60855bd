#include "windows/trace_file.h"

#include <cstdio>
#include <string>

namespace harrowtally::windows {
namespace {

std::wstring environment_variable(const wchar_t* name) {
    std::wstring value(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length >= value.size()) {  // too small: length is the size it needs
        value.resize(length);
        length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    }
    value.resize(length < value.size() ? length : 0);
    return value;
}

}  // namespace

std::unique_ptr<TraceFile> TraceFile::from_environment(const wchar_t* variable) {
    const std::wstring path = environment_variable(variable);
    if (path.empty()) return nullptr;
    // Appending only, and shared with every other writer and reader: a second process with the
    // same variable (another script, the surrogate) adds its lines to the same file. Read access
    // too, for the lock that keeps two processes' lines apart.
    FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<TraceFile>(std::move(file));
}

void TraceFile::write(std::string_view text) noexcept {
    try {
        SYSTEMTIME now;
        GetLocalTime(&now);
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "%04u-%02u-%02u %02u:%02u:%02u.%03u [thread %lu] ", now.wYear, now.wMonth,
                      now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentThreadId());
        std::string line = prefix;
        line.append(text).append("\r\n");
        AcquireSRWLockExclusive(&lock_);
        // Other processes writing the same file wait for this line: an append is one write on a
        // local disk of Windows, but not on every file system (a share, Wine's).
        OVERLAPPED far_end{};
        far_end.Offset = 0xFFFFFFFF;
        far_end.OffsetHigh = 0x7FFFFFFF;
        const bool locked = LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &far_end) != 0;
        DWORD written = 0;
        WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        if (locked) UnlockFileEx(file_.get(), 0, 1, 0, &far_end);
        ReleaseSRWLockExclusive(&lock_);
    } catch (...) {  // out of memory: the line is lost, the call goes on
    }
}

}  // namespace harrowtally::windows
