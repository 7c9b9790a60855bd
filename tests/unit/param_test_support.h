#pragma once
// Shared pieces of the parameter and device-information tests.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "common/runtime_error.h"
#include "common/services.h"
#include "params/parameter_texts.h"
#include "support/runtime_error_helpers.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally {
inline void PrintTo(const ParameterEntry& e, std::ostream* os) {
    *os << "{" << e.number << ", " << e.value << "}";
}
}  // namespace harrowtally

namespace harrowtally::testing {

// The scripted library, also showing each whole buffer area as it was handed over and failing one
// named call with a runtime error, as a library whose function cannot be found does.
class InspectingCSP2 : public ScriptedCSP2 {
public:
    std::string fail_call;
    std::vector<Bytes> areas;  // csp2GetParam, csp2SetParam (all 10 bytes), csp2GetSwVersion

    std::int32_t csp2GetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t max_length) override {
        check("csp2GetParam", buffer, max_length);
        return ScriptedCSP2::csp2GetParam(param, buffer, max_length);
    }
    std::int32_t csp2SetParam(std::int32_t param, std::uint8_t* buffer, std::int32_t length) override {
        check("csp2SetParam", buffer, 10);
        return ScriptedCSP2::csp2SetParam(param, buffer, length);
    }
    std::int32_t csp2GetSwVersion(std::uint8_t* buffer, std::int32_t max_length) override {
        check("csp2GetSwVersion", buffer, max_length);
        return ScriptedCSP2::csp2GetSwVersion(buffer, max_length);
    }
    std::int32_t csp2SetDefaults() override {
        check("csp2SetDefaults", nullptr, 0);
        return ScriptedCSP2::csp2SetDefaults();
    }

private:
    void check(const std::string& name, const std::uint8_t* area, std::int32_t size) {
        if (area) areas.emplace_back(area, area + size);
        if (name == fail_call) throw RuntimeError(err::dll_function_missing);
    }
};

class FakeListing : public DirectoryListing {
public:
    std::int64_t count = 0;
    std::vector<std::u16string> folders;
    std::int64_t count_ordinary_files(std::u16string_view folder) override {
        folders.emplace_back(folder);
        return count;
    }
};

// The services with every pause written into the call record, so sequences show where it falls.
struct Rig : ScriptedRig<InspectingCSP2> {
    FakeListing listing;
    Rig() {
        record_pauses();
        services.listing = &listing;
    }
};

inline Bytes bytes_of(const std::string& s) {
    return Bytes(s.begin(), s.end());
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

}  // namespace harrowtally::testing
