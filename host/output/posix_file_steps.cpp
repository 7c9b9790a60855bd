// The safe output file's steps on POSIX: open with O_EXCL and O_NOFOLLOW, fsync, a rename that
// does not replace, stat for what a file is, and a read lease on the file read back.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/output/file_steps.h"
#include "host/output/output_file.h"
#include "host/output/posix_system_calls.h"
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

PosixSystemCalls& calls() {
    return posix_system_calls();
}

// Moves the part file `from` to the free name `to` the first way of NewName that works in its
// folder. FAT and exFAT through FUSE have neither the no-replace rename (EINVAL) nor hard links
// (EPERM): a plain rename then shows that the reserved name's way can work.
bool move_to_part_name(const std::string& from, const std::string& to, NewName& new_name) {
    if (calls().rename_no_replace(from.c_str(), to.c_str()) == 0) {
        new_name = NewName::no_replace_rename;
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (calls().link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        new_name = NewName::hard_link;
        return true;
    }
    if (errno == EEXIST || calls().rename(from.c_str(), to.c_str()) != 0) return false;
    new_name = NewName::reserved_name;
    return true;
}

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The target's name taken by an exclusive create, which fails on an existing name as the
// no-replace rename does, then replaced by the part file. When that rename fails, the name is
// given up again if it still names the empty file made here.
bool take_reserved_name(const std::string& part, const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    struct stat reserved {};
    const bool known = calls().fstat(fd, &reserved) == 0;
    ::close(fd);
    if (calls().rename(part.c_str(), path.c_str()) == 0) return true;
    const int error = errno;
    struct stat now {};
    if (known && calls().lstat(path.c_str(), &now) == 0 && same_file(now, reserved) && now.st_size == 0) {
        ::unlink(path.c_str());
    }
    errno = error;
    return false;
}

// The signal that tells the holder of a lease that another program wants the file: SIGIO unless
// F_SETSIG names another, and SIGIO would end the process. The lease is looked at when it
// matters (holds_writers_off asks F_GETLEASE, which no longer says F_RDLCK once a break began),
// not waited on; so the signal is a real-time one this process has no other use for, ignored: it
// interrupts nothing (not the settling pause, not the scanner library's own waits) and needs no
// handler. The writer waits until the lease is given up when the job ends, or for the kernel's
// lease break time (/proc/sys/fs/lease-break-time, 45 s by default).
int lease_break_signal() {
    static const int signal = [] {
        const int chosen = SIGRTMIN + 2;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(chosen, &ignore, nullptr);
        return chosen;
    }();
    return signal;
}

int system_rename_no_replace(const char* from, const char* to) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

int system_take_read_lease(int fd) {
    return ::fcntl(fd, F_SETLEASE, F_RDLCK);
}

}  // namespace

PosixSystemCalls& posix_system_calls() {
    static PosixSystemCalls system{system_rename_no_replace, ::link, ::rename, ::fstat, ::lstat,
                                   system_take_read_lease};
    return system;
}

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

FileHandle create_part(const std::string& folder, const std::string& name, std::string& part_path, NewName& new_name) {
    const std::size_t limit = name_max(folder);
    const std::string stem = ".part-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string made = folder + "/" + part_file_name(name, stem + std::to_string(attempt) + "-new", limit);
        part_path = folder + "/" + part_file_name(name, stem + std::to_string(attempt), limit);
        const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return kNoFile;
        }
        if (move_to_part_name(made, part_path, new_name)) return fd;
        const int error = errno;
        ::close(fd);
        ::unlink(made.c_str());
        errno = error;
        if (error != EEXIST) return kNoFile;
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

bool move_into_place(const std::string& part, const std::string& path, bool replace, NewName new_name) {
    if (replace) return ::rename(part.c_str(), path.c_str()) == 0;
    switch (new_name) {
        case NewName::no_replace_rename:
            return calls().rename_no_replace(part.c_str(), path.c_str()) == 0;
        case NewName::hard_link:
            if (calls().link(part.c_str(), path.c_str()) != 0) return false;
            ::unlink(part.c_str());
            return true;
        case NewName::reserved_name:
            return take_reserved_name(part, path);
    }
    return false;
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

FileHandle open_held(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return kNoFile;
    // The signal is named before the lease exists, so that no break is told by SIGIO.
    if (::fcntl(fd, F_SETSIG, lease_break_signal()) == 0) (void)calls().take_read_lease(fd);
    return fd;
}

bool holds_writers_off(FileHandle file) {
    return ::fcntl(fd_of(file), F_GETLEASE) == F_RDLCK;
}

// Read with pread from the start, so the same descriptor serves the read-back and the last look.
ReadBack compare_whole(FileHandle file, std::string_view content, FileVersion& version) {
    const int fd = fd_of(file);
    struct stat before {};
    if (calls().fstat(fd, &before) != 0) return ReadBack::unreadable;
    char buffer[65536];
    std::size_t offset = 0;
    bool same = true;
    while (same) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadBack::unreadable;
        if (n == 0) break;
        const auto size = static_cast<std::size_t>(n);
        same = size <= content.size() - offset && std::memcmp(buffer, content.data() + offset, size) == 0;
        offset += size;
    }
    same = same && offset == content.size();
    struct stat after {};
    if (calls().fstat(fd, &after) != 0) return ReadBack::unreadable;
    if (!(version_of_stat(after) == version_of_stat(before))) return ReadBack::changed_while_read;
    version = version_of_stat(after);
    return same ? ReadBack::same : ReadBack::different;
}

std::optional<FileVersion> version_of(const std::string& path) {
    struct stat st {};
    if (calls().lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return version_of_stat(st);
}

void remove(const std::string& path) {
    ::unlink(path.c_str());
}

std::string last_error() {
    return std::strerror(errno);
}

}  // namespace harrowtally::host::file_steps
