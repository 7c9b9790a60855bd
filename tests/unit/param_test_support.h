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

// The rig with every pause written into the call record, so sequences show where it falls, and
// the buffer areas kept.
struct Rig : ScriptedRig<> {
    Rig() {
        record_pauses();
        lib.keep_areas = true;
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
