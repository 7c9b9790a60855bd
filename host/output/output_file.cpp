#include "host/output/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "host/text/terminal_text.h"

namespace harrowtally::host {
namespace {

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

FileVersion version_of(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev),         static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),         static_cast<std::int64_t>(st.st_mtim.tv_sec),
            static_cast<std::int64_t>(st.st_mtim.tv_nsec), static_cast<std::int64_t>(st.st_ctim.tv_sec),
            static_cast<std::int64_t>(st.st_ctim.tv_nsec)};
}

std::size_t name_max_of(const std::string& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// A new, empty file beside the target; -1 with errno set when none can be made.
int create_temporary(const std::string& folder, const std::string& name, std::string& temporary) {
    const std::size_t name_max = name_max_of(folder);
    const std::string stem = ".part-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + "/" + part_file_name(name, stem + std::to_string(attempt), name_max);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// A replaced file's mode, and its owner and group as far as this process may set them.
void take_attributes_of(const std::string& path, int fd) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    (void)::fchmod(fd, st.st_mode & 07777);  // after fchown, which may clear the set-ID bits
}

// Written a mebibyte at a time, so that a signal stops a long write soon.
bool write_all(int fd, std::string_view content) {
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

// Gives the temporary file the target's name; fails when something has that name, unless replace.
bool publish(const std::string& temporary, const std::string& path, bool replace) {
    if (replace) return ::rename(temporary.c_str(), path.c_str()) == 0;
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a hard link fails the same way on an existing name.
    if (::link(temporary.c_str(), path.c_str()) != 0) return false;
    ::unlink(temporary.c_str());
    return true;
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
    read = read && ::fstat(fd, &after) == 0 && version_of(after) == version_of(before);
    if (read) version = version_of(after);
    ::close(fd);
    return read;
}

}  // namespace

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

std::string part_file_name(const std::string& name, const std::string& suffix, std::size_t name_max) {
    const std::size_t room = name_max > suffix.size() + 1 ? name_max - suffix.size() - 1 : 0;
    std::size_t keep = std::min(name.size(), room);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    std::string part(1, '.');
    part.append(name, 0, keep);
    part.append(suffix);
    return part;
}

OutputFile::OutputFile(std::string path, bool replace) : path_(std::move(path)), replace_(replace) {
    if (path_.empty() || path_.back() == '/') {
        // Built in place: GCC 12 at -O3 takes "\"" + std::string for an overlapping copy.
        problem_ = terminal_path(path_);
        problem_.insert(0, 1, '"');
        problem_ += "\" is not a file name";
        return;
    }
    problem_ = existing_output_problem(path_, replace_);
    if (!problem_.empty()) return;
    const std::string folder = folder_of(path_);
    // Only the part file's name may be shortened: the file itself must take this name at the end.
    if (const std::size_t name_max = name_max_of(folder); name_of(path_).size() > name_max) {
        problem_ = "the name " + terminal_path(name_of(path_)) + " has " + std::to_string(name_of(path_).size()) +
                   " bytes, and a file name in " + terminal_path(folder) + " may have " + std::to_string(name_max);
        return;
    }
    fd_ = create_temporary(folder, name_of(path_), part_);
    if (fd_ < 0) {
        const int error = errno;
        problem_ = "cannot create a file in " + terminal_path(folder) + ": " + std::strerror(error);
        part_.clear();
        return;
    }
    removed_on_interruption_.emplace(part_.c_str());
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!part_.empty()) ::unlink(part_.c_str());
}

bool OutputFile::unchanged_since_read_back() const {
    struct stat st {};
    return read_back_version_ && ::lstat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           version_of(st) == *read_back_version_;
}

WriteOutcome OutputFile::commit(std::string_view content) {
    if (!problem_.empty()) return {false, problem_, {}};
    if (fd_ < 0) return {false, "the file was already written", {}};
    // Something may have taken the name while the scanner was read.
    if (std::string problem = existing_output_problem(path_, replace_); !problem.empty()) {
        return {false, problem, {}};
    }

    // errno is kept first: building the words could change it.
    const auto failed = [](const std::string& what) {
        const int error = errno;
        return what + ": " + std::strerror(error);
    };
    std::string failure;
    if (!write_all(fd_, content)) {
        failure = failed("cannot write");
    } else if (::fsync(fd_) != 0) {
        failure = failed("cannot sync");
    }
    if (failure.empty() && replace_) take_attributes_of(path_, fd_);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 && failure.empty()) failure = failed("cannot close");
    if (failure.empty() && !publish(part_, path_, replace_)) failure = failed("cannot rename");
    if (!failure.empty()) {
        // The destructor removes the part file.
        const std::size_t colon = failure.find(':');
        return {false, failure.substr(0, colon) + " " + terminal_path(part_) + failure.substr(colon), {}};
    }
    removed_on_interruption_.reset();
    part_.clear();

    WriteOutcome outcome{true, {}, {}};
    const std::string folder = folder_of(path_);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) {
        outcome = {false, failed(terminal_path(path_) + " is written, but its folder cannot be synced"), {}};
    }
    if (dir >= 0) ::close(dir);
    if (!outcome.ok) return outcome;
    FileVersion version;
    if (!read_whole(path_, content.size(), outcome.read_back, version)) {
        return {false, failed(terminal_path(path_) + " is written, but it cannot be read back whole"), {}};
    }
    read_back_version_ = version;
    if (outcome.read_back != content) {
        return {false, terminal_path(path_) + " is written, but reading it back does not give what was written", {}};
    }
    return outcome;
}

}  // namespace harrowtally::host
