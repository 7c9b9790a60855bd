#pragma once
// Owners of the Windows resources that have none in the toolchain (interfaces use
// Microsoft::WRL::ComPtr): each releases its resource in its destructor, is move-only, and hands
// out the address an API fills through out().
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

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
struct BstrRelease {
    static BSTR none() { return nullptr; }
    static void free(BSTR text) { SysFreeString(text); }
};

struct SafeArrayRelease {
    static SAFEARRAY* none() { return nullptr; }
    static void free(SAFEARRAY* array) { SafeArrayDestroy(array); }
};

using RegistryKey = Owned<HKEY, RegistryKeyRelease>;
using SafeArray = Owned<SAFEARRAY*, SafeArrayRelease>;
using FindHandle = Owned<HANDLE, FindRelease>;
using KernelHandle = Owned<HANDLE, KernelHandleRelease>;
using Bstr = Owned<BSTR, BstrRelease>;

// A VARIANT that is cleared when it goes.
class VariantValue {
public:
    VariantValue() { VariantInit(&value_); }
    ~VariantValue() { VariantClear(&value_); }
    VariantValue(VariantValue&& other) noexcept : value_(other.release()) {}
    VariantValue& operator=(VariantValue&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.release();
        }
        return *this;
    }
    VariantValue(const VariantValue&) = delete;
    VariantValue& operator=(const VariantValue&) = delete;

    VARIANT* get() { return &value_; }
    const VARIANT* get() const { return &value_; }
    VARIANT* out() {
        VariantClear(&value_);
        return &value_;
    }
    // Gives the value away; this one is left empty.
    VARIANT release() {
        VARIANT given = value_;
        VariantInit(&value_);
        return given;
    }

private:
    VARIANT value_;
};

// The descriptions ITypeInfo lends out, given back to the ITypeInfo that lent them (which the
// owner keeps alive while it holds one).
template <typename Description, void (STDMETHODCALLTYPE ITypeInfo::*Give)(Description*)>
class TypeDescription {
public:
    explicit TypeDescription(ITypeInfo* info) : info_(info) {}
    ~TypeDescription() { give_back(); }
    TypeDescription(const TypeDescription&) = delete;
    TypeDescription& operator=(const TypeDescription&) = delete;

    const Description* operator->() const { return description_; }
    explicit operator bool() const { return description_ != nullptr; }
    Description** out() {
        give_back();
        return &description_;
    }

private:
    void give_back() {
        if (description_ != nullptr) (info_.Get()->*Give)(std::exchange(description_, nullptr));
    }

    Microsoft::WRL::ComPtr<ITypeInfo> info_;
    Description* description_ = nullptr;
};

using TypeAttributes = TypeDescription<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using FunctionDescription = TypeDescription<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;

}  // namespace harrowtally::windows
