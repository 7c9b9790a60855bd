#include "common/runtime_error.h"

namespace harrowtally {

const char* standard_error_text(int number) {
    switch (number) {
        case err::invalid_call:
            return "Invalid procedure call or argument";
        case err::overflow:
            return "Overflow";
        case err::out_of_memory:
            return "Out of memory";
        case err::subscript:
            return "Subscript out of range";
        case err::type_mismatch:
            return "Type mismatch";
        case err::dll_load:
            return "Error in loading DLL";
        case err::file_not_found:
            return "File not found";
        case err::device_unavailable:
            return "Device unavailable";
        case err::invalid_null:
            return "Invalid use of Null";
        case err::no_such_member:
            return "Object doesn't support this property or method";
        case err::dll_function_missing:
            return "Specified DLL function not found";
        default:
            return "Application-defined or object-defined error";
    }
}

RuntimeError::RuntimeError(int number) : std::runtime_error(standard_error_text(number)), number_(number) {}

}  // namespace harrowtally
