// download_keep_and_empty: one connection, and the erase only after the keeper kept the download.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally {
namespace {

using Calls = std::vector<std::string>;
using testing::ScriptedCSP2;

// Answers as told, after looking at what it was given and at the port. As erase guard it allows
// a scanner holding what it kept, with the device ID it had.
class Keeper : public DownloadKeeper {
public:
    Keeper(std::function<bool()> answer, const ScriptedCSP2& lib, bool still = true)
        : answer_(std::move(answer)), lib_(lib), still_(still) {}
    bool allow_erase(const ScannerBeforeErase& scanner) override {
        seen.push_back(scanner);
        return scanner.count == kept_count && scanner.serial.value_or(serial_) == serial_;
    }
    std::vector<ScannerBeforeErase> seen;
    bool keep(const Clicker& clicker) override {
        kept_count = clicker.num_barcodes();
        serial_ = clicker.serial().as_string();
        port_open = lib_.port_open;
        calls_before = lib_.calls.size();
        return answer_();
    }
    bool still_kept() override {
        calls_at_last_look = lib_.calls.size();
        return still_;
    }
    std::size_t calls_at_last_look = 0;
    int kept_count = -1;
    bool port_open = false;
    std::size_t calls_before = 0;

private:
    std::function<bool()> answer_;
    const ScriptedCSP2& lib_;
    bool still_;
    std::u16string serial_;
};

TEST(DownloadKeep, ErasesInTheSameConnectionOnlyWhatWasKept) {
    const Calls download = {"csp2Init(3)",          "csp2ReadData()",       "csp2GetSystemStatus()",
                            "csp2GetDeviceId(9)",   "csp2GetPacket(0,500)", "csp2TimeStamp2Str(30)",
                            "csp2GetPacket(1,500)", "csp2TimeStamp2Str(30)"};
    const Calls look = {"pause", "csp2ReadData()", "csp2GetDeviceId(9)"};
    const Calls clock = {"csp2WakeUp()", "csp2GetTime()", "csp2PowerDown()", "csp2Restore()"};
    const auto then = [](Calls first, const Calls& more) {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    };
    // The device ID is looked at again after a failed try too: another scanner may be in the cradle.
    const Calls failed_try = {"csp2ClearData()", "csp2ReadData()", "csp2GetSystemStatus()", "csp2GetDeviceId(9)"};
    struct Case {
        const char* what;
        std::function<bool()> answer;
        Calls after_download;
        bool erased;
        bool throws;
        bool still_kept = true;
        std::deque<std::int32_t> read_after_download = {};  // the counts read after the download
        std::deque<std::int32_t> clears = {};
        std::uint8_t device_id_at_erase = 0x1A;
        int device_id_read_changed = 2;  // the csp2GetDeviceId call from which it gives device_id_at_erase
    };
    const std::vector<Case> cases = {
        {"kept: one pause, the scanner looked at again, the erase, the clock", [] { return true; },
         then(then(look, {"csp2ClearData()"}), clock), true, false},
        {"not kept: released at once", [] { return false; }, {"csp2Restore()"}, false, false},
        {"the keeper fails: released, the failure passes on",
         []() -> bool { throw std::runtime_error("disk"); },
         {"csp2Restore()"},
         false,
         true},
        {"changed during the pause: released after it",
         [] { return true; },
         {"pause", "csp2Restore()"},
         false,
         false,
         false},
        {"a barcode scanned since the download: nothing erased",
         [] { return true; },
         then(look, {"csp2Restore()"}),
         false,
         false,
         true,
         {3}},
        {"another scanner on the port: nothing erased",
         [] { return true; },
         then(look, {"csp2Restore()"}),
         false,
         false,
         true,
         {2},
         {},
         0x77},
        {"a barcode scanned during a failed try: no further try, the clock still read",
         [] { return true; },
         then(then(look, failed_try), clock),
         false,
         false,
         true,
         {2, 3},
         {-8}},
        {"a failed try, the count unchanged: the next try erases",
         [] { return true; },
         then(then(then(look, failed_try), {"csp2ClearData()"}), clock),
         true,
         false,
         true,
         {2, 2},
         {-8}},
        {"another scanner with as many barcodes put in during a failed try: no further try",
         [] { return true; },
         then(then(look, failed_try), clock),
         false,
         false,
         true,
         {2, 2},
         {-8},
         0x77,
         3},
    };
    for (const Case& c : cases) {
        testing::ScriptedRig<> rig;
        rig.record_pauses();
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_results = c.read_after_download;
        rig.lib.read_data_results.push_front(2);
        rig.lib.read_data_default = 2;
        rig.lib.clear_results = c.clears;
        rig.lib.device_id = testing::Bytes{0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0};
        rig.lib.packets = {ScriptedCSP2::packet(10, "12345670"), ScriptedCSP2::packet(3, "ABC-42")};
        rig.lib.clock_value = std::array<std::uint8_t, 6>{5, 30, 14, 6, 12, 26};
        int device_id_reads = 0;
        rig.lib.on_call = [&](const std::string& call) {
            if (call == "csp2GetDeviceId(9)" && ++device_id_reads == c.device_id_read_changed) {
                (*rig.lib.device_id)[0] = c.device_id_at_erase;
            }
        };
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        Keeper keeper(c.answer, rig.lib, c.still_kept);
        if (c.throws) {
            EXPECT_THROW(clicker.download_keep_and_empty(keeper), std::runtime_error) << c.what;
        } else {
            clicker.download_keep_and_empty(keeper);
        }
        Calls expected = download;
        expected.insert(expected.end(), c.after_download.begin(), c.after_download.end());
        EXPECT_EQ(rig.lib.calls, expected) << c.what;
        EXPECT_EQ(keeper.calls_before, download.size()) << c.what;
        EXPECT_TRUE(keeper.port_open) << c.what;
        EXPECT_EQ(keeper.kept_count, 2) << c.what;
        // The last look comes after the pause, right before the first erase.
        if (c.erased) {
            EXPECT_EQ(keeper.calls_at_last_look, download.size() + 1) << c.what;
        }
        EXPECT_FALSE(rig.lib.port_open) << c.what;
        EXPECT_EQ(clicker.empty_ok(), c.erased) << c.what;
        if (c.throws) continue;
        EXPECT_EQ(clicker.empty_outcome().result,
                  c.erased ? EmptyOutcome::Result::erased : EmptyOutcome::Result::refused)
            << c.what;
        const bool clock_read = std::find(expected.begin(), expected.end(), "csp2GetTime()") != expected.end();
        EXPECT_EQ(clicker.clock_text(), clock_read ? u"053014061226" : std::u16string(12, u'\0')) << c.what;
    }
}

TEST(DownloadKeep, NoScannerNoKeeper) {
    testing::ScriptedRig<> rig;
    Clicker clicker(rig.services);
    Keeper keeper([] { return true; }, rig.lib);
    clicker.download_keep_and_empty(keeper);
    EXPECT_EQ(keeper.kept_count, -1);
    EXPECT_FALSE(clicker.open_ok());
    EXPECT_EQ(rig.lib.calls.size(), 16u);  // the 16 ports of the search, nothing else
}

}  // namespace
}  // namespace harrowtally
