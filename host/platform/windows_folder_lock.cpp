#include <windows.h>

#include "host/platform/folder_lock.h"
#include "host/platform/windows_paths.h"

namespace harrowtally::host {

FolderLock::FolderLock(const std::string& path) {
    // Shared with no one: a second collector's open fails with a sharing violation.
    HANDLE file = CreateFileW(file_api_path(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        busy_ = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        problem_ = system_message(error);
        return;
    }
    handle_ = file;
    held_ = true;
}

FolderLock::~FolderLock() {
    if (held_) CloseHandle(handle_);
}

}  // namespace harrowtally::host
