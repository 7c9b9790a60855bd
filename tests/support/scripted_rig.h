#pragma once
// The services a Clicker runs on in the unit tests: a scripted library, a fake clock and a counting
// pause, owned together so their addresses stay fixed while a Clicker holds them.
#include "common/services.h"
#include "support/scripted_csp2.h"

namespace harrowtally::testing {

template <class Library = ScriptedCSP2>
struct ScriptedRig {
    ScriptedRig() = default;
    ScriptedRig(const ScriptedRig&) = delete;
    ScriptedRig& operator=(const ScriptedRig&) = delete;

    // Writes every pause into the library's call record, so a sequence shows where the pauses fall
    // between the library calls.
    void record_pauses() {
        pause.during = [this] { lib.calls.push_back("pause"); };
    }

    Library lib;
    FakeClock clock;
    CountingPause pause;
    ScannerServices services{&lib, &clock, &pause, nullptr};
};

}  // namespace harrowtally::testing
