#pragma once
// Owners of the automation resources: BSTRs, SAFEARRAYs, VARIANTs and the descriptions ITypeInfo
// lends out (interfaces use Microsoft::WRL::ComPtr, with adopt() for a newly made object).
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <utility>

#include "windows/owners.h"

namespace harrowtally::com {

struct BstrRelease {
    static BSTR none() { return nullptr; }
    static void free(BSTR text) { SysFreeString(text); }
};

struct SafeArrayRelease {
    static SAFEARRAY* none() { return nullptr; }
    static void free(SAFEARRAY* array) { SafeArrayDestroy(array); }
};

using SafeArray = windows::Owned<SAFEARRAY*, SafeArrayRelease>;
using Bstr = windows::Owned<BSTR, BstrRelease>;

// Takes over the reference an object was made with: MinGW's ComPtr::Attach adds one of its own.
template <typename T>
Microsoft::WRL::ComPtr<T> adopt(T* made) {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.GetAddressOf() = made;
    return owner;
}

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

}  // namespace harrowtally::com
