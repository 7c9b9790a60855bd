#include "host/platform/windows_paths.h"

#include <windows.h>

namespace harrowtally::host {

std::wstring file_api_path(const std::string& utf8_path) {
    std::wstring path = wide_of(utf8_path);
    if (path.starts_with(L"\\\\?\\")) return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size) return {};
    full.resize(n);
    // Below the limit the plain form is kept: some calls (ReplaceFileW under Wine among them) are
    // surer of it.
    if (full.size() < MAX_PATH) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace harrowtally::host
