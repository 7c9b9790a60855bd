#pragma once
// The exported functions of the scanner library file (csp2a.DLL, libcsp2a.so): C names, 32-bit
// signed results and arguments, __stdcall with undecorated names on 32-bit Windows.
#include <cstdint>

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
