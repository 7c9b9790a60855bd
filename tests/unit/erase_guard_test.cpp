#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "support/runtime_error_helpers.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally {
namespace {

using Calls = std::vector<std::string>;
using testing::Bytes;

// Records what it was shown and answers as told; allowing, it allows only the count it saw first.
class RecordingGuard : public EraseGuard {
public:
    explicit RecordingGuard(bool allow) : allow_(allow) {}
    bool allow_erase(const ScannerBeforeErase& scanner) override {
        if (!seen_count) seen_count = scanner.count;
        return allow_ && scanner.count == *seen_count;
    }
    std::optional<std::int32_t> seen_count;

private:
    bool allow_;
};

bool refused(const Clicker& c) {
    return c.empty_outcome().result == EmptyOutcome::Result::refused;
}

struct GuardCase {
    const char* what;
    std::optional<bool> guard;  // nullopt: no guard
    std::int32_t read_data;     // the scanner's count
    Calls calls;
    bool empty_ok;
    bool refused;
    std::optional<std::int32_t> read_after_pause = std::nullopt;  // the count read again, when it changed
};

TEST(EraseGuard, RunsInTheErasingConnectionAndRefusesWithoutErasing) {
    const Calls opening = {"csp2Init(3)", "csp2ReadData()", "csp2GetSystemStatus()"};
    const Calls erase = {"pause", "csp2ClearData()", "csp2Restore()"};
    const auto with = [&](Calls middle, const Calls& tail) {
        Calls all = opening;
        all.insert(all.end(), middle.begin(), middle.end());
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };
    const Calls looked_at_again = {"pause", "csp2ReadData()", "csp2ClearData()", "csp2Restore()"};
    const std::vector<GuardCase> cases = {
        {"no guard: the interface's sequence", std::nullopt, 4, with({}, erase), true, false},
        {"guard allows: the count read again after the pause", true, 4, with({}, looked_at_again), true, false},
        {"a barcode scanned during the pause: released, nothing erased", true, 4,
         with({}, {"pause", "csp2ReadData()", "csp2Restore()"}), false, true, 5},
        {"guard refuses: released, nothing erased", false, 4, with({}, {"csp2Restore()"}), false, true},
        {"guard refuses an empty scanner too", false, 0, with({}, {"csp2Restore()"}), false, true},
    };
    for (const auto& c : cases) {
        testing::ScriptedRig<> rig;
        rig.record_pauses();
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_default = c.read_data;
        if (c.read_after_pause) rig.lib.read_data_results = {c.read_data, *c.read_after_pause};
        rig.lib.device_id = Bytes{0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0};
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        std::optional<RecordingGuard> guard;
        if (c.guard) {
            guard.emplace(*c.guard);
            clicker.set_erase_guard(&*guard);
        }
        clicker.EmptyScanner();
        EXPECT_EQ(rig.lib.calls, c.calls) << c.what;
        EXPECT_EQ(clicker.empty_ok(), c.empty_ok) << c.what;
        EXPECT_EQ(refused(clicker), c.refused) << c.what;
        EXPECT_TRUE(clicker.open_ok()) << c.what;
        EXPECT_FALSE(rig.lib.port_open) << c.what;
        if (guard) {
            EXPECT_EQ(guard->seen_count, c.read_data) << c.what;
        }
    }
}

TEST(EraseGuard, IsNotAskedWhenTheScannerDidNotAnswer) {
    testing::ScriptedRig<> rig;
    rig.lib.init_results[3] = 0;
    rig.lib.read_data_default = -1;
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::integer(3));
    RecordingGuard guard(false);
    clicker.set_erase_guard(&guard);
    clicker.EmptyScanner();
    EXPECT_FALSE(guard.seen_count.has_value());
    EXPECT_FALSE(refused(clicker));
    EXPECT_EQ(clicker.log().as_string().substr(0, 4), u"OPNG");
}

TEST(EraseGuard, ARefusalIsForgottenByTheNextEmpty) {
    testing::ScriptedRig<> rig;
    rig.lib.init_results[3] = 0;
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::integer(3));
    RecordingGuard refusing(false);
    clicker.set_erase_guard(&refusing);
    clicker.EmptyScanner();
    ASSERT_TRUE(refused(clicker));
    clicker.set_erase_guard(nullptr);
    clicker.EmptyScanner();
    EXPECT_FALSE(refused(clicker));
    EXPECT_TRUE(clicker.empty_ok());
}

// reset_params empties the scanner first; a refused erase leaves the scanner's parameters alone too.
TEST(EraseGuard, ARefusalStopsResetParamsBeforeTheDefaults) {
    for (const bool allow : {true, false}) {
        testing::ScriptedRig<> rig;
        rig.lib.init_results[3] = 0;
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        clicker.newparams(Variant::string(u"010501"));
        RecordingGuard guard(allow);
        clicker.set_erase_guard(&guard);
        clicker.reset_params();
        const bool defaults_sent =
            std::find(rig.lib.calls.begin(), rig.lib.calls.end(), "csp2SetDefaults()") != rig.lib.calls.end();
        EXPECT_EQ(defaults_sent, allow);
        EXPECT_EQ(rig.lib.written_params.size(), allow ? 1u : 0u);
        EXPECT_FALSE(rig.lib.port_open);
    }
}

// EmptyScannerIf: the saved count and serial number are compared with the scanner's, read in the
// erasing connection, before the clock is set, after the pause and after each failed try.
TEST(EraseGuard, EmptyScannerIfErasesOnlyTheSavedScanner) {
    const Calls opening = {"csp2Init(3)", "csp2ReadData()", "csp2GetSystemStatus()", "csp2GetDeviceId(9)"};
    const Calls after_pause = {"pause", "csp2ReadData()", "csp2GetDeviceId(9)"};
    const Calls failed_try = {"csp2ClearData()", "csp2ReadData()", "csp2GetSystemStatus()", "csp2GetDeviceId(9)"};
    const auto join = [](std::initializer_list<Calls> parts) {
        Calls all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    struct Case {
        const char* what;
        std::int32_t count;  // the host's saved count; the scanner holds 4
        std::u16string serial;
        std::deque<std::int32_t> reads;  // the scanner's counts after the first
        std::deque<std::int32_t> clears;
        int device_read_changed;  // the csp2GetDeviceId call from which another scanner answers; 0: none;
                                  // -1: the library gives no device ID
        Calls tail;
        std::u16string log;
    };
    const std::u16string same = u"1A2B3C4D5E6F7081";
    const Calls erase = {"csp2ClearData()", "csp2Restore()"}, release = {"csp2Restore()"};
    // clang-format off
    const std::vector<Case> cases = {
        {"the saved scanner", 4, same, {}, {}, 0, join({after_pause, erase}), u"CLOK:01:OPOK:03143005*0:0"},
        {"its serial in small letters, blanks after it", 4, u"1a2b3c4d5e6f7081  ", {}, {}, 0,
         join({after_pause, erase}), u"CLOK:01:OPOK:03143005*0:0"},
        {"another count saved", 3, same, {}, {}, 0, release, u"CHNG:01:OPOK:03143005*0"},
        {"another serial saved", 4, u"1A2B3C4D5E6F7082", {}, {}, 0, release, u"CHNG:01:OPOK:03143005*0"},
        {"blanks saved for the serial", 4, u"   ", {}, {}, 0, release, u"CHNG:01:OPOK:03143005*0"},
        {"no device ID to read, none saved", 4, u"", {}, {}, -1, release, u"CHNG:01:OPOK:03143005*0"},
        {"a barcode scanned during the pause", 4, same, {5}, {}, 0, join({after_pause, release}),
         u"CHNG:01:OPOK:03143005*0"},
        {"another scanner put in during the pause", 4, same, {}, {}, 2, join({after_pause, release}),
         u"CHNG:01:OPOK:03143005*0"},
        {"a failed try, nothing changed: the next try", 4, same, {4, 4}, {-8}, 0,
         join({after_pause, failed_try, erase}), u"CLOK:02:OPOK:03143005*0:-8:0*4:0"},
        {"a barcode scanned during a failed try", 4, same, {4, 5}, {-8}, 0, join({after_pause, failed_try, release}),
         u"CHNG:02:OPOK:03143005*0:-8:0*5"},
        {"another scanner put in during a failed try", 4, same, {4, 4}, {-8}, 3,
         join({after_pause, failed_try, release}), u"CHNG:02:OPOK:03143005*0:-8:0*4"},
    };
    // clang-format on
    for (const auto& c : cases) {
        testing::ScriptedRig<> rig;
        rig.record_pauses();
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_results = c.reads;
        rig.lib.read_data_results.push_front(4);
        rig.lib.read_data_default = 4;
        rig.lib.clear_results = c.clears;
        rig.lib.device_id = Bytes{0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0};
        if (c.device_read_changed < 0) rig.lib.device_id.reset();
        int device_reads = 0;
        rig.lib.on_call = [&](const std::string& call) {
            if (call == "csp2GetDeviceId(9)" && ++device_reads == c.device_read_changed) (*rig.lib.device_id)[7] = 0x99;
        };
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        const bool erased = c.log.starts_with(u"CLOK");
        EXPECT_EQ(clicker.EmptyScannerIf(Variant::long_(c.count), Variant::string(c.serial)), erased) << c.what;
        EXPECT_EQ(rig.lib.calls, join({opening, c.tail})) << c.what;
        EXPECT_EQ(clicker.log().as_string(), c.log) << c.what;
        EXPECT_EQ(clicker.empty_ok(), erased) << c.what;
        EXPECT_EQ(refused(clicker), !erased) << c.what;
        EXPECT_TRUE(clicker.open_ok()) << c.what;
        EXPECT_FALSE(rig.lib.port_open) << c.what;
    }
}

// The clock is set only after the first look allowed the erase; arguments that do not convert stop
// the member before the library is called.
TEST(EraseGuard, EmptyScannerIfSetsNoClockOnARefusalAndChecksItsArguments) {
    for (const std::int32_t count : {4, 3}) {
        testing::ScriptedRig<> rig;
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_default = 4;
        rig.lib.device_id = Bytes{0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0};
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        clicker.pnewdatetime(u"051710061226");
        clicker.EmptyScannerIf(Variant::long_(count), Variant::string(u"1A2B3C4D5E6F7081"));
        EXPECT_EQ(rig.lib.set_times.size(), count == 4 ? 1u : 0u) << count;
    }
    const Variant serial = Variant::string(u"1A2B3C4D5E6F7081");
    const struct {
        Variant count, serial;
        int error;
    } bad[] = {{Variant::null(), serial, 94},
               {Variant::string(u"four"), serial, 13},
               {Variant::double_(std::numeric_limits<double>::quiet_NaN()), serial, 6},
               {Variant::double_(1e10), serial, 6},
               {Variant::double_(3.5), serial, 5},
               {Variant::integer(4), Variant::null(), 94}};
    for (const auto& b : bad) {
        testing::ScriptedRig<> rig;
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        EXPECT_EQ(testing::error_of([&] { clicker.EmptyScannerIf(b.count, b.serial); }), b.error);
        EXPECT_TRUE(rig.lib.calls.empty());
    }
}

}  // namespace
}  // namespace harrowtally
