// Prints the version resource of each file named, as Windows reads it (GetFileVersionInfoW and
// VerQueryValueW), one "name=value" line each: the fixed part's file and product versions and
// file type, then every text of the first language the resource lists. install_test compares
// these with the package's version.
// Usage: version_info FILE...   (exit status 1 when a file has no version resource)
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace {

std::string utf8(const wchar_t* text) {
    const std::wstring_view wide(text);
    return harrowtally::to_utf8(std::u16string(wide.begin(), wide.end()));
}

std::string four_parts(DWORD high, DWORD low) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(high)),
                  static_cast<unsigned long>(LOWORD(high)), static_cast<unsigned long>(HIWORD(low)),
                  static_cast<unsigned long>(LOWORD(low)));
    return text;
}

bool print_version(const wchar_t* file) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0) return false;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file, 0, size, data.data())) return false;

    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) return false;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::printf("fixed FileVersion=%s\n", four_parts(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
    std::printf("fixed ProductVersion=%s\n", four_parts(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());
    std::printf("fixed FileType=%s\n", fixed->dwFileType == VFT_APP   ? "application"
                                       : fixed->dwFileType == VFT_DLL ? "library"
                                                                      : "other");

    struct Translation {
        WORD language;
        WORD code_page;
    };
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < sizeof(Translation))
        return false;
    const auto* translation = static_cast<const Translation*>(value);
    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright",
                                L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        wchar_t path[128];
        swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->code_page, name);
        if (VerQueryValueW(data.data(), path, &value, &length) && length > 0)
            std::printf("%s=%s\n", utf8(name).c_str(), utf8(static_cast<const wchar_t*>(value)).c_str());
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (!print_version(argv[i])) {
            std::printf("no version resource: %s\n", utf8(argv[i]).c_str());
            status = 1;
        }
    }
    std::fflush(stdout);
    return status;
}
