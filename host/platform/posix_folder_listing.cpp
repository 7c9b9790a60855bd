#include "common/posix/posix_directory_listing.h"
#include "host/platform/folder_listing.h"

namespace harrowtally::host {
namespace {

class PosixFolderListing : public FolderListing {
public:
    std::int64_t count_ordinary_files(std::u16string_view folder) override {
        return listing_.count_ordinary_files(folder);
    }
    std::string local_folder(std::u16string_view windows_folder) const override {
        return listing_.map_folder(windows_folder);
    }

private:
    PosixDirectoryListing listing_;
};

}  // namespace

std::unique_ptr<FolderListing> platform_folder_listing() {
    return std::make_unique<PosixFolderListing>();
}

}  // namespace harrowtally::host
