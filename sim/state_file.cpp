#include "state_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace harrowtally::sim {
namespace {

#ifdef _WIN32
constexpr int no_follow = 0;  // _wopen has no links to follow
constexpr int binary = O_BINARY;
int open_path(const std::filesystem::path& p, int flags, int mode = 0) {
    return ::_wopen(p.c_str(), flags, mode);
}
int current_process() {
    return ::_getpid();
}
#else
constexpr int no_follow = O_NOFOLLOW | O_CLOEXEC;
constexpr int binary = 0;
int open_path(const std::filesystem::path& p, int flags, int mode = 0) {
    return ::open(p.c_str(), flags, mode);
}
int current_process() {
    return static_cast<int>(::getpid());
}
#endif

std::string reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const auto n = ::write(fd, text.data() + done, static_cast<unsigned>(text.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool read_state_file(const std::filesystem::path& path, std::string& text, std::string& error) {
    // Opened without waiting for a writer, then looked at: a FIFO or device is refused unread.
#ifdef _WIN32
    const int fd = open_path(path, O_RDONLY | binary);
#else
    const int fd = open_path(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#endif
    if (fd < 0) {
        error = reason("cannot read " + path.string());
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        error = reason("cannot read " + path.string());
    } else if (!S_ISREG(st.st_mode)) {
        error = path.string() + " is not a regular file";
        ok = false;
    } else if (static_cast<std::uintmax_t>(st.st_size) > max_state_file_bytes) {
        error = path.string() + " is larger than " + std::to_string(max_state_file_bytes) + " bytes";
        ok = false;
    }
    text.clear();
    char buffer[65536];
    while (ok) {
        const auto n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = reason("cannot read " + path.string());
            ok = false;
        } else if (n == 0) {
            break;
        } else if (text.size() + static_cast<std::size_t>(n) > max_state_file_bytes) {
            error = path.string() + " is larger than " + std::to_string(max_state_file_bytes) + " bytes";
            ok = false;
        } else {
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return ok;
}

bool replace_state_file(const std::filesystem::path& path, const std::string& text, std::string& error) {
    std::random_device entropy;
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path;
        temporary += ".tmp-" + std::to_string(current_process()) + "-" + std::to_string(entropy());
        fd = open_path(temporary, O_WRONLY | O_CREAT | O_EXCL | no_follow | binary, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = reason("cannot create a file beside " + path.string());
        return false;
    }
    bool ok = write_all(fd, text);
    if (!ok) error = reason("cannot write " + temporary.string());
    if (::close(fd) != 0 && ok) {
        error = reason("cannot write " + temporary.string());
        ok = false;
    }
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temporary, path, ec);
        if (ec) {
            error = "cannot replace " + path.string() + ": " + ec.message();
            ok = false;
        }
    }
    if (!ok) std::filesystem::remove(temporary, ec);
    return ok;
}

}  // namespace harrowtally::sim
