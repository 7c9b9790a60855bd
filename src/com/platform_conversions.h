#pragma once
// The core's conversions of the host's values done by the platform itself (VariantChangeTypeEx),
// in the locale of the call: the one IDispatch::Invoke was given, or the user's for a call through
// the vtable. A value then reads as it reads in the caller's own script.
#include <oaidl.h>
#include <windows.h>

#include "com/com_variant.h"
#include "common/value_conversions.h"

namespace harrowtally::com {

class PlatformConversions final : public ValueConversions {
public:
    double to_number(const Variant& v) const override;
    std::int32_t to_long(const Variant& v) const override;
    std::int16_t to_integer(const Variant& v) const override;
    std::u16string to_text(const Variant& v) const override;

    LCID locale() const { return locale_; }

    // The locale of one call, and the previous one again when it ends: a call may come in while
    // another waits in the settling pause.
    class CallLocale {
    public:
        CallLocale(PlatformConversions& conversions, LCID locale);
        ~CallLocale();
        CallLocale(const CallLocale&) = delete;
        CallLocale& operator=(const CallLocale&) = delete;

    private:
        PlatformConversions& conversions_;
        LCID previous_;
        CallLocaleScope default_members_;  // objects' default values are read in the same locale
    };

private:
    // Converts into `target` (empty) or throws the runtime error of the failure.
    void convert(const Variant& v, VARTYPE type, USHORT flags, VARIANT* target) const;

    LCID locale_ = LOCALE_USER_DEFAULT;
};

}  // namespace harrowtally::com
