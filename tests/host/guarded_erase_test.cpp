// The erase empty, params apply and download --empty-after share, in-process against the scripted
// library: what it refuses, what it reports, and that its hooks never outlive the call.
#include "host/session/guarded_erase.h"

#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally::host {
namespace {

using testing::ScriptedCSP2;

struct EraseCase {
    const char* what;
    bool discard;
    std::int32_t seen;       // the count the port search read
    std::int32_t at_erase;   // the count the erasing connection reads
    std::int32_t clear = 0;  // csp2ClearData's answer on every try
    EraseReport::Result result;
    bool erase_ran;
    bool emptied;
    std::int32_t discarded;
    std::string refusal;
};

TEST(GuardedErase, RefusesHeldOrChangedScannersAndCountsWhatWasDiscarded) {
    using Result = EraseReport::Result;
    const std::vector<EraseCase> cases = {
        {"empty scanner", false, 0, 0, 0, Result::done, true, true, 0, ""},
        {"held without discard: nothing tried", false, 3, 3, 0, Result::held, false, false, 0, ""},
        {"held with discard", true, 3, 3, 0, Result::done, true, true, 3, ""},
        {"scanned since the look", false, 0, 2, 0, Result::refused, true, false, 0,
         "the scanner now holds 2 barcodes, not the 0 seen before"},
        {"discard counts what the erasing connection found", true, 3, 5, 0, Result::done, true, true, 5, ""},
        {"every erase try fails", true, 1, 1, -1, Result::done, true, false, 1, ""},
    };
    for (const auto& c : cases) {
        testing::ScriptedRig<> rig;
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_results = std::deque<std::int32_t>{c.seen, c.at_erase};
        rig.lib.read_data_default = c.at_erase;  // read again only after a failed erase try
        rig.lib.clear_default = c.clear;
        for (int k = 0; k < c.seen; ++k) rig.lib.packets.push_back(ScriptedCSP2::packet(10, "1234", {0}));
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        clicker.open_clicker();
        ASSERT_TRUE(clicker.open_ok()) << c.what;
        bool ran = false;
        const EraseReport report = guarded_erase(clicker, c.discard, [&] {
            ran = true;
            clicker.EmptyScanner();
        });
        EXPECT_EQ(report.result, c.result) << c.what;
        EXPECT_EQ(ran, c.erase_ran) << c.what;
        EXPECT_EQ(report.port, 3) << c.what;
        EXPECT_EQ(report.held, c.seen) << c.what;
        EXPECT_EQ(report.refusal, c.refusal) << c.what;
        EXPECT_EQ(report.emptied, c.emptied) << c.what;
        EXPECT_EQ(report.discarded, c.discarded) << c.what;
    }
}

// Counts what it is told; stands for a progress line the command has destroyed by then.
class CountingObserver : public DownloadObserver {
public:
    void on_barcode(int, int) override { ++told; }
    int told = 0;
};

class RefusingGuard : public EraseGuard {
public:
    bool allow_erase(const ScannerBeforeErase&) override {
        ++asked;
        return false;
    }
    int asked = 0;
};

// A member that throws inside the scope must not leave the hooks behind: the next download and
// erase on the same Clicker run as the interface describes.
TEST(GuardedErase, HooksAreTakenBackWhenTheCallThrows) {
    testing::ScriptedRig<> rig;
    rig.lib.init_results[3] = 0;
    rig.lib.read_data_default = 2;
    rig.lib.packets = {ScriptedCSP2::packet(10, "1234", {0}), ScriptedCSP2::packet(10, "5678", {0})};
    Clicker clicker(rig.services);
    clicker.let_startport(Variant::integer(3));
    CountingObserver observer;
    RefusingGuard guard;
    try {
        const ClickerHooks hooks(clicker, &guard, &observer);
        clicker.open_clicker();
        throw std::runtime_error("a member failed");
    } catch (const std::runtime_error&) {
    }
    ASSERT_EQ(observer.told, 2);
    clicker.open_clicker();
    clicker.EmptyScanner();
    EXPECT_EQ(observer.told, 2);
    EXPECT_EQ(guard.asked, 0);
    EXPECT_NE(clicker.empty_outcome().result, EmptyOutcome::Result::refused);
}

}  // namespace
}  // namespace harrowtally::host
