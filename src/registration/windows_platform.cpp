#include "windows_platform.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "common/runtime_error.h"
#include "owners.h"

namespace harrowtally::windows {
namespace {

class LoadedModule : public DynamicLibrary {
public:
    explicit LoadedModule(HMODULE module) : module_(module) {}
    // The module stays loaded for the life of the process: functions resolved from it may still be
    // held by the caller, and unloading from inside DllMain is not safe.
    void* find(const char* name) override { return reinterpret_cast<void*>(GetProcAddress(module_, name)); }

private:
    HMODULE module_;
};

class ScopedErrorMode {
public:
    ScopedErrorMode() { SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_); }
    ~ScopedErrorMode() { SetThreadErrorMode(previous_, nullptr); }
    ScopedErrorMode(const ScopedErrorMode&) = delete;
    ScopedErrorMode& operator=(const ScopedErrorMode&) = delete;

private:
    DWORD previous_ = 0;
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

// Where csp2a.DLL is looked for, in order: the component's own folder, the system folders, then each
// absolute folder on PATH. Never the current folder, nor a relative PATH entry (which names one
// below it): a csp2a.DLL planted beside a workbook or script opened from a share would otherwise
// run inside the host.
std::vector<std::wstring> library_folders() {
    std::vector<std::wstring> folders = {own_module_folder(), system_folder(GetSystemDirectoryW),
                                         system_folder(GetWindowsDirectoryW)};
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetEnvironmentVariableW(L"PATH", path.data(), size);
    path.resize(length < size ? length : 0);
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(L';', start), path.size());
        std::wstring entry = path.substr(start, end - start);
        if (entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"')
            entry = entry.substr(1, entry.size() - 2);
        if (is_absolute_folder(entry)) folders.push_back(with_separator(entry));
        start = end + 1;
    }
    return folders;
}

class WindowsLibraryOpener : public LibraryOpener {
public:
    explicit WindowsLibraryOpener(std::wstring path) : path_(std::move(path)) {}

    // Each candidate is loaded by its full path, so the system's own search never runs.
    std::unique_ptr<DynamicLibrary> open() override {
        ScopedErrorMode quiet;
        if (!path_.empty()) return load_file(path_);
        for (const std::wstring& folder : library_folders()) {
            if (folder.empty()) continue;
            const std::wstring candidate = folder + L"csp2a.DLL";
            if (is_file(candidate)) return load_file(candidate);
        }
        throw RuntimeError(err::file_not_found);
    }

private:
    static std::unique_ptr<DynamicLibrary> load_file(const std::wstring& path) {
        const bool exists = is_file(path);
        if (!exists) throw RuntimeError(err::file_not_found);
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (module == nullptr) fail_load(GetLastError(), true);
        return std::make_unique<LoadedModule>(module);
    }

    std::wstring path_;
};

std::wstring to_wide(const std::string& narrow) {
    if (narrow.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(), n);
    return wide;
}

}  // namespace

void WindowsMessagePump::wait(std::chrono::nanoseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    using std::chrono::ceil;
    using std::chrono::milliseconds;
    const auto ms = ceil<milliseconds>(timeout).count();
    const DWORD wait_ms = ms <= 0 ? 0 : ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
    // A quit that is pending belongs to the host's loop: leave the queue alone and just wait.
    if (quit_pending()) {
        Sleep(wait_ms);
        return;
    }
    const DWORD woke = MsgWaitForMultipleObjectsEx(0, nullptr, wait_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke != WAIT_OBJECT_0) return;
    while (dispatch_next_message()) {
        // A host that posts a message from each message must not keep the pause from ending.
        if (std::chrono::steady_clock::now() >= deadline) return;
    }
}

bool quit_pending() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

bool dispatch_next_message() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

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

std::wstring own_module_folder() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&own_module_folder), &self)) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash + 1);
}

std::unique_ptr<LibraryOpener> library_opener(const std::wstring& path) {
    return std::make_unique<WindowsLibraryOpener>(path);
}

}  // namespace harrowtally::windows

namespace harrowtally {
std::unique_ptr<LibraryOpener> platform_library_opener(const std::string& path) {
    return windows::library_opener(windows::to_wide(path));
}
}  // namespace harrowtally
