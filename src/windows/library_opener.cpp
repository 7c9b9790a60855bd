#include "windows/library_opener.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "windows/module_file.h"
#include "windows/owners.h"
#include "windows/text.h"

namespace harrowtally::windows {
namespace {

// The library stays loaded while its owner lives: the functions resolved from it go with it. The
// owner is never destroyed from DllMain (the component frees it when the module may unload).
class LoadedModule : public DynamicLibrary {
public:
    explicit LoadedModule(HMODULE module) : module_(module) {}
    void* find(const char* name) override { return reinterpret_cast<void*>(GetProcAddress(module_.get(), name)); }

private:
    LoadedModuleHandle module_;
};

bool is_file(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A file that exists but does not load (wrong format, wrong bitness, missing dependency) is 48;
// no file at all is 53.
[[noreturn]] void fail_load(DWORD error, bool file_exists) {
    if (!file_exists &&
        (error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) {
        throw RuntimeError(err::file_not_found);
    }
    throw RuntimeError(err::dll_load);
}

// "C:\..." or "\\server\share\...": a folder that does not depend on the current one.
bool is_absolute_folder(const std::wstring& folder) {
    const bool drive = folder.size() >= 3 &&
                       ((folder[0] >= L'A' && folder[0] <= L'Z') || (folder[0] >= L'a' && folder[0] <= L'z')) &&
                       folder[1] == L':' && (folder[2] == L'\\' || folder[2] == L'/');
    const bool unc = folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\';
    return drive || unc;
}

std::wstring with_separator(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    return folder;
}

// A folder a function fills into a buffer; empty when it fails.
template <typename Getter>
std::wstring system_folder(Getter get) {
    wchar_t buffer[MAX_PATH];
    const UINT n = get(buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? with_separator(std::wstring(buffer, n)) : std::wstring();
}

// A named file by its full path: LoadLibraryExW leaves a relative one to the search order.
std::wstring full_path(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD n = size == 0 ? 0 : GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size) return path;
    full.resize(n);
    return full;
}

struct Folder {
    std::wstring path;
    const char* source;
};

// Where csp2a.DLL is looked for, in order: the component's own folder, the system folders, then each
// absolute folder on PATH. Never the current folder, nor a relative PATH entry (which names one
// below it): a csp2a.DLL planted beside a workbook or script opened from a share would otherwise
// run inside the host.
std::vector<Folder> library_folders() {
    std::vector<Folder> folders = {{own_module_folder(), "beside the executable"},
                                   {system_folder(GetSystemDirectoryW), "the system folder"},
                                   {system_folder(GetWindowsDirectoryW), "the Windows folder"}};
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetEnvironmentVariableW(L"PATH", path.data(), size);
    path.resize(length < size ? length : 0);
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(L';', start), path.size());
        std::wstring entry = path.substr(start, end - start);
        if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"')
            entry = entry.substr(1, entry.size() - 2);
        // A folder already tried (PATH holds the system folders too) is tried, and listed, once.
        const std::wstring folder = with_separator(entry);
        const bool listed = std::any_of(folders.begin(), folders.end(), [&](const Folder& f) {
            return CompareStringOrdinal(f.path.c_str(), -1, folder.c_str(), -1, TRUE) == CSTR_EQUAL;
        });
        if (is_absolute_folder(entry) && !listed) folders.push_back({folder, "a folder on PATH"});
        start = end + 1;
    }
    return folders;
}

constexpr const char* kOtherBitness =
    sizeof(void*) == 8
        ? " (most often a 32-bit csp2a.DLL: this is the 64-bit build, which loads only a 64-bit one; the maker's "
          "32-bit csp2a.DLL needs the 32-bit build, the x86 package)"
        : " (most often a 64-bit csp2a.DLL: this is the 32-bit build, which loads only a 32-bit one, as the maker's "
          "csp2a.DLL is)";

class WindowsLibraryOpener : public LibraryOpener {
public:
    explicit WindowsLibraryOpener(std::wstring path) : path_(std::move(path)) {}

    // Each candidate is loaded by its full path, so the system's own search never runs.
    std::unique_ptr<DynamicLibrary> open() override {
        attempts_.clear();
        // No message box from the system for a library that cannot be loaded.
        DWORD previous_mode = 0;
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_mode);
        const auto restore_mode = scope_exit([previous_mode] { SetThreadErrorMode(previous_mode, nullptr); });
        if (!path_.empty()) return load_file(full_path(path_), "the named file");
        for (const Folder& folder : library_folders()) {
            if (folder.path.empty()) continue;
            const std::wstring candidate = folder.path + L"csp2a.DLL";
            if (is_file(candidate)) return load_file(candidate, folder.source);
            attempts_.push_back({utf8_of(candidate), folder.source, system_message(ERROR_FILE_NOT_FOUND)});
        }
        throw RuntimeError(err::file_not_found);
    }
    std::vector<LoadAttempt> attempts() const override { return attempts_; }

private:
    std::unique_ptr<DynamicLibrary> load_file(const std::wstring& path, const char* source) {
        LoadAttempt& attempt = attempts_.emplace_back(LoadAttempt{utf8_of(path), source, {}});
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            attempt.reason = system_message(GetLastError());
            throw RuntimeError(err::file_not_found);
        }
        // Something is there, but not a library: as for a file of the wrong format.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            attempt.reason = "it is a folder";
            throw RuntimeError(err::dll_load);
        }
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module == nullptr) {
            const DWORD error = GetLastError();
            attempt.reason = system_message(error);
            // What the system calls a bad format is, for a csp2a.DLL, nearly always the other bitness.
            if (error == ERROR_BAD_EXE_FORMAT) attempt.reason += kOtherBitness;
            fail_load(error, true);
        }
        return std::make_unique<LoadedModule>(module);
    }

    std::wstring path_;
    std::vector<LoadAttempt> attempts_;
};

}  // namespace

std::unique_ptr<LibraryOpener> library_opener(const std::wstring& path) {
    return std::make_unique<WindowsLibraryOpener>(path);
}

}  // namespace harrowtally::windows

namespace harrowtally {
// The host's file names are UTF-8.
std::unique_ptr<LibraryOpener> platform_library_opener(const std::string& path) {
    return windows::library_opener(windows::wide_of(path));
}

const char* platform_library_name() {
    return "csp2a.DLL";
}
}  // namespace harrowtally
