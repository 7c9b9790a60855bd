// The safe output file's steps on Windows: the part file made with CREATE_NEW beside the target,
// FlushFileBuffers, then MoveFileExW without replacing for a new file, or ReplaceFileW, which
// keeps the replaced file's attributes and security, for --overwrite (the part file takes the
// attributes first, for a ReplaceFileW that does not). Paths are UTF-8 here and
// UTF-16 at each call.
#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "host/output/file_steps.h"
#include "host/output/output_file.h"
#include "host/platform/signals.h"
#include "host/platform/windows_paths.h"
#include "host/text/terminal_text.h"
#include "windows/owners.h"

namespace harrowtally::host::file_steps {
namespace {

struct FileRelease {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void free(HANDLE file) { CloseHandle(file); }
};
using File = windows::Owned<HANDLE, FileRelease>;

// FileHandle holds the HANDLE's bits: the portable steps never look inside it.
HANDLE handle_of(FileHandle file) {
    return std::bit_cast<HANDLE>(file);
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// "C:" alone: the current folder of drive C.
bool is_drive(const std::string& path) {
    return path.size() == 2 && path[1] == ':';
}

std::string joined(const std::string& folder, const std::string& name) {
    if (is_drive(folder) || (!folder.empty() && is_separator(folder.back()))) return folder + name;
    return folder + "\\" + name;
}

std::int64_t ticks_of(const FILETIME& time) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

std::int64_t ticks_of(const LARGE_INTEGER& time) {
    return time.QuadPart;
}

// The version of an open file; nullopt when the system cannot tell.
std::optional<FileVersion> version_of_handle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return std::nullopt;
    constexpr std::int64_t per_second = 10'000'000;  // FILETIME counts 100 ns
    FileVersion version;
    version.device = info.dwVolumeSerialNumber;
    version.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    version.size =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    const std::int64_t written = ticks_of(info.ftLastWriteTime);
    version.modified_s = written / per_second;
    version.modified_ns = written % per_second * 100;
    // The change time moves with any write, and no program sets it back; not every file system keeps it.
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
        const std::int64_t changed = ticks_of(basic.ChangeTime);
        version.changed_s = changed / per_second;
        version.changed_ns = changed % per_second * 100;
    }
    return version;
}

}  // namespace

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    if (slash == 0) return path.substr(0, 1);
    // "C:\name": the drive's root, not the drive's current folder.
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    if (slash != std::string::npos) return path.substr(slash + 1);
    return path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
}

bool names_no_file(const std::string& path) {
    return path.empty() || is_separator(path.back()) || path.back() == ':';
}

std::size_t name_max(const std::string& folder) {
    const std::wstring full = file_api_path(folder);
    std::wstring root(full.size() + 2, L'\0');
    DWORD longest = 0;
    if (!full.empty() && GetVolumePathNameW(full.c_str(), root.data(), static_cast<DWORD>(root.size())) &&
        GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) && longest > 0) {
        return longest;
    }
    return 255;
}

std::size_t name_length(const std::string& name) {
    return wide_of(name).size();
}

const char* name_unit() {
    return "characters";
}

namespace {

// What Windows itself makes of a name, which would leave a file other than the one named: a
// trailing dot or space dropped, a stream of another file (':'), or a device (CON, NUL, COM1...).
std::string windows_name_problem(const std::string& path, const std::wstring& target) {
    const std::string name = name_of(path);
    if (name != "." && name != ".." && !name.empty() && (name.back() == '.' || name.back() == ' ')) {
        return terminal_path(path) +
               " ends in a dot or a space, which Windows drops from a file's name: name it without";
    }
    if (name.find(':') != std::string::npos) {
        return terminal_path(path) + " names a stream inside a file (the ':'): choose a name without ':'";
    }
    const bool names_a_device_path = path.starts_with("\\\\.\\") || path.starts_with("\\\\?\\") ||
                                     path.starts_with("//./") || path.starts_with("//?/");
    if (!names_a_device_path && target.starts_with(L"\\\\.\\")) {
        return terminal_path(path) +
               " is the name of a device on Windows (such as CON, NUL, AUX, COM1 or LPT1), not of a file: "
               "choose another name";
    }
    return {};
}

}  // namespace

std::string existing_output_problem(const std::string& path, bool replace) {
    const std::wstring target = file_api_path(path);
    if (std::string problem = windows_name_problem(path, target); !problem.empty()) return problem;
    const DWORD attributes = target.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(target.c_str());
    // Nothing there, or nothing that can be seen: creating the part file tells why.
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return terminal_path(path) +
               " is a symbolic link or junction: name the file itself (a link is never written "
               "through)";
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return terminal_path(path) + " exists and is not an ordinary file";
    if (!replace) return terminal_path(path) + " already exists (give --overwrite to replace it)";
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return terminal_path(path) + " is read-only: clear its read-only attribute to let it be replaced";
    }
    // Another program that holds the file open without sharing its deletion would make the
    // replacement fail after the scanner was read.
    const File probe(CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!probe) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION) {
            return terminal_path(path) +
                   " is open in another program that does not let it be replaced: close it there "
                   "and try again";
        }
        return terminal_path(path) + " cannot be replaced: " + system_message(error);
    }
    return {};
}

// MoveFileExW without MOVEFILE_REPLACE_EXISTING fails on an existing name on every file system.
FileHandle create_part(const std::string& folder, const std::string& name, std::string& part_path, NewName& new_name) {
    new_name = NewName::no_replace_rename;
    const std::size_t limit = name_max(folder);
    const std::string stem = ".part-" + std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        part_path = joined(folder, part_file_name(name, stem + std::to_string(attempt), limit));
        const std::wstring wide = file_api_path(part_path);
        if (wide.empty()) return kNoFile;
        // Deletion is shared so that an interruption can remove the part file while it is open.
        const HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return std::bit_cast<FileHandle>(file);
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return kNoFile;
    }
    return kNoFile;
}

// Written a mebibyte at a time, so that an interruption stops a long write soon.
bool write_all(FileHandle file, std::string_view content) {
    constexpr std::size_t chunk = std::size_t{1} << 20;
    while (!content.empty()) {
        if (interruption() != 0) {
            SetLastError(ERROR_OPERATION_ABORTED);
            return false;
        }
        DWORD written = 0;
        if (!WriteFile(handle_of(file), content.data(), static_cast<DWORD>(std::min(content.size(), chunk)), &written,
                       nullptr)) {
            return false;
        }
        content.remove_prefix(written);
    }
    return true;
}

bool flush(FileHandle file) {
    return FlushFileBuffers(handle_of(file)) != 0;
}

const char* replaced_file_keeps() {
    return "its attributes and security";
}

// ReplaceFileW gives the new file the replaced one's attributes and security on Windows, but Wine's
// keeps neither hidden nor system. The part file takes them first, so the file in place has them
// whichever does the replacing. Read-only is never taken: such a target is refused before.
void take_attributes_of(const std::string& path, FileHandle file) {
    constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const std::wstring wide = file_api_path(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (wide.empty() || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return;
    if ((data.dwFileAttributes & kept) == 0) return;
    FILE_BASIC_INFO info{};  // times of zero are left as they are
    info.FileAttributes = (data.dwFileAttributes & kept) | FILE_ATTRIBUTE_ARCHIVE;
    SetFileInformationByHandle(handle_of(file), FileBasicInfo, &info, sizeof info);
}

bool close(FileHandle file) {
    return CloseHandle(handle_of(file)) != 0;
}

bool move_into_place(const std::string& part, const std::string& path, bool replace, NewName /*new_name*/) {
    const std::wstring from = file_api_path(part), to = file_api_path(path);
    if (from.empty() || to.empty()) return false;
    if (replace) {
        if (ReplaceFileW(to.c_str(), from.c_str(), nullptr, 0, nullptr, nullptr)) return true;
        // Only a target that went away lets the part file simply take the name.
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    }
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

// MOVEFILE_WRITE_THROUGH has the new name on the disk already; a folder cannot be flushed here.
bool sync_folder(const std::string& /*folder*/) {
    return true;
}

// The handle shares reading only: while it is open, another program that opens the file to write
// it, rename it or delete it gets ERROR_SHARING_VIOLATION. One already holding it open for writing
// makes this open fail the same way, so a file read back through it is one no one else can write.
FileHandle open_held(const std::string& path) {
    const std::wstring wide = file_api_path(path);
    if (wide.empty()) return kNoFile;
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : std::bit_cast<FileHandle>(file);
}

bool holds_writers_off(FileHandle file) {
    return file != kNoFile;
}

ReadBack compare_whole(FileHandle file, std::string_view content, FileVersion& version) {
    const HANDLE handle = handle_of(file);
    const std::optional<FileVersion> before = version_of_handle(handle);
    LARGE_INTEGER start{};
    if (!before || !SetFilePointerEx(handle, start, nullptr, FILE_BEGIN)) return ReadBack::unreadable;
    char buffer[65536];
    std::size_t offset = 0;
    bool same = true;
    while (same) {
        DWORD n = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &n, nullptr)) return ReadBack::unreadable;
        if (n == 0) break;
        same = n <= content.size() - offset && std::memcmp(buffer, content.data() + offset, n) == 0;
        offset += n;
    }
    same = same && offset == content.size();
    const std::optional<FileVersion> after = version_of_handle(handle);
    if (!after) return ReadBack::unreadable;
    if (after != before) return ReadBack::changed_while_read;
    version = *after;
    return same ? ReadBack::same : ReadBack::different;
}

std::optional<FileVersion> version_of(const std::string& path) {
    const std::wstring wide = file_api_path(path);
    if (wide.empty()) return std::nullopt;
    const File file(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return std::nullopt;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return std::nullopt;
    }
    return version_of_handle(file.get());
}

void remove(const std::string& path) {
    const std::wstring wide = file_api_path(path);
    if (!wide.empty()) DeleteFileW(wide.c_str());
}

std::string last_error() {
    return system_message(GetLastError());
}

}  // namespace harrowtally::host::file_steps
