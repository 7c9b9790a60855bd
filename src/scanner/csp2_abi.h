#pragma once
// The exported functions of the scanner library file (csp2a.DLL, libcsp2a.so): C names, 32-bit
// signed results and arguments, __stdcall with undecorated names on 32-bit Windows.
#include <cstddef>
#include <cstdint>
#include <iterator>

#if defined(_WIN32) && defined(__i386__)
#define CSP2_CALL __attribute__((stdcall))
#else
#define CSP2_CALL
#endif

namespace harrowtally::csp2_abi {
using Init = std::int32_t(CSP2_CALL*)(std::int32_t);
using NoArgs = std::int32_t(CSP2_CALL*)();
using GetPacket = std::int32_t(CSP2_CALL*)(char*, std::int32_t, std::int32_t);
using TimeStamp2Str = std::int32_t(CSP2_CALL*)(unsigned char*, char*, std::int32_t);
using BufferLength = std::int32_t(CSP2_CALL*)(char*, std::int32_t);
using ClockBuffer = std::int32_t(CSP2_CALL*)(unsigned char*);
using ParamBuffer = std::int32_t(CSP2_CALL*)(std::int32_t, char*, std::int32_t);
}  // namespace harrowtally::csp2_abi

// Every function the library exports, once, with its type above: the loader's slots, the
// simulator's calls and every text of their names are made from this list.
#define HARROWTALLY_CSP2_FUNCTIONS(X)   \
    X(csp2Init, Init)                   \
    X(csp2Restore, NoArgs)              \
    X(csp2WakeUp, NoArgs)               \
    X(csp2Interrogate, NoArgs)          \
    X(csp2PowerDown, NoArgs)            \
    X(csp2ReadData, NoArgs)             \
    X(csp2GetPacket, GetPacket)         \
    X(csp2TimeStamp2Str, TimeStamp2Str) \
    X(csp2GetDeviceId, BufferLength)    \
    X(csp2GetSystemStatus, NoArgs)      \
    X(csp2ClearData, NoArgs)            \
    X(csp2GetTime, ClockBuffer)         \
    X(csp2SetTime, ClockBuffer)         \
    X(csp2SetDefaults, NoArgs)          \
    X(csp2GetParam, ParamBuffer)        \
    X(csp2SetParam, ParamBuffer)        \
    X(csp2GetProtocol, NoArgs)          \
    X(csp2GetASCIIMode, NoArgs)         \
    X(csp2GetRTCMode, NoArgs)           \
    X(csp2GetSwVersion, BufferLength)

namespace harrowtally::csp2_abi {

enum class Function : std::size_t {
#define HARROWTALLY_CSP2_ENUMERATOR(name, type) name,
    HARROWTALLY_CSP2_FUNCTIONS(HARROWTALLY_CSP2_ENUMERATOR)
#undef HARROWTALLY_CSP2_ENUMERATOR
};

inline constexpr const char* function_names[] = {
#define HARROWTALLY_CSP2_NAME(name, type) #name,
    HARROWTALLY_CSP2_FUNCTIONS(HARROWTALLY_CSP2_NAME)
#undef HARROWTALLY_CSP2_NAME
};
inline constexpr std::size_t function_count = std::size(function_names);

constexpr std::size_t index_of(Function f) {
    return static_cast<std::size_t>(f);
}
constexpr const char* name_of(Function f) {
    return function_names[index_of(f)];
}

// The pointer type of each function.
template <Function F>
struct FunctionType;
#define HARROWTALLY_CSP2_TYPE(name, pointer) \
    template <>                              \
    struct FunctionType<Function::name> {    \
        using type = pointer;                \
    };
HARROWTALLY_CSP2_FUNCTIONS(HARROWTALLY_CSP2_TYPE)
#undef HARROWTALLY_CSP2_TYPE

}  // namespace harrowtally::csp2_abi
