#include "common/variant.h"

#include <cmath>

namespace harrowtally {

VariantArray::VariantArray(std::vector<Variant> items) : items_(std::move(items)) {}

long double DecimalValue::to_long_double() const {
    long double v = static_cast<long double>(hi32) * 18446744073709551616.0L + static_cast<long double>(lo64);
    v /= std::pow(10.0L, static_cast<long double>(scale));
    return negative ? -v : v;
}

#define HT_SIGNED_FACTORY(name, Kind, Arg)        \
    Variant Variant::name(Arg v) {                \
        Variant r;                                \
        r.type_ = VarType::Kind;                  \
        r.signed_ = static_cast<std::int64_t>(v); \
        return r;                                 \
    }
#define HT_UNSIGNED_FACTORY(name, Kind, Arg)         \
    Variant Variant::name(Arg v) {                   \
        Variant r;                                   \
        r.type_ = VarType::Kind;                     \
        r.unsigned_ = static_cast<std::uint64_t>(v); \
        return r;                                    \
    }

HT_SIGNED_FACTORY(integer, Integer, std::int16_t)
HT_SIGNED_FACTORY(long_, Long, std::int32_t)
HT_SIGNED_FACTORY(long_long, LongLong, std::int64_t)
HT_SIGNED_FACTORY(sbyte, SByte, std::int8_t)
HT_SIGNED_FACTORY(currency_scaled, Currency, std::int64_t)
HT_SIGNED_FACTORY(error, Error, std::int32_t)
HT_UNSIGNED_FACTORY(byte, Byte, std::uint8_t)
HT_UNSIGNED_FACTORY(uinteger, UInteger, std::uint16_t)
HT_UNSIGNED_FACTORY(ulong, ULong, std::uint32_t)
HT_UNSIGNED_FACTORY(ulong_long, ULongLong, std::uint64_t)
#undef HT_SIGNED_FACTORY
#undef HT_UNSIGNED_FACTORY

Variant Variant::null() {
    Variant r;
    r.type_ = VarType::Null;
    return r;
}

Variant Variant::single(float v) {
    Variant r;
    r.type_ = VarType::Single;
    r.real_ = v;
    return r;
}

Variant Variant::double_(double v) {
    Variant r;
    r.type_ = VarType::Double;
    r.real_ = v;
    return r;
}

Variant Variant::date(double days) {
    Variant r;
    r.type_ = VarType::Date;
    r.real_ = days;
    return r;
}

Variant Variant::decimal(DecimalValue v) {
    Variant r;
    r.type_ = VarType::Decimal;
    r.decimal_ = v;
    return r;
}

Variant Variant::boolean(bool v) {
    Variant r;
    r.type_ = VarType::Boolean;
    r.signed_ = v ? -1 : 0;
    return r;
}

Variant Variant::string(std::u16string v) {
    Variant r;
    r.type_ = VarType::String;
    r.text_ = std::move(v);
    return r;
}

Variant Variant::object(std::shared_ptr<ObjectRef> v) {
    Variant r;
    r.type_ = VarType::Object;
    r.object_ = std::move(v);
    return r;
}

Variant Variant::array(std::shared_ptr<const ArrayValue> v) {
    Variant r;
    r.type_ = VarType::Array;
    r.array_ = std::move(v);
    return r;
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.type_ != b.type_) return false;
    switch (a.type_) {
        case VarType::Empty:
        case VarType::Null:
            return true;
        case VarType::Single:
        case VarType::Double:
        case VarType::Date:
            return a.real_ == b.real_;
        case VarType::String:
            return a.text_ == b.text_;
        case VarType::Object:
            return a.object_ == b.object_;
        case VarType::Array:
            return a.array_ == b.array_;
        case VarType::Decimal:
            return a.decimal_.scale == b.decimal_.scale && a.decimal_.negative == b.decimal_.negative &&
                   a.decimal_.hi32 == b.decimal_.hi32 && a.decimal_.lo64 == b.decimal_.lo64;
        case VarType::Byte:
        case VarType::UInteger:
        case VarType::ULong:
        case VarType::ULongLong:
            return a.unsigned_ == b.unsigned_;
        default:
            return a.signed_ == b.signed_;
    }
}

const char* type_name(VarType t) {
    switch (t) {
        case VarType::Empty:
            return "Empty";
        case VarType::Null:
            return "Null";
        case VarType::Integer:
            return "Integer";
        case VarType::Long:
            return "Long";
        case VarType::Single:
            return "Single";
        case VarType::Double:
            return "Double";
        case VarType::Currency:
            return "Currency";
        case VarType::Date:
            return "Date";
        case VarType::String:
            return "String";
        case VarType::Object:
            return "Object";
        case VarType::Error:
            return "Error";
        case VarType::Boolean:
            return "Boolean";
        case VarType::Decimal:
            return "Decimal";
        case VarType::SByte:
            return "SByte";
        case VarType::Byte:
            return "Byte";
        case VarType::UInteger:
            return "UInteger";
        case VarType::ULong:
            return "ULong";
        case VarType::LongLong:
            return "LongLong";
        case VarType::ULongLong:
            return "ULongLong";
        case VarType::Array:
            return "Variant()";
    }
    return "Unknown";
}

}  // namespace harrowtally
