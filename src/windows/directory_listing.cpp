#include "windows/directory_listing.h"

#include <windows.h>

#include <string>

#include "windows/owners.h"

namespace harrowtally::windows {

std::int64_t WindowsDirectoryListing::count_ordinary_files(std::u16string_view folder) {
    std::wstring pattern(folder.begin(), folder.end());
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L"*.*";
    WIN32_FIND_DATAW entry;
    const FindHandle find(FindFirstFileW(pattern.c_str(), &entry));
    if (!find) return 0;
    std::int64_t count = 0;
    constexpr DWORD not_ordinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        if ((entry.dwFileAttributes & not_ordinary) == 0) ++count;
    } while (FindNextFileW(find.get(), &entry));
    return count;
}

}  // namespace harrowtally::windows
