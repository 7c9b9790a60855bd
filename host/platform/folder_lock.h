#pragma once
// One collector at a time in a folder: a lock file held exclusively while the object lives, and
// let go by the system when the process ends in any way, so a killed run never leaves it taken.
// posix: flock on the file; Windows: the file open with no sharing.
#include <string>

namespace harrowtally::host {

class FolderLock {
public:
    // Takes the lock file `path`, creating it when missing; does not wait for another holder.
    explicit FolderLock(const std::string& path);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    bool held() const { return held_; }
    // Why the lock is not held: another process holds it (`busy`), or the file cannot be made.
    bool busy() const { return busy_; }
    const std::string& problem() const { return problem_; }

private:
    [[maybe_unused]] int descriptor_ = -1;     // POSIX
    [[maybe_unused]] void* handle_ = nullptr;  // Windows
    bool held_ = false;
    bool busy_ = false;
    std::string problem_;
};

}  // namespace harrowtally::host
