#pragma once
// Shared pieces of the parameter and device-information tests: a scripted library that can also
// fail a call with a runtime error and shows the whole buffers it was handed, and a bundle of the
// services a Clicker or a parameter procedure needs.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "common/runtime_error.h"
#include "params/parameter_texts.h"
#include "scanner/scanner_services.h"
#include "support/scripted_csp2.h"

namespace harrowtally {
inline void PrintTo(const ParameterEntry& e, std::ostream* os) {
    *os << "{" << e.number << ", " << e.value << "}";
}
}  // namespace harrowtally

namespace harrowtally::testing {

class InspectingCSP2 : public ScriptedCSP2 {
public:
    // The call (by name, e.g. "csp2GetParam") that fails with a runtime error, as a library whose
    // function cannot be found does.
    std::string fail_call;
    int fail_error = err::dll_function_missing;
    // Every byte of the areas handed over, as they were when the call began.
    std::vector<Bytes> get_param_areas, set_param_areas, version_areas;

    std::int32_t csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) override {
        get_param_areas.emplace_back(buffer, buffer + max_length);
        check("csp2GetParam");
        return ScriptedCSP2::csp2GetParam(param, buffer, max_length);
    }
    std::int32_t csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) override {
        set_param_areas.emplace_back(buffer, buffer + 10);
        check("csp2SetParam");
        return ScriptedCSP2::csp2SetParam(param, buffer, length);
    }
    std::int32_t csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) override {
        version_areas.emplace_back(buffer, buffer + max_length);
        check("csp2GetSwVersion");
        return ScriptedCSP2::csp2GetSwVersion(buffer, max_length);
    }
    std::int32_t csp2WakeUp() override {
        check("csp2WakeUp");
        return ScriptedCSP2::csp2WakeUp();
    }
    std::int32_t csp2SetDefaults() override {
        check("csp2SetDefaults");
        return ScriptedCSP2::csp2SetDefaults();
    }
    std::int32_t csp2GetRTCMode() override {
        check("csp2GetRTCMode");
        return ScriptedCSP2::csp2GetRTCMode();
    }

private:
    void check(const std::string& name) {
        if (name == fail_call) throw RuntimeError(fail_error);
    }
};

// Answers with a set count and remembers the folders it was asked about.
class FakeListing : public DirectoryListing {
public:
    std::int64_t count = 0;
    std::vector<std::u16string> folders;
    std::int64_t count_ordinary_files(std::u16string_view folder) override {
        folders.emplace_back(folder);
        return count;
    }
};

struct Rig {
    InspectingCSP2 library;
    FakeClock clock;
    CountingPause pause;
    FakeListing listing;

    // Pauses appear in the call record, so sequences show where they fall.
    Rig() {
        pause.during = [this] { library.calls.push_back("pause"); };
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
    ScannerServices services() { return ScannerServices{&library, &clock, &pause, &listing, {}}; }
};

// The error number a call fails with; 0 when it succeeds.
inline int error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// Everything of a Clicker's state that can be observed from outside.
struct ObservedState {
    Variant startport, serial, log;
    std::int16_t comport, num_barcodes;
    bool open_ok, empty_ok;
    std::u16string clock_text, newparams_text, cur_params_text, newdatetime_text;
    char16_t clock_flag;
    bool operator==(const ObservedState&) const = default;
};

inline ObservedState observe(const Clicker& c) {
    return {c.startport(),        c.serial(),    c.log(),        c.comport(),        c.num_barcodes(),
            c.open_ok(),          c.empty_ok(),  c.clock_text(), c.newparams_text(), c.cur_params_text(),
            c.newdatetime_text(), c.clock_flag()};
}

inline Bytes bytes_of(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

}  // namespace harrowtally::testing
