#pragma once
// The data folder as the host sees it: the count num_files gives, and where the folder named as
// on Windows lies on this system. posix_folder_listing.cpp and windows_folder_listing.cpp answer it.
#include <memory>
#include <string>
#include <string_view>

#include "common/directory_listing.h"

namespace harrowtally::host {

class FolderListing : public DirectoryListing {
public:
    // Where `windows_folder` ("c:\\larkvale") is read here, in UTF-8.
    virtual std::string local_folder(std::u16string_view windows_folder) const = 0;
};

std::unique_ptr<FolderListing> platform_folder_listing();

}  // namespace harrowtally::host
