#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/platform/folder_lock.h"

namespace harrowtally::host {

FolderLock::FolderLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        problem_ = std::strerror(errno);
        return;
    }
    descriptor_ = fd;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
    } else {
        busy_ = errno == EWOULDBLOCK;
        problem_ = std::strerror(errno);
    }
}

FolderLock::~FolderLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

}  // namespace harrowtally::host
