#pragma once
// The file system's directory listing, as num_files uses it.
#include <cstdint>
#include <string_view>

namespace harrowtally {

class DirectoryListing {
public:
    virtual ~DirectoryListing() = default;
    // Number of ordinary files in the folder (no sub-folders, hidden or system files); 0 when the
    // folder does not exist. The folder is named as on Windows ("c:\\larkvale").
    virtual std::int64_t count_ordinary_files(std::u16string_view folder) = 0;
};

}  // namespace harrowtally
