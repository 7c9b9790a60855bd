#pragma once
// The scanner library loaded from its file: opened at the first call of any function, each
// function resolved at its first call. A failed load or lookup fails that call (53, 48, 453) and
// is tried again at the next call. Loading and resolving are safe from several threads at once; the
// calls themselves are not (ScannerPort holds the lock for them).
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "scanner/csp2.h"
#include "scanner/csp2_abi.h"
#include "scanner/library_opener.h"

namespace harrowtally {

class LoadedCSP2 : public CSP2 {
public:
    explicit LoadedCSP2(std::unique_ptr<LibraryOpener> opener);
    ~LoadedCSP2() override;

    std::int32_t csp2Init(std::int32_t port) override;
    std::int32_t csp2Restore() override;
    std::int32_t csp2WakeUp() override;
    std::int32_t csp2Interrogate() override;
    std::int32_t csp2PowerDown() override;
    std::int32_t csp2ReadData() override;
    std::int32_t csp2GetPacket(std::uint8_t* buffer, std::int32_t index, std::int32_t max_length) override;
    std::int32_t csp2TimeStamp2Str(std::uint8_t* stamp, std::uint8_t* text, std::int32_t max_length) override;
    std::int32_t csp2GetDeviceId(std::uint8_t* id, std::int32_t max_length) override;
    std::int32_t csp2GetSystemStatus() override;
    std::int32_t csp2ClearData() override;
    std::int32_t csp2GetTime(std::uint8_t* clock) override;
    std::int32_t csp2SetTime(std::uint8_t* clock) override;
    std::int32_t csp2SetDefaults() override;
    std::int32_t csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) override;
    std::int32_t csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) override;
    std::int32_t csp2GetProtocol() override;
    std::int32_t csp2GetASCIIMode() override;
    std::int32_t csp2GetRTCMode() override;
    std::int32_t csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) override;

    // Outside the automation interface, for hosts that explain a failed call: the files the last
    // load tried (the last one is the library in use when the load succeeded), and the function the
    // library lacked at the last failed lookup (empty when none failed). Read while no other thread
    // calls the library.
    const std::vector<LoadAttempt>& load_attempts() const { return load_attempts_; }
    const std::string& missing_function() const { return missing_function_; }

private:
    void* resolve(csp2_abi::Function function);
    template <csp2_abi::Function F, typename... Args>
    std::int32_t call(Args... args) {
        return reinterpret_cast<typename csp2_abi::FunctionType<F>::type>(resolve(F))(args...);
    }

    std::unique_ptr<LibraryOpener> opener_;
    // Guards the load and every lookup; a function once resolved is read without it.
    std::mutex resolving_;
    std::unique_ptr<DynamicLibrary> library_;
    std::array<std::atomic<void*>, csp2_abi::function_count> functions_{};
    std::vector<LoadAttempt> load_attempts_;
    std::string missing_function_;
};

}  // namespace harrowtally
