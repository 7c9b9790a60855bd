// Every call a member makes into the scanner library happens while the library's lock is held, and
// one connection (csp2Init to csp2Restore) is one hold of it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "clicker/clicker.h"
#include "common/scanner_lock.h"
#include "params/module1.h"
#include "support/runtime_error_helpers.h"
#include "support/scripted_csp2.h"

namespace harrowtally::testing {
namespace {

// Counts how deep the caller holds it and numbers each outermost hold.
class DepthLock : public ScannerLock {
public:
    int depth = 0;
    int holds = 0;
    void acquire() override {
        if (depth++ == 0) ++holds;
    }
    void release() override { --depth; }
};

struct SeenCall {
    std::string call;
    int depth;
    int hold;
};

// A scanner on port 3 with two barcodes, whose first erase fails, wired to the lock.
struct LockedRig {
    LockedRig() {
        lib.init_results[3] = 0;
        lib.read_data_default = 2;
        lib.packets = {ScriptedCSP2::packet(1, "A1"), ScriptedCSP2::packet(2, "B2")};
        lib.clear_results = {-1};
        lib.params[5] = {7};
        lib.on_call = [this](const std::string& call) { seen.push_back({call, lock.depth, lock.holds}); };
        clicker.let_startport(Variant::integer(3));
    }
    LockedRig(const LockedRig&) = delete;
    LockedRig& operator=(const LockedRig&) = delete;

    ScriptedCSP2 lib;
    DepthLock lock;
    FakeClock clock;
    CountingPause pause;
    ScannerServices services{ScannerLibrary(&lib, &lock), &clock, &pause, nullptr, {}};
    Clicker clicker{services};
    std::vector<SeenCall> seen;
};

class KeepAll : public DownloadKeeper {
public:
    bool keep(const Clicker&) override { return true; }
    bool still_kept() override { return true; }
    bool allow_erase(const ScannerBeforeErase&) override { return true; }
};

struct Member {
    const char* name;
    std::function<void(LockedRig&)> call;
};

const Member members[] = {
    {"open_clicker", [](LockedRig& r) { r.clicker.open_clicker(); }},
    {"alldata", [](LockedRig& r) { r.clicker.alldata(); }},
    {"open_clicker ending in a bad packet",
     [](LockedRig& r) {
         r.lib.packets[1] = {2, 1};
         r.clicker.open_clicker();
     }},
    {"close_clicker", [](LockedRig& r) { r.clicker.close_clicker(); }},
    {"EmptyScanner with a new clock",
     [](LockedRig& r) {
         r.clicker.pnewdatetime(u"051710061226");
         r.clicker.EmptyScanner();
     }},
    {"reset_params",
     [](LockedRig& r) {
         r.clicker.newparams(Variant::string(u"020501 0700"));
         r.clicker.reset_params();
     }},
    {"showparams",
     [](LockedRig& r) {
         r.clicker.cur_clicker_params(Variant::string(u"0205 7"));
         r.clicker.showparams();
     }},
    {"SwVersion", [](LockedRig& r) { r.clicker.SwVersion(); }},
    {"getdate", [](LockedRig& r) { r.clicker.getdate(); }},
    {"setdate", [](LockedRig& r) { r.clicker.setdate(); }},
    {"download_keep_and_empty",
     [](LockedRig& r) {
         KeepAll keeper;
         r.clicker.download_keep_and_empty(keeper);
     }},
    {"get_scanner_param", [](LockedRig& r) { Module1::get_scanner_param(r.services, Variant::integer(3), 5); }},
};

TEST(ScannerLock, EveryLibraryCallOfAMemberIsMadeUnderTheLockOneHoldPerConnection) {
    for (const Member& member : members) {
        SCOPED_TRACE(member.name);
        LockedRig rig;
        error_of([&] { member.call(rig); });
        ASSERT_FALSE(rig.seen.empty());
        std::string unlocked;
        for (const SeenCall& s : rig.seen) {
            if (s.depth <= 0) unlocked += s.call + " ";
        }
        EXPECT_EQ(unlocked, "");
        // From each csp2Init to the csp2Restore that follows it, or to the member's end.
        std::string split;
        for (std::size_t i = 0; i < rig.seen.size(); ++i) {
            if (rig.seen[i].call.rfind("csp2Init(", 0) != 0) continue;
            for (std::size_t j = i; j < rig.seen.size(); ++j) {
                if (rig.seen[j].hold != rig.seen[i].hold) split += rig.seen[j].call + " ";
                if (rig.seen[j].call == "csp2Restore()") break;
            }
        }
        EXPECT_EQ(split, "") << "calls of a connection made in another hold of the lock";
        EXPECT_EQ(rig.lock.depth, 0) << "the lock is given back at the member's end";
    }
}

}  // namespace
}  // namespace harrowtally::testing
