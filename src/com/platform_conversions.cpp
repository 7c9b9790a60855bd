#include "com/platform_conversions.h"

#include <cmath>
#include <new>
#include <utility>

#include "com/com_owners.h"
#include "com/com_variant.h"
#include "common/runtime_error.h"

namespace harrowtally::com {
namespace {

void throw_failure(HRESULT hr) {
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (hr == DISP_E_OVERFLOW) throw RuntimeError(err::overflow);
    throw RuntimeError(err::type_mismatch);
}

}  // namespace

PlatformConversions::CallLocale::CallLocale(PlatformConversions& conversions, LCID locale)
    : conversions_(conversions), previous_(std::exchange(conversions.locale_, locale)), default_members_(locale) {}

PlatformConversions::CallLocale::~CallLocale() {
    conversions_.locale_ = previous_;
}

void PlatformConversions::convert(const Variant& v, VARTYPE type, USHORT flags, VARIANT* target) const {
    // An object stands for its default value as the core reads it: the platform would follow a
    // default member that answers its own object without end.
    if (v.type() == VarType::Object) {
        if (!v.as_object()) throw RuntimeError(err::type_mismatch);
        convert(v.as_object()->default_value(), type, flags, target);
        return;
    }
    if (v.type() == VarType::Null) throw RuntimeError(err::invalid_null);
    // NaN and the infinities (JScript's parseInt("") is NaN) hold no whole number: an overflow, as
    // the core's own rounding has it, whatever the platform's conversion makes of them.
    const bool real = v.type() == VarType::Double || v.type() == VarType::Single;
    if ((type == VT_I4 || type == VT_I2) && real && !std::isfinite(v.as_real())) throw RuntimeError(err::overflow);
    VariantValue source;
    to_variant(v, source.get());
    const HRESULT hr = VariantChangeTypeEx(target, source.get(), locale_, flags, type);
    if (FAILED(hr)) throw_failure(hr);
}

double PlatformConversions::to_number(const Variant& v) const {
    VariantValue out;
    convert(v, VT_R8, 0, out.get());
    return V_R8(out.get());
}

std::int32_t PlatformConversions::to_long(const Variant& v) const {
    VariantValue out;
    convert(v, VT_I4, 0, out.get());
    return V_I4(out.get());
}

std::int16_t PlatformConversions::to_integer(const Variant& v) const {
    VariantValue out;
    convert(v, VT_I2, 0, out.get());
    return V_I2(out.get());
}

std::u16string PlatformConversions::to_text(const Variant& v) const {
    // Booleans in words of the locale, as the script's CStr writes them ("True", "Wahr"), not -1 and 0.
    VariantValue out;
    convert(v, VT_BSTR, VARIANT_LOCALBOOL, out.get());
    return from_bstr(V_BSTR(out.get()));
}

}  // namespace harrowtally::com
