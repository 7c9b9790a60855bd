#pragma once
// Owners of the Windows resources that have none in the toolchain: each releases its resource in
// its destructor, is move-only, and hands out the address an API fills through out(). And
// scope_exit, for the state a call sets and must put back however the scope ends.
#include <windows.h>

#include <utility>

namespace harrowtally::windows {

template <typename Handle, typename Release>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : handle_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Release::none(); }
    // For the API call that fills the handle: the old one is released first.
    Handle* out() {
        reset();
        return &handle_;
    }
    Handle release() { return std::exchange(handle_, Release::none()); }
    void reset(Handle handle = Release::none()) {
        if (handle_ != Release::none()) Release::free(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Release::none();
};

struct RegistryKeyRelease {
    static HKEY none() { return nullptr; }
    static void free(HKEY key) { RegCloseKey(key); }
};
struct KernelHandleRelease {
    static HANDLE none() { return nullptr; }
    static void free(HANDLE handle) { CloseHandle(handle); }
};
struct FindRelease {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void free(HANDLE find) { FindClose(find); }
};
struct ModuleRelease {
    static HMODULE none() { return nullptr; }
    static void free(HMODULE module) { FreeLibrary(module); }
};
struct FileRelease {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void free(HANDLE file) { CloseHandle(file); }
};
using RegistryKey = Owned<HKEY, RegistryKeyRelease>;
using LoadedModuleHandle = Owned<HMODULE, ModuleRelease>;
using FindHandle = Owned<HANDLE, FindRelease>;
using KernelHandle = Owned<HANDLE, KernelHandleRelease>;
using FileHandle = Owned<HANDLE, FileRelease>;  // CreateFileW's: INVALID_HANDLE_VALUE is none

// Runs `undo` when the scope ends, however it ends.
template <typename Undo>
class ScopeExit {
public:
    explicit ScopeExit(Undo undo) : undo_(std::move(undo)) {}
    ~ScopeExit() { undo_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Undo undo_;
};

template <typename Undo>
[[nodiscard]] ScopeExit<Undo> scope_exit(Undo undo) {
    return ScopeExit<Undo>(std::move(undo));
}

}  // namespace harrowtally::windows
