// Which barcodes a collection saved already, and the ledger that remembers them between runs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/collect/already_saved.h"
#include "host/ledger/ledger.h"

namespace harrowtally::host {
namespace {

KeptBarcode kept(int item, const char16_t* text) {
    return {item, text, 10, u"14:30:05   12/06/26"};
}

// A download of the barcodes given: nullptr marks an item that was not read.
Download download_of(const std::vector<const char16_t*>& texts) {
    Download d(static_cast<std::int16_t>(texts.size()));
    for (std::size_t k = 0; k < texts.size(); ++k) {
        if (texts[k] != nullptr) d[k + 1] = {texts[k], 10, 1.0, u"14:30:05   12/06/26", true};
    }
    return d;
}

struct SecondDownload {
    const char* name;
    std::vector<const char16_t*> scanner;
    AlreadySaved expected;
};

class AlreadySavedCase : public ::testing::TestWithParam<SecondDownload> {};

// What the first run saved and did not erase: A and B. What the scanner holds at the second run
// decides what is new.
TEST_P(AlreadySavedCase, OnlyWhatFollowsTheSavedBarcodesIsNew) {
    const SecondDownload& c = GetParam();
    const Download d = download_of(c.scanner);
    const AlreadySaved a = already_saved(d, static_cast<int>(c.scanner.size()), {kept(1, u"A"), kept(2, u"B")});
    EXPECT_EQ(a.items, c.expected.items);
    EXPECT_EQ(a.emptied_since, c.expected.emptied_since);
}

INSTANTIATE_TEST_SUITE_P(Ledger, AlreadySavedCase,
                         ::testing::Values(SecondDownload{"TheSameBarcodes", {u"A", u"B"}, {2, false}},
                                           SecondDownload{"TheSamePlusNewOnes", {u"A", u"B", u"C"}, {2, false}},
                                           SecondDownload{"Fewer", {u"A"}, {0, true}},
                                           SecondDownload{"DifferentOnes", {u"X", u"Y", u"Z"}, {0, true}},
                                           SecondDownload{"TheFirstChanged", {u"X", u"B", u"C"}, {0, true}},
                                           SecondDownload{"UnreadAmongTheSaved", {u"A", nullptr, nullptr}, {1, false}},
                                           SecondDownload{"Empty", {}, {0, true}}),
                         [](const auto& info) { return std::string(info.param.name); });

// The ledger keeps what a scanner holds unerased across runs and connections, and forgets it once
// the scanner is emptied, or found emptied. A run that ended before its file had its name counts
// as saved only when the file is found whole.
TEST(Ledger, RemembersTheUnerasedBarcodesUntilTheScannerIsEmptied) {
    std::string folder = (std::filesystem::temp_directory_path() / "harrowtally-ledger-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const auto save = [](Ledger& ledger, const char* started, const Ledger::Saved& saved, bool named) {
        const std::int64_t run = ledger.begin_run(started);
        ledger.record_saving(run, saved);
        if (named) ledger.record_saved(run);
        return run;
    };
    {
        Ledger ledger(folder);
        const std::int64_t first = save(ledger, "2026-12-08T20:00",
                                        {"S1", 3, 2, 0, false, "a.xlsx", {kept(1, u"A"), kept(2, u"B")}, {}}, true);
        ledger.record_erase_attempt(first);
        ledger.record_erase_result(first, "S1", false);
        save(ledger, "2026-12-09T20:00", {"S1", 3, 3, 2, false, "b.xlsx", {kept(3, u"C")}, {}}, false);
        save(ledger, "2026-12-09T20:01", {"S2", 4, 1, 0, false, "c.xlsx", {kept(1, u"Q")}, {}}, true);
        save(ledger, "2026-12-09T20:02", {"S2", 4, 2, 1, false, "d.xlsx", {kept(2, u"R")}, {}}, false);
    }
    Ledger again(folder);
    std::vector<std::string> looked_at;
    again.settle_interrupted([&](const Ledger::Saving& s) {
        looked_at.push_back(s.file);
        return s.file == "b.xlsx" && s.barcodes == std::vector{kept(3, u"C")};
    });
    EXPECT_EQ(looked_at, (std::vector<std::string>{"b.xlsx", "d.xlsx"}));
    EXPECT_EQ(again.saved_since_emptied("S1"), (std::vector{kept(1, u"A"), kept(2, u"B"), kept(3, u"C")}));
    EXPECT_EQ(again.saved_since_emptied("S2"), (std::vector{kept(1, u"Q")}));
    EXPECT_EQ(again.barcodes_since("2026-12-09").size(), 2u);
    const std::vector<LedgerRun> runs = again.recent_runs(10);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].file_state, "not saved");
    EXPECT_EQ(runs[3].erase, "not emptied");

    const std::int64_t emptied =
        save(again, "2026-12-10T20:00", {"S1", 3, 1, 0, true, "e.xlsx", {kept(1, u"D")}, {}}, true);
    EXPECT_EQ(again.saved_since_emptied("S1"), (std::vector{kept(1, u"D")}));
    again.record_erase_attempt(emptied);
    again.record_erase_result(emptied, "S1", true);
    EXPECT_TRUE(again.saved_since_emptied("S1").empty());
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace harrowtally::host
