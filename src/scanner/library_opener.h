#pragma once
// Finding and opening the scanner library file; the platform layer provides the implementation.
#include <memory>
#include <string>
#include <vector>

namespace harrowtally {

class DynamicLibrary {
public:
    virtual ~DynamicLibrary() = default;
    // The address of an exported function, or nullptr when the library has none of that name.
    virtual void* find(const char* name) = 0;
};

// One way the opener looked for the library: the file, where it came from, and the loader's own
// reason when it could not be used (empty for the file that was loaded).
struct LoadAttempt {
    std::string file;
    std::string source;  // "beside the executable", "the system's library search", "the named file", ...
    std::string reason;
};

class LibraryOpener {
public:
    virtual ~LibraryOpener() = default;
    // Opens the library; throws RuntimeError(53) when no file is found, RuntimeError(48) when a file
    // is found but cannot be loaded as a library.
    virtual std::unique_ptr<DynamicLibrary> open() = 0;
    // What the last open tried, in order. For hosts that explain a failed load; an opener that
    // cannot tell gives nothing.
    virtual std::vector<LoadAttempt> attempts() const { return {}; }
};

// The platform's opener: the named file when `path` is given, else the default file name, looked
// for in the component's own folder first and then by the platform's standard search.
std::unique_ptr<LibraryOpener> platform_library_opener(const std::string& path = {});
// The file name that search looks for ("libcsp2a.so", "csp2a.DLL").
const char* platform_library_name();

}  // namespace harrowtally
