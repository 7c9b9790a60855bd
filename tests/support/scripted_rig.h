#pragma once
// The services a Clicker runs on in the unit tests: a scripted library, a fake clock, a counting
// pause and a listing of the data folder, owned together so their addresses stay fixed while a
// Clicker holds them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/directory_listing.h"
#include "common/services.h"
#include "support/scripted_csp2.h"

namespace harrowtally::testing {

// A data folder holding `count` ordinary files; it notes each folder it is asked about.
class FakeListing : public DirectoryListing {
public:
    std::int64_t count = 0;
    std::vector<std::u16string> folders;
    std::int64_t count_ordinary_files(std::u16string_view folder) override {
        folders.emplace_back(folder);
        return count;
    }
};

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
    FakeListing listing;
    ScannerServices services{&lib, &clock, &pause, &listing};
};

}  // namespace harrowtally::testing
