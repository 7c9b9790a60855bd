#include "common/value_conversions.h"

namespace harrowtally {

double PortableConversions::to_number(const Variant& v) const {
    return static_cast<double>(harrowtally::to_number(v, format_));
}

std::int32_t PortableConversions::to_long(const Variant& v) const {
    return harrowtally::to_long(v, format_);
}

std::int16_t PortableConversions::to_integer(const Variant& v) const {
    return harrowtally::to_integer(v, format_);
}

std::u16string PortableConversions::to_text(const Variant& v) const {
    return harrowtally::to_text(v, format_);
}

const ValueConversions& portable_conversions() {
    static const PortableConversions shared;
    return shared;
}

}  // namespace harrowtally
