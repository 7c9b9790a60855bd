#pragma once
// Finding and opening the scanner library file; the platform layer provides the implementation.
#include <memory>
#include <string>

namespace harrowtally {

class DynamicLibrary {
public:
    virtual ~DynamicLibrary() = default;
    // The address of an exported function, or nullptr when the library has none of that name.
    virtual void* find(const char* name) = 0;
};

class LibraryOpener {
public:
    virtual ~LibraryOpener() = default;
    // Opens the library; throws RuntimeError(53) when no file is found, RuntimeError(48) when a file
    // is found but cannot be loaded as a library.
    virtual std::unique_ptr<DynamicLibrary> open() = 0;
};

// The platform's opener: the named file when `path` is given, else the default file name, looked
// for in the component's own folder first and then by the platform's standard search.
std::unique_ptr<LibraryOpener> platform_library_opener(const std::string& path = {});

}  // namespace harrowtally
