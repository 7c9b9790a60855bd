#include "common/posix/posix_directory_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>

#include "common/text.h"

namespace harrowtally {

PosixDirectoryListing::PosixDirectoryListing(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

std::string PosixDirectoryListing::map_folder(std::u16string_view folder) const {
    std::string name = to_utf8(folder);
    for (auto& c : name) {
        if (c == '\\') c = '/';
    }
    std::string drive;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        drive = std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(name[0]))));
        name.erase(0, 2);
    }
    std::string path = root_ == "/" ? std::string() : root_;
    if (!drive.empty()) path += "/" + drive;
    if (name.empty() || name.front() != '/') path += '/';
    path += name;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::int64_t PosixDirectoryListing::count_ordinary_files(std::u16string_view folder) {
    const std::string path = map_folder(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
    if (!dir) return 0;
    std::int64_t count = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        struct stat st {};
        const std::string file = path + "/" + entry->d_name;
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ++count;
    }
    return count;
}

}  // namespace harrowtally
