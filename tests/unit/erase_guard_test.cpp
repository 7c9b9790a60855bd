#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "clicker/clicker.h"
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

}  // namespace
}  // namespace harrowtally
