#pragma once
// The data folder's listing on Windows.
#include <cstdint>
#include <string_view>

#include "common/directory_listing.h"

namespace harrowtally::windows {

// Counts the entries of a folder that are neither folders nor hidden nor system files.
class WindowsDirectoryListing : public DirectoryListing {
public:
    std::int64_t count_ordinary_files(std::u16string_view folder) override;
};

}  // namespace harrowtally::windows
