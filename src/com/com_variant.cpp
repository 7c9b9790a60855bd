#include "com/com_variant.h"

#include <new>
#include <utility>
#include <vector>

#include "com/com_owners.h"
#include "common/runtime_error.h"

namespace harrowtally::com {
namespace {

void check_alloc(HRESULT hr) {
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr)) throw RuntimeError(err::type_mismatch);
}

Variant from_array(SAFEARRAY* array, VARTYPE element_type) {
    if (array == nullptr) {
        // An uninitialised dynamic array: an array without elements.
        return Variant::array(std::make_shared<VariantArray>(std::vector<Variant>{}));
    }
    SafeArray copy;
    check_alloc(SafeArrayCopy(array, copy.out()));
    return Variant::array(std::make_shared<SafeArrayValue>(std::move(copy), element_type));
}

Variant from_decimal(const DECIMAL& d) {
    constexpr BYTE largest_scale = 28;
    if (d.scale > largest_scale) throw RuntimeError(err::type_mismatch);
    DecimalValue value;
    value.scale = d.scale;
    value.negative = (d.sign & DECIMAL_NEG) != 0;
    value.hi32 = d.Hi32;
    value.lo64 = d.Lo64;
    return Variant::decimal(value);
}

// The locale of the dispatch call under way on this thread, in which default members are read.
thread_local LCID call_locale = LOCALE_USER_DEFAULT;

// Default members are followed this far: an object whose default member keeps answering objects
// (one that answers itself) has no usable default value.
constexpr int most_default_steps = 8;

}  // namespace

CallLocaleScope::CallLocaleScope(LCID locale) : previous_(std::exchange(call_locale, locale)) {}

CallLocaleScope::~CallLocaleScope() {
    call_locale = previous_;
}

DispatchRef::DispatchRef(IUnknown* object) : unknown_(object) {
    unknown_.As(&dispatch_);
}

Variant DispatchRef::default_value() const {
    Microsoft::WRL::ComPtr<IDispatch> object = dispatch_;
    for (int step = 0; step < most_default_steps && object; ++step) {
        DISPPARAMS no_arguments{nullptr, nullptr, 0, 0};
        VariantValue result;
        EXCEPINFO exception{};
        const HRESULT hr =
            // A property get only: a function object (a JScript function) is never called for its value.
            object->Invoke(DISPID_VALUE, IID_NULL, call_locale, DISPATCH_PROPERTYGET, &no_arguments, result.get(),
                           &exception, nullptr);
        const Bstr source(exception.bstrSource), description(exception.bstrDescription),
            help_file(exception.bstrHelpFile);
        if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
        if (FAILED(hr)) throw RuntimeError(err::type_mismatch);
        // Read as any value is, references followed: an object, however it is given, is one more step.
        Variant value = from_variant(*result.get());
        if (value.type() != VarType::Object) return value;
        const auto* next = dynamic_cast<const DispatchRef*>(value.as_object().get());
        if (next == nullptr) break;  // Nothing: no value behind it
        object = next->dispatch_;
    }
    throw RuntimeError(err::type_mismatch);
}

std::u16string from_bstr(BSTR text) {
    if (text == nullptr) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

BSTR to_bstr(std::u16string_view text) {
    BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (b == nullptr) throw std::bad_alloc();
    return b;
}

const VARIANT& referenced_value(const VARIANT& given) {
    const VARIANT* value = &given;
    for (int step = 0; V_VT(value) == (VT_BYREF | VT_VARIANT); ++step) {
        if (step == most_reference_steps || V_VARIANTREF(value) == nullptr) throw RuntimeError(err::type_mismatch);
        value = V_VARIANTREF(value);
    }
    return *value;
}

Variant from_variant(const VARIANT& given) {
    const VARIANT& source = referenced_value(given);
    const VARTYPE vt = V_VT(&source);
    const bool by_ref = (vt & VT_BYREF) != 0;
    const VARTYPE base = vt & ~VT_BYREF;
    if (by_ref && V_BYREF(&source) == nullptr) throw RuntimeError(err::type_mismatch);
    if ((base & VT_ARRAY) != 0) {
        return from_array(by_ref ? *V_ARRAYREF(&source) : V_ARRAY(&source), base & VT_TYPEMASK);
    }
    switch (base) {
        case VT_EMPTY:
            return {};
        case VT_NULL:
            return Variant::null();
        case VT_I1:
            return Variant::sbyte(static_cast<std::int8_t>(by_ref ? *V_I1REF(&source) : V_I1(&source)));
        case VT_UI1:
            return Variant::byte(by_ref ? *V_UI1REF(&source) : V_UI1(&source));
        case VT_I2:
            return Variant::integer(by_ref ? *V_I2REF(&source) : V_I2(&source));
        case VT_UI2:
            return Variant::uinteger(by_ref ? *V_UI2REF(&source) : V_UI2(&source));
        case VT_I4:
            return Variant::long_(by_ref ? *V_I4REF(&source) : V_I4(&source));
        case VT_UI4:
            return Variant::ulong(by_ref ? *V_UI4REF(&source) : V_UI4(&source));
        case VT_INT:
            return Variant::long_(by_ref ? *V_INTREF(&source) : V_INT(&source));
        case VT_UINT:
            return Variant::ulong(by_ref ? *V_UINTREF(&source) : V_UINT(&source));
        case VT_I8:
            return Variant::long_long(by_ref ? *V_I8REF(&source) : V_I8(&source));
        case VT_UI8:
            return Variant::ulong_long(by_ref ? *V_UI8REF(&source) : V_UI8(&source));
        case VT_R4:
            return Variant::single(by_ref ? *V_R4REF(&source) : V_R4(&source));
        case VT_R8:
            return Variant::double_(by_ref ? *V_R8REF(&source) : V_R8(&source));
        case VT_CY:
            return Variant::currency_scaled((by_ref ? *V_CYREF(&source) : V_CY(&source)).int64);
        case VT_DATE:
            return Variant::date(by_ref ? *V_DATEREF(&source) : V_DATE(&source));
        case VT_BOOL:
            return Variant::boolean((by_ref ? *V_BOOLREF(&source) : V_BOOL(&source)) != VARIANT_FALSE);
        case VT_ERROR:
            return Variant::error(by_ref ? *V_ERRORREF(&source) : V_ERROR(&source));
        case VT_BSTR:
            return Variant::string(from_bstr(by_ref ? *V_BSTRREF(&source) : V_BSTR(&source)));
        case VT_DECIMAL:
            return from_decimal(by_ref ? *V_DECIMALREF(&source) : V_DECIMAL(&source));
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            IUnknown* object = base == VT_DISPATCH ? (by_ref ? *V_DISPATCHREF(&source) : V_DISPATCH(&source))
                                                   : (by_ref ? *V_UNKNOWNREF(&source) : V_UNKNOWN(&source));
            if (object == nullptr) return Variant::object(nullptr);
            return Variant::object(std::make_shared<DispatchRef>(object));
        }
        default:  // a VARIANT by value is no type, and references to one were followed above
            break;
    }
    throw RuntimeError(err::type_mismatch);
}

void to_variant(const Variant& value, VARIANT* target) {
    VariantInit(target);
    switch (value.type()) {
        case VarType::Empty:
            return;
        case VarType::Null:
            V_VT(target) = VT_NULL;
            return;
        case VarType::Integer:
            V_VT(target) = VT_I2;
            V_I2(target) = static_cast<SHORT>(value.as_signed());
            return;
        case VarType::Long:
            V_VT(target) = VT_I4;
            V_I4(target) = static_cast<LONG>(value.as_signed());
            return;
        case VarType::LongLong:
            V_VT(target) = VT_I8;
            V_I8(target) = value.as_signed();
            return;
        case VarType::SByte:
            V_VT(target) = VT_I1;
            V_I1(target) = static_cast<CHAR>(value.as_signed());
            return;
        case VarType::Byte:
            V_VT(target) = VT_UI1;
            V_UI1(target) = static_cast<BYTE>(value.as_unsigned());
            return;
        case VarType::UInteger:
            V_VT(target) = VT_UI2;
            V_UI2(target) = static_cast<USHORT>(value.as_unsigned());
            return;
        case VarType::ULong:
            V_VT(target) = VT_UI4;
            V_UI4(target) = static_cast<ULONG>(value.as_unsigned());
            return;
        case VarType::ULongLong:
            V_VT(target) = VT_UI8;
            V_UI8(target) = value.as_unsigned();
            return;
        case VarType::Single:
            V_VT(target) = VT_R4;
            V_R4(target) = static_cast<float>(value.as_real());
            return;
        case VarType::Double:
            V_VT(target) = VT_R8;
            V_R8(target) = value.as_real();
            return;
        case VarType::Date:
            V_VT(target) = VT_DATE;
            V_DATE(target) = value.as_real();
            return;
        case VarType::Currency:
            V_VT(target) = VT_CY;
            V_CY(target).int64 = value.as_signed();
            return;
        case VarType::Decimal: {
            const DecimalValue& d = value.as_decimal();
            DECIMAL& out = V_DECIMAL(target);  // overlays the whole VARIANT, so set the type last
            out.wReserved = 0;
            out.scale = d.scale;
            out.sign = d.negative ? DECIMAL_NEG : 0;
            out.Hi32 = d.hi32;
            out.Lo64 = d.lo64;
            V_VT(target) = VT_DECIMAL;
            return;
        }
        case VarType::Boolean:
            V_VT(target) = VT_BOOL;
            V_BOOL(target) = value.as_bool() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case VarType::String:
            V_BSTR(target) = to_bstr(value.as_string());
            V_VT(target) = VT_BSTR;
            return;
        case VarType::Error:
            V_VT(target) = VT_ERROR;
            V_ERROR(target) = static_cast<SCODE>(value.as_signed());
            return;
        case VarType::Object: {
            const auto* held = dynamic_cast<const DispatchRef*>(value.as_object().get());
            // A reference of our own before the host's code runs: its QueryInterface may replace the
            // value that holds the object (assigning startport again), and with it the object.
            Microsoft::WRL::ComPtr<IUnknown> object(held == nullptr ? nullptr : held->unknown());
            Microsoft::WRL::ComPtr<IDispatch> dispatch;
            if (object && FAILED(object->QueryInterface(IID_PPV_ARGS(dispatch.GetAddressOf())))) {
                V_VT(target) = VT_UNKNOWN;
                V_UNKNOWN(target) = object.Detach();  // the reference the VARIANT holds
                return;
            }
            V_VT(target) = VT_DISPATCH;
            V_DISPATCH(target) = dispatch.Detach();
            return;
        }
        case VarType::Array: {
            if (const auto* safe = dynamic_cast<const SafeArrayValue*>(value.as_array().get())) {
                SafeArray copy;
                if (FAILED(SafeArrayCopy(safe->array(), copy.out()))) throw std::bad_alloc();
                V_VT(target) = static_cast<VARTYPE>(VT_ARRAY | safe->element_type());
                V_ARRAY(target) = copy.release();
                return;
            }
            // An array made by the core: a one-dimensional array of variants from index 0.
            const auto* items = dynamic_cast<const VariantArray*>(value.as_array().get());
            const ULONG count = items == nullptr ? 0 : static_cast<ULONG>(items->items().size());
            SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, count));
            if (!array) throw std::bad_alloc();
            for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
                VariantValue element;
                to_variant(items->items()[static_cast<std::size_t>(i)], element.get());
                if (FAILED(SafeArrayPutElement(array.get(), &i, element.get()))) throw std::bad_alloc();
            }
            V_VT(target) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(target) = array.release();
            return;
        }
    }
}

}  // namespace harrowtally::com
