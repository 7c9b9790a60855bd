#pragma once
// The one exception type of the core: a runtime error with its number and standard text.
#include <stdexcept>
#include <string>

namespace harrowtally {

// Runtime error numbers that members can raise.
namespace err {
inline constexpr int invalid_call = 5;
inline constexpr int overflow = 6;
inline constexpr int out_of_memory = 7;
inline constexpr int subscript = 9;
inline constexpr int type_mismatch = 13;
inline constexpr int dll_load = 48;
inline constexpr int file_not_found = 53;
inline constexpr int device_unavailable = 68;
inline constexpr int invalid_null = 94;
inline constexpr int no_such_member = 438;
inline constexpr int dll_function_missing = 453;
}  // namespace err

// The standard text of a runtime error number ("Application-defined or object-defined error" for
// numbers the component never raises).
const char* standard_error_text(int number);

class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(int number);
    int number() const noexcept { return number_; }

private:
    int number_;
};

}  // namespace harrowtally
