#pragma once
// How the core reads a number or a text out of a value a host gave it. On Windows the platform's
// own conversion does it, in the caller's locale, so that a value reads as it does in the host's
// script; elsewhere the portable conversions of common/conversions.h stand in for it.
#include <cstdint>
#include <string>

#include "common/conversions.h"
#include "common/variant.h"

namespace harrowtally {

class ValueConversions {
public:
    virtual ~ValueConversions() = default;
    // As the runtime's CDbl, CLng, CInt and CStr: null gives 94, what cannot convert 13, a value
    // that does not fit 6; an object stands for its default value.
    virtual double to_number(const Variant& v) const = 0;
    virtual std::int32_t to_long(const Variant& v) const = 0;
    virtual std::int16_t to_integer(const Variant& v) const = 0;
    virtual std::u16string to_text(const Variant& v) const = 0;
};

class PortableConversions final : public ValueConversions {
public:
    explicit PortableConversions(NumberFormat format = {}) : format_(format) {}
    double to_number(const Variant& v) const override;
    std::int32_t to_long(const Variant& v) const override;
    std::int16_t to_integer(const Variant& v) const override;
    std::u16string to_text(const Variant& v) const override;

private:
    NumberFormat format_;
};

// The portable conversions with the separators of en-US, shared by whoever is given no other.
const ValueConversions& portable_conversions();

// The conversions a core object uses: a host's own, or the portable ones when it gives none (a
// null pointer, or `{}` in an aggregate of services), so that no object is left without any.
class ConversionsRef {
public:
    ConversionsRef() = default;
    ConversionsRef(const ValueConversions* given) : given_(given) {}  // NOLINT(google-explicit-constructor)
    const ValueConversions& operator*() const { return given_ != nullptr ? *given_ : portable_conversions(); }
    const ValueConversions* operator->() const { return &**this; }

private:
    const ValueConversions* given_ = nullptr;
};

}  // namespace harrowtally
