#include "host/safe_output.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace harrowtally::host {
namespace {

std::string system_reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
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

// A new, empty file beside the target; -1 with errno set when none can be made.
int create_temporary(const std::string& folder, const std::string& name, std::string& temporary) {
    const std::string stem = folder + "/." + name + ".part-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = stem;
        temporary += std::to_string(attempt);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool write_all(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
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

bool read_back_matches(const std::string& path, std::string_view content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    bool same = true;
    std::size_t offset = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            same = n == 0 && offset == content.size();
            break;
        }
        const auto got = static_cast<std::size_t>(n);
        if (offset + got > content.size() || std::memcmp(buffer, content.data() + offset, got) != 0) {
            same = false;
            break;
        }
        offset += got;
    }
    ::close(fd);
    return same;
}

}  // namespace

std::string existing_output_problem(const std::string& path, bool replace) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {};
    if (!S_ISREG(st.st_mode)) return path + " exists and is not an ordinary file";
    if (!replace) return path + " already exists (give --overwrite to replace it)";
    return {};
}

WriteOutcome write_file_safely(const std::string& path, std::string_view content, bool replace) {
    if (path.empty() || path.back() == '/') return {false, "\"" + path + "\" is not a file name"};
    if (std::string problem = existing_output_problem(path, replace); !problem.empty()) return {false, problem};

    const std::string folder = folder_of(path);
    std::string temporary;
    const int fd = create_temporary(folder, name_of(path), temporary);
    if (fd < 0) return {false, system_reason("cannot create a file in " + folder)};

    std::string failure;
    if (!write_all(fd, content)) {
        failure = system_reason("cannot write " + temporary);
    } else if (::fsync(fd) != 0) {
        failure = system_reason("cannot sync " + temporary);
    }
    if (::close(fd) != 0 && failure.empty()) failure = system_reason("cannot close " + temporary);
    if (failure.empty() && !publish(temporary, path, replace)) {
        failure = system_reason("cannot rename " + temporary + " to " + path);
    }
    if (!failure.empty()) {
        ::unlink(temporary.c_str());
        return {false, failure};
    }

    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0) {
        failure = system_reason(path + " is written, but its folder cannot be synced");
    }
    if (dir >= 0) ::close(dir);
    if (failure.empty() && !read_back_matches(path, content)) {
        failure = path + " is written, but reading it back does not give what was written";
    }
    return {failure.empty(), failure};
}

}  // namespace harrowtally::host
