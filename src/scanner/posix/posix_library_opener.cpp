// The scanner library on Linux and other POSIX systems: libcsp2a.so opened with dlopen.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/runtime_error.h"
#include "scanner/library_opener.h"

namespace harrowtally {
namespace {

constexpr const char* kDefaultName = "libcsp2a.so";

bool file_exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class PosixLibrary : public DynamicLibrary {
public:
    explicit PosixLibrary(void* handle) : handle_(handle) {}
    PosixLibrary(const PosixLibrary&) = delete;
    PosixLibrary& operator=(const PosixLibrary&) = delete;
    ~PosixLibrary() override { ::dlclose(handle_); }

    void* find(const char* name) override { return ::dlsym(handle_, name); }

private:
    void* handle_;
};

// Loads the file; on failure the loader's reason is left in `reason`.
std::unique_ptr<DynamicLibrary> load(const std::string& file, std::string& reason) {
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        reason = why != nullptr ? why : "the loader gave no reason";
        return nullptr;
    }
    reason.clear();
    return std::make_unique<PosixLibrary>(handle);
}

// Why stat finds no file there, in the system's words; empty when there is one.
std::string missing_reason(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::string() : std::strerror(errno);
}

// The folder of the module that holds the core: the executable, or the shared object the core
// was linked into. Empty when it cannot be told.
std::string core_module_folder() {
    Dl_info info{};
    link_map* map = nullptr;
    if (::dladdr1(reinterpret_cast<void*>(&core_module_folder), &info, reinterpret_cast<void**>(&map),
                  RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return {};
    }
    std::string file;
    if (map->l_name != nullptr && map->l_name[0] != '\0') {
        file = map->l_name;
    } else {
        // The executable: dladdr would give argv[0], which may be a bare name found on PATH.
        std::vector<char> buffer(4096);
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        if (n <= 0) return {};
        file.assign(buffer.data(), static_cast<std::size_t>(n));
    }
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

// The folders dlopen searches for a bare file name on behalf of the executable: LD_LIBRARY_PATH,
// the run path and the system folders.
std::vector<std::string> standard_search_folders() {
    std::vector<std::string> folders;
    void* self = ::dlopen(nullptr, RTLD_LAZY);
    if (self == nullptr) return folders;
    Dl_serinfo size{};
    if (::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0) {
        std::vector<unsigned char> storage(size.dls_size);
        auto* info = reinterpret_cast<Dl_serinfo*>(storage.data());
        if (::dlinfo(self, RTLD_DI_SERINFOSIZE, info) == 0 && ::dlinfo(self, RTLD_DI_SERINFO, info) == 0) {
            for (unsigned i = 0; i < info->dls_cnt; ++i) folders.emplace_back(info->dls_serpath[i].dls_name);
        }
    }
    ::dlclose(self);
    return folders;
}

class PosixLibraryOpener : public LibraryOpener {
public:
    explicit PosixLibraryOpener(std::string path) : path_(std::move(path)) {}

    std::unique_ptr<DynamicLibrary> open() override {
        attempts_.clear();
        return path_.empty() ? open_default() : open_named();
    }
    std::vector<LoadAttempt> attempts() const override { return attempts_; }

private:
    std::unique_ptr<DynamicLibrary> open_named() {
        LoadAttempt& attempt = attempts_.emplace_back(LoadAttempt{path_, "the named file", {}});
        attempt.reason = missing_reason(path_);
        if (!attempt.reason.empty()) throw RuntimeError(err::file_not_found);
        // A name without a folder means the file in the current folder, not a library search.
        const std::string file = path_.find('/') == std::string::npos ? "./" + path_ : path_;
        auto library = load(file, attempt.reason);
        if (!library) throw RuntimeError(err::dll_load);
        return library;
    }

    std::unique_ptr<DynamicLibrary> open_default() {
        const std::string folder = core_module_folder();
        if (!folder.empty()) {
            const std::string beside = folder + "/" + kDefaultName;
            LoadAttempt& attempt = attempts_.emplace_back(LoadAttempt{beside, "beside the executable", {}});
            attempt.reason = missing_reason(beside);
            if (attempt.reason.empty()) {
                auto library = load(beside, attempt.reason);
                if (!library) throw RuntimeError(err::dll_load);
                return library;
            }
        }
        LoadAttempt& searched = attempts_.emplace_back(LoadAttempt{kDefaultName, "the system's library search", {}});
        if (auto library = load(kDefaultName, searched.reason)) return library;
        // dlopen does not say whether it found nothing or found a file it could not load; the
        // search folders do.
        for (const auto& folder_searched : standard_search_folders()) {
            if (file_exists(folder_searched + "/" + kDefaultName)) throw RuntimeError(err::dll_load);
        }
        throw RuntimeError(err::file_not_found);
    }

    std::string path_;
    std::vector<LoadAttempt> attempts_;
};

}  // namespace

std::unique_ptr<LibraryOpener> platform_library_opener(const std::string& path) {
    return std::make_unique<PosixLibraryOpener>(path);
}

const char* platform_library_name() {
    return kDefaultName;
}

}  // namespace harrowtally
