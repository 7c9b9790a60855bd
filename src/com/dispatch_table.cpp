#include "com/dispatch_table.h"

#include <new>
#include <utility>

#include "com/clicker_object.h"
#include "com/com_owners.h"

namespace harrowtally::com {
namespace {

using Object = ClickerObject;

template <HRESULT (STDMETHODCALLTYPE Object::*Method)()>
HRESULT method(Object& object, const VARIANTARG*, VARIANT*) {
    return (object.*Method)();
}

template <HRESULT (STDMETHODCALLTYPE Object::*Get)(VARIANT*)>
HRESULT variant_get(Object& object, const VARIANTARG*, VARIANT* result) {
    return (object.*Get)(result);
}

// A get of a value that is not a VARIANT, given as a VARIANT of type `Type`.
template <VARTYPE Type, typename Value, HRESULT (STDMETHODCALLTYPE Object::*Get)(Value*)>
HRESULT typed_get(Object& object, const VARIANTARG*, VARIANT* result) {
    Value value{};
    const HRESULT hr = (object.*Get)(&value);
    if (FAILED(hr)) return hr;
    if constexpr (Type == VT_I2) V_I2(result) = value;
    if constexpr (Type == VT_BOOL) V_BOOL(result) = value;
    if constexpr (Type == VT_BSTR) V_BSTR(result) = value;
    V_VT(result) = Type;
    return hr;
}

template <HRESULT (STDMETHODCALLTYPE Object::*Get)(short*)>
constexpr auto short_get = typed_get<VT_I2, short, Get>;
template <HRESULT (STDMETHODCALLTYPE Object::*Get)(VARIANT_BOOL*)>
constexpr auto flag_get = typed_get<VT_BOOL, VARIANT_BOOL, Get>;
template <HRESULT (STDMETHODCALLTYPE Object::*Get)(BSTR*)>
constexpr auto text_get = typed_get<VT_BSTR, BSTR, Get>;

// An argument passed by value, as a by-value parameter takes it: a script's variable arrives as a
// reference to its VARIANT, which stands for the value it holds. The value is copied, so that host
// code the member runs (a default member) cannot change or free what the member reads. What cannot
// be copied so (a reference to a reference, a type no VARIANT copy takes) is handed on as it came,
// for the conversion to refuse before any host code runs.
const VARIANT& by_value(const VARIANTARG& argument, VariantValue& copy) {
    const VARIANT* value = &argument;
    if (V_VT(&argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&argument) != nullptr &&
        (V_VT(V_VARIANTREF(&argument)) & VT_BYREF) == 0) {
        value = V_VARIANTREF(&argument);
    }
    if (SUCCEEDED(VariantCopyInd(copy.out(), const_cast<VARIANT*>(value)))) return *copy.get();
    return *value;
}

// A method of two by-value VARIANT parameters that gives a Boolean. Its result is a Boolean also
// when it fails (False), as the type library's dispatcher hands back the cleared out value.
template <HRESULT (STDMETHODCALLTYPE Object::*Method)(VARIANT, VARIANT, VARIANT_BOOL*)>
HRESULT flag_method2(Object& object, const VARIANTARG* arguments, VARIANT* result) {
    VARIANT_BOOL value = VARIANT_FALSE;
    VariantValue first;
    VariantValue second;
    const HRESULT hr = (object.*Method)(by_value(arguments[1], first), by_value(arguments[0], second), &value);
    V_BOOL(result) = value;
    V_VT(result) = VT_BOOL;
    return hr;
}

constexpr INVOKEKIND get = INVOKE_PROPERTYGET, call = INVOKE_FUNC;

// clang-format off
constexpr FastMember fast_members[] = {
    {DISPID_CLICKER_STARTPORT,      L"startport",      get,  0, variant_get<&Object::get_startport>},
    {DISPID_CLICKER_GET_BARCODE,    L"get_barcode",    get,  0, short_get<&Object::get_get_barcode>},
    {DISPID_CLICKER_OPEN_CLICKER,   L"open_clicker",   call, 0, method<&Object::open_clicker>},
    {DISPID_CLICKER_CLOSE_CLICKER,  L"close_clicker",  call, 0, method<&Object::close_clicker>},
    {DISPID_CLICKER_SERIAL,         L"serial",         get,  0, variant_get<&Object::get_serial>},
    {DISPID_CLICKER_LOG,            L"log",            get,  0, variant_get<&Object::get_log>},
    {DISPID_CLICKER_ALLDATA,        L"alldata",        get,  0, variant_get<&Object::get_alldata>},
    {DISPID_CLICKER_COMPORT,        L"comport",        get,  0, short_get<&Object::get_comport>},
    {DISPID_CLICKER_NUM_BARCODES,   L"num_barcodes",   get,  0, short_get<&Object::get_num_barcodes>},
    {DISPID_CLICKER_HELLO,          L"hello",          get,  0, text_get<&Object::get_hello>},
    {DISPID_CLICKER_NUM_FILES,      L"num_files",      get,  0, short_get<&Object::get_num_files>},
    {DISPID_CLICKER_OPEN_OK,        L"open_ok",        get,  0, flag_get<&Object::get_open_ok>},
    {DISPID_CLICKER_EMPTY_OK,       L"empty_ok",       get,  0, flag_get<&Object::get_empty_ok>},
    {DISPID_CLICKER_EMPTYSCANNER,   L"EmptyScanner",   call, 0, method<&Object::EmptyScanner>},
    {DISPID_CLICKER_RESET_PARAMS,   L"reset_params",   call, 0, method<&Object::reset_params>},
    {DISPID_CLICKER_SHOWPARAMS,     L"showparams",     get,  0, variant_get<&Object::get_showparams>},
    {DISPID_CLICKER_SWVERSION,      L"SwVersion",      get,  0, variant_get<&Object::get_SwVersion>},
    {DISPID_CLICKER_GETDATE,        L"getdate",        call, 0, method<&Object::getdate>},
    {DISPID_CLICKER_SETDATE,        L"setdate",        call, 0, method<&Object::setdate>},
    {DISPID_CLICKER_SBARCODE,       L"sbarcode",       get,  0, variant_get<&Object::get_sbarcode>},
    {DISPID_CLICKER_STIME,          L"stime",          get,  0, variant_get<&Object::get_stime>},
    {DISPID_CLICKER_STYPE,          L"stype",          get,  0, variant_get<&Object::get_stype>},
    {DISPID_CLICKER_EMPTYSCANNERIF, L"EmptyScannerIf", call, 2, flag_method2<&Object::EmptyScannerIf>},
};
// clang-format on

wchar_t ascii_lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

std::wstring lower(const wchar_t* text) {
    std::wstring out;
    for (; *text; ++text) out += ascii_lower(*text);
    return out;
}

// Compares a lower-case member name with a name as the caller spelt it, without allocating: names
// are looked up at every call from a script. Only ASCII letters are folded; a name with any other
// character is left to the type library, which has its own rules for them.
bool same_name(const std::wstring& lower_name, const wchar_t* spelt) {
    std::size_t i = 0;
    for (; spelt[i] != L'\0'; ++i) {
        if (i == lower_name.size() || ascii_lower(spelt[i]) != lower_name[i]) return false;
    }
    return i == lower_name.size();
}

// Every member the type library offers, or a failure: a table built from part of the type
// information would answer wrongly for the life of the process.
HRESULT fill_table(ITypeInfo* info, DispatchTable& table) {
    TypeAttributes attributes(info);
    if (const HRESULT hr = info->GetTypeAttr(attributes.out()); FAILED(hr)) return hr;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FunctionDescription f(info);
        if (const HRESULT hr = info->GetFuncDesc(i, f.out()); FAILED(hr)) return hr;
        if ((f->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0) continue;  // found through the type library only
        Bstr name;
        UINT count = 0;
        if (const HRESULT hr = info->GetNames(f->memid, name.out(), 1, &count); FAILED(hr)) return hr;
        if (count != 1) return E_UNEXPECTED;
        const std::wstring key = lower(name.get());
        if (table.find(key.c_str()) == DISPID_UNKNOWN) table.names.emplace_back(key, f->memid);
        for (const FastMember& m : fast_members) {
            if (m.id == f->memid && f->invkind == m.kind && f->cParams == static_cast<SHORT>(m.arguments) &&
                lower(m.name) == key) {
                table.fast[m.id] = &m;
            }
        }
    }
    return S_OK;
}

}  // namespace

DISPID DispatchTable::find(const wchar_t* spelt) const {
    for (const auto& [name, id] : names) {
        if (same_name(name, spelt)) return id;
    }
    return DISPID_UNKNOWN;
}

HRESULT build_dispatch_table(ITypeInfo* info, DispatchTable& table) noexcept {
    try {
        DispatchTable built;
        if (const HRESULT hr = fill_table(info, built); FAILED(hr)) return hr;
        table = std::move(built);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace harrowtally::com
