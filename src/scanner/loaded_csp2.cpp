#include "scanner/loaded_csp2.h"

#include "common/runtime_error.h"
#include "scanner/csp2_abi.h"

namespace harrowtally {
namespace {

using csp2_abi::Function;

char* chars(std::uint8_t* p) {
    return reinterpret_cast<char*>(p);
}
}  // namespace

LoadedCSP2::LoadedCSP2(std::unique_ptr<LibraryOpener> opener) : opener_(std::move(opener)) {}
LoadedCSP2::~LoadedCSP2() = default;

void* LoadedCSP2::resolve(csp2_abi::Function function) {
    const std::size_t slot = csp2_abi::index_of(function);
    const char* const name = csp2_abi::name_of(function);
    if (void* known = functions_[slot].load(std::memory_order_acquire)) return known;
    const std::lock_guard<std::mutex> resolving(resolving_);
    if (void* known = functions_[slot].load(std::memory_order_relaxed)) return known;
    if (!library_) {
        std::unique_ptr<DynamicLibrary> opened;
        try {
            opened = opener_->open();
        } catch (const RuntimeError&) {
            load_attempts_ = opener_->attempts();
            throw;
        }
        load_attempts_ = opener_->attempts();
        library_ = std::move(opened);
    }
    void* fn = library_->find(name);
    if (fn == nullptr) {
        missing_function_ = name;
        throw RuntimeError(err::dll_function_missing);
    }
    functions_[slot].store(fn, std::memory_order_release);
    return fn;
}

#define HT_NO_ARGS(Name)               \
    std::int32_t LoadedCSP2::Name() {  \
        return call<Function::Name>(); \
    }

HT_NO_ARGS(csp2Restore)
HT_NO_ARGS(csp2WakeUp)
HT_NO_ARGS(csp2Interrogate)
HT_NO_ARGS(csp2PowerDown)
HT_NO_ARGS(csp2ReadData)
HT_NO_ARGS(csp2GetSystemStatus)
HT_NO_ARGS(csp2ClearData)
HT_NO_ARGS(csp2SetDefaults)
HT_NO_ARGS(csp2GetProtocol)
HT_NO_ARGS(csp2GetASCIIMode)
HT_NO_ARGS(csp2GetRTCMode)
#undef HT_NO_ARGS

std::int32_t LoadedCSP2::csp2Init(std::int32_t port) {
    return call<Function::csp2Init>(port);
}

std::int32_t LoadedCSP2::csp2GetPacket(std::uint8_t* buffer, std::int32_t index, std::int32_t max_length) {
    return call<Function::csp2GetPacket>(chars(buffer), index, max_length);
}

std::int32_t LoadedCSP2::csp2TimeStamp2Str(std::uint8_t* stamp, std::uint8_t* text, std::int32_t max_length) {
    return call<Function::csp2TimeStamp2Str>(stamp, chars(text), max_length);
}

std::int32_t LoadedCSP2::csp2GetDeviceId(std::uint8_t* id, std::int32_t max_length) {
    return call<Function::csp2GetDeviceId>(chars(id), max_length);
}

std::int32_t LoadedCSP2::csp2GetTime(std::uint8_t* clock) {
    return call<Function::csp2GetTime>(clock);
}

std::int32_t LoadedCSP2::csp2SetTime(std::uint8_t* clock) {
    return call<Function::csp2SetTime>(clock);
}

std::int32_t LoadedCSP2::csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) {
    return call<Function::csp2GetParam>(param, chars(buffer), max_length);
}

std::int32_t LoadedCSP2::csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) {
    return call<Function::csp2SetParam>(param, chars(buffer), length);
}

std::int32_t LoadedCSP2::csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) {
    return call<Function::csp2GetSwVersion>(chars(buffer), max_length);
}

}  // namespace harrowtally
