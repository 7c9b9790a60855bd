#pragma once
// The automation value a host hands the component and gets back: the kinds of the platform's
// VARIANT, held without any platform header. Type numbers match the platform's VARTYPE values so
// the platform layer maps them one to one.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace harrowtally {

class Variant;

enum class VarType : std::uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,  // 16-bit signed
    Long = 3,     // 32-bit signed
    Single = 4,
    Double = 5,
    Currency = 6,  // 64-bit integer scaled by 10000
    Date = 7,      // days since 30 December 1899, time of day as the fraction
    String = 8,    // UTF-16 text
    Object = 9,    // reference to an automation object (may be Nothing)
    Error = 10,    // an error code; a missing optional argument arrives as one
    Boolean = 11,  // 16-bit, -1 true
    Decimal = 14,
    SByte = 16,
    Byte = 17,
    UInteger = 18,  // 16-bit unsigned
    ULong = 19,     // 32-bit unsigned
    LongLong = 20,
    ULongLong = 21,
    Array = 0x2000,
};

// An automation object as the core sees it: only its default member matters to conversions.
class ObjectRef {
public:
    virtual ~ObjectRef() = default;
    // The value of the object's default member; throws RuntimeError(13) when it has none.
    virtual Variant default_value() const = 0;
};

// An array held in a variant; the core never converts one (error 13), it only stores and copies it.
class ArrayValue {
public:
    virtual ~ArrayValue() = default;
};

// 96-bit scaled decimal: value = (-1)^negative * (hi32 * 2^64 + lo64) / 10^scale.
struct DecimalValue {
    std::uint8_t scale = 0;  // 0 to 28
    bool negative = false;
    std::uint32_t hi32 = 0;
    std::uint64_t lo64 = 0;
    long double to_long_double() const;
};

class Variant {
public:
    Variant() = default;  // Empty

    static Variant null();
    static Variant integer(std::int16_t v);
    static Variant long_(std::int32_t v);
    static Variant long_long(std::int64_t v);
    static Variant sbyte(std::int8_t v);
    static Variant byte(std::uint8_t v);
    static Variant uinteger(std::uint16_t v);
    static Variant ulong(std::uint32_t v);
    static Variant ulong_long(std::uint64_t v);
    static Variant single(float v);
    static Variant double_(double v);
    static Variant currency_scaled(std::int64_t units_of_ten_thousandth);
    static Variant decimal(DecimalValue v);
    static Variant date(double days);
    static Variant boolean(bool v);
    static Variant string(std::u16string v);
    static Variant object(std::shared_ptr<ObjectRef> v);  // nullptr is Nothing
    static Variant error(std::int32_t scode);
    static Variant array(std::shared_ptr<const ArrayValue> v);

    VarType type() const { return type_; }
    bool is_empty() const { return type_ == VarType::Empty; }
    bool is_null() const { return type_ == VarType::Null; }

    // Raw accessors; each is meaningful only for its kinds.
    std::int64_t as_signed() const { return signed_; }       // SByte..LongLong, Currency (scaled), Error
    std::uint64_t as_unsigned() const { return unsigned_; }  // Byte, UInteger, ULong, ULongLong
    double as_real() const { return real_; }                 // Single, Double, Date
    bool as_bool() const { return signed_ != 0; }            // Boolean
    const DecimalValue& as_decimal() const { return decimal_; }
    const std::u16string& as_string() const { return text_; }
    const std::shared_ptr<ObjectRef>& as_object() const { return object_; }
    const std::shared_ptr<const ArrayValue>& as_array() const { return array_; }

    friend bool operator==(const Variant& a, const Variant& b);

private:
    VarType type_ = VarType::Empty;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    double real_ = 0.0;
    DecimalValue decimal_{};
    std::u16string text_;
    std::shared_ptr<ObjectRef> object_;
    std::shared_ptr<const ArrayValue> array_;
};

class VariantArray : public ArrayValue {
public:
    explicit VariantArray(std::vector<Variant> items);
    const std::vector<Variant>& items() const { return items_; }

private:
    std::vector<Variant> items_;
};

// VBScript's name of the variant's type: Empty, Null, Integer, Long, Double, Boolean, Date, String...
const char* type_name(VarType t);

}  // namespace harrowtally
