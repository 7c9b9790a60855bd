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

// As many links in a row as the system itself follows before giving up on a loop.
constexpr int max_link_hops = 40;

// Where the state path's chain of symbolic links ends: the path itself when it is no link. A
// relative link target counts from the link's folder. The end need not exist yet.
bool follow_links(std::filesystem::path path, std::filesystem::path& end, std::string& error) {
    for (int hops = 0; hops <= max_link_hops; ++hops) {
        std::error_code ec;
        const auto status = std::filesystem::symlink_status(path, ec);
        if (ec && status.type() != std::filesystem::file_type::not_found) {
            error = "cannot look at " + path.string() + ": " + ec.message();
            return false;
        }
        if (!std::filesystem::is_symlink(status)) {
            end = std::move(path);
            return true;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) {
            error = "cannot read the link " + path.string() + ": " + ec.message();
            return false;
        }
        // Not normalised: ".." in a target must climb from the folder the system would be in.
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = "too many symbolic links from " + path.string();
    return false;
}

// The file that is replaced, named for messages: "target (linked from path)" when they differ.
std::string describe(const std::filesystem::path& target, const std::filesystem::path& path) {
    return target == path ? target.string() : target.string() + " (linked from " + path.string() + ")";
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
    // A link stays a link: the file it leads to is the one replaced, from beside it.
    std::filesystem::path target;
    if (!follow_links(path, target, error)) return false;
    const std::string name = describe(target, path);
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(target, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        error = name + " is not a regular file";
        return false;
    }

    std::random_device entropy;
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = target;
        temporary += ".tmp-" + std::to_string(current_process()) + "-" + std::to_string(entropy());
        fd = open_path(temporary, O_WRONLY | O_CREAT | O_EXCL | no_follow | binary, 0644);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = reason("cannot create a file beside " + name);
        return false;
    }
    bool ok = write_all(fd, text);
    if (!ok) error = reason("cannot write " + temporary.string());
    if (::close(fd) != 0 && ok) {
        error = reason("cannot write " + temporary.string());
        ok = false;
    }
    if (ok) {
        std::filesystem::rename(temporary, target, ec);
        if (ec) {
            error = "cannot replace " + name + ": " + ec.message();
            ok = false;
        }
    }
    if (!ok) std::filesystem::remove(temporary, ec);
    return ok;
}

}  // namespace harrowtally::sim
