// The safe output file's steps on POSIX: open with O_EXCL and O_NOFOLLOW, fsync, a rename that
// does not replace, and stat for what a file holds.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/output/file_steps.h"
#include "host/output/output_file.h"
#include "host/platform/signals.h"
#include "host/text/terminal_text.h"

namespace harrowtally::host::file_steps {
namespace {

int fd_of(FileHandle file) {
    return static_cast<int>(file);
}

FileVersion version_of_stat(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev),         static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),         static_cast<std::int64_t>(st.st_mtim.tv_sec),
            static_cast<std::int64_t>(st.st_mtim.tv_nsec), static_cast<std::int64_t>(st.st_ctim.tv_sec),
            static_cast<std::int64_t>(st.st_ctim.tv_nsec)};
}

}  // namespace

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool names_no_file(const std::string& path) {
    return path.empty() || path.back() == '/';
}

std::size_t name_max(const std::string& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

std::size_t name_length(const std::string& name) {
    return name.size();
}

const char* name_unit() {
    return "bytes";
}

std::string existing_output_problem(const std::string& path, bool replace) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {};
    if (S_ISLNK(st.st_mode)) {
        return terminal_path(path) + " is a symbolic link: name the file itself (a link is never written through)";
    }
    if (!S_ISREG(st.st_mode)) return terminal_path(path) + " exists and is not an ordinary file";
    if (!replace) return terminal_path(path) + " already exists (give --overwrite to replace it)";
    return {};
}

FileHandle create_part(const std::string& folder, const std::string& name, std::string& part_path) {
    const std::size_t limit = name_max(folder);
    const std::string stem = ".part-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        part_path = folder + "/" + part_file_name(name, stem + std::to_string(attempt), limit);
        const int fd = ::open(part_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return kNoFile;
    }
    return kNoFile;
}

// Written a mebibyte at a time, so that a signal stops a long write soon.
bool write_all(FileHandle file, std::string_view content) {
    const int fd = fd_of(file);
    constexpr std::size_t chunk = std::size_t{1} << 20;
    while (!content.empty()) {
        if (interruption() != 0) {
            errno = EINTR;
            return false;
        }
        const ssize_t n = ::write(fd, content.data(), std::min(content.size(), chunk));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool flush(FileHandle file) {
    return ::fsync(fd_of(file)) == 0;
}

const char* replaced_file_keeps() {
    return "its mode, owner and group";
}

// A replaced file's mode, and its owner and group as far as this process may set them.
void take_attributes_of(const std::string& path, FileHandle file) {
    const int fd = fd_of(file);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    (void)::fchmod(fd, st.st_mode & 07777);  // after fchown, which may clear the set-ID bits
}

bool close(FileHandle file) {
    return ::close(fd_of(file)) == 0;
}

// Gives the temporary file the target's name; fails when something has that name, unless replace.
bool move_into_place(const std::string& temporary, const std::string& path, bool replace) {
    if (replace) return ::rename(temporary.c_str(), path.c_str()) == 0;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a hard link fails the same way on an existing name.
    if (::link(temporary.c_str(), path.c_str()) != 0) return false;
    ::unlink(temporary.c_str());
    return true;
}

bool sync_folder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    const bool synced = ::fsync(dir) == 0;
    const int error = errno;  // the reason, not close's
    ::close(dir);
    errno = error;
    return synced;
}

// The whole file, read back through a new descriptor, with what it was while it was read; false
// when it cannot be read, or changed while it was read.
bool read_whole(const std::string& path, std::size_t expected_size, std::string& text, FileVersion& version) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat before {};
    bool read = ::fstat(fd, &before) == 0;
    text.clear();
    text.reserve(expected_size);
    char buffer[65536];
    while (read) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            read = n == 0;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    struct stat after {};
    read = read && ::fstat(fd, &after) == 0 && version_of_stat(after) == version_of_stat(before);
    if (read) version = version_of_stat(after);
    ::close(fd);
    return read;
}

std::optional<FileVersion> version_of(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return version_of_stat(st);
}

void remove(const std::string& path) {
    ::unlink(path.c_str());
}

std::string last_error() {
    return std::strerror(errno);
}

}  // namespace harrowtally::host::file_steps
