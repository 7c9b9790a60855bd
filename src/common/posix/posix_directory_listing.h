#pragma once
// Counting the files of a folder named as on Windows ("c:\\larkvale") in a POSIX file tree: the
// drive letter becomes the first folder under a root ("/c/larkvale" with the root "/").
#include <string>

#include "common/directory_listing.h"

namespace harrowtally {

class PosixDirectoryListing : public DirectoryListing {
public:
    explicit PosixDirectoryListing(std::string root = "/");

    // Regular files only; folders and names starting with "." (hidden files) are not counted.
    std::int64_t count_ordinary_files(std::u16string_view folder) override;

    // Where a Windows folder name lies under the root.
    std::string map_folder(std::u16string_view folder) const;

private:
    std::string root_;
};

}  // namespace harrowtally
