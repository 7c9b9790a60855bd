#include "common/text.h"
#include "host/platform/folder_listing.h"
#include "windows/directory_listing.h"

namespace harrowtally::host {
namespace {

// The folder is the Windows name itself.
class WindowsFolderListing : public FolderListing {
public:
    std::int64_t count_ordinary_files(std::u16string_view folder) override {
        return listing_.count_ordinary_files(folder);
    }
    std::string local_folder(std::u16string_view windows_folder) const override { return to_utf8(windows_folder); }

private:
    windows::WindowsDirectoryListing listing_;
};

}  // namespace

std::unique_ptr<FolderListing> platform_folder_listing() {
    return std::make_unique<WindowsFolderListing>();
}

}  // namespace harrowtally::host
