#pragma once
// The edge between the platform's VARIANT and the core's Variant. By-reference VARIANTs are read
// through; object references and arrays keep the platform object alive inside the core value.
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

#include "com/com_owners.h"
#include "common/variant.h"

namespace harrowtally::com {

// An automation object held by the core: AddRef'd for as long as any copy of the value lives; its
// default value is read through DISPID_VALUE.
class DispatchRef : public ObjectRef {
public:
    explicit DispatchRef(IUnknown* object);  // AddRefs
    DispatchRef(const DispatchRef&) = delete;
    DispatchRef& operator=(const DispatchRef&) = delete;

    Variant default_value() const override;
    IUnknown* unknown() const { return unknown_.Get(); }

private:
    Microsoft::WRL::ComPtr<IUnknown> unknown_;
    Microsoft::WRL::ComPtr<IDispatch> dispatch_;  // empty when the object has no IDispatch
};

// A SAFEARRAY owned by the core value (a private copy of the host's array).
class SafeArrayValue : public ArrayValue {
public:
    SafeArrayValue(SafeArray owned, VARTYPE element_type) : array_(std::move(owned)), element_type_(element_type) {}
    SAFEARRAY* array() const { return array_.get(); }
    VARTYPE element_type() const { return element_type_; }

private:
    SafeArray array_;
    VARTYPE element_type_;
};

// References to a VARIANT are followed this far: the platform passes one, a longer chain is no value
// (and could be endless).
inline constexpr int most_reference_steps = 8;

// Sets the locale in which default members are read on this thread, for the length of a dispatch
// call (the user's locale outside one); the previous one is put back at the end.
class CallLocaleScope {
public:
    explicit CallLocaleScope(LCID locale);
    ~CallLocaleScope();
    CallLocaleScope(const CallLocaleScope&) = delete;
    CallLocaleScope& operator=(const CallLocaleScope&) = delete;

private:
    LCID previous_;
};

// Reads a VARIANT (by-reference ones included) into a core value; a type no automation host
// passes fails with 13.
Variant from_variant(const VARIANT& source);

// Writes a core value into `target`, which must be empty (VariantInit); throws std::bad_alloc.
void to_variant(const Variant& value, VARIANT* target);

std::u16string from_bstr(BSTR text);
BSTR to_bstr(std::u16string_view text);  // throws std::bad_alloc

}  // namespace harrowtally::com
