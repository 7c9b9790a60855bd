// What the export record cannot keep, on a download through the scripted library (the simulated
// scanner trims its barcodes, so a trailing blank is staged here).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/download_formats.h"
#include "support/scripted_csp2.h"
#include "support/scripted_rig.h"

namespace harrowtally::host {
namespace {

using testing::ScriptedCSP2;

struct LossCase {
    const char* what;
    std::string barcode;
    std::string says;  // empty: the record keeps everything (field widths are checked end to end)
};

TEST(RecordLoss, NamesTheFirstFieldTheRecordCannotKeep) {
    const std::vector<LossCase> cases = {
        {"short barcode", "ABC", ""},
        {"short barcode ending in a blank", "ABC ", "barcode 2 (\"ABC \") ends in a blank"},
        {"barcode of blanks", "  ", "barcode 2 (\"  \") ends in a blank"},
        {"13 characters ending in a blank", "ABCDEFGHIJKL ", ""},
        {"13 characters", "ABCDEFGHIJKLM", ""},
    };
    for (const LossCase& c : cases) {
        testing::ScriptedRig<> rig;
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_default = 2;
        rig.lib.packets = {ScriptedCSP2::packet(10, "12345670"), ScriptedCSP2::packet(3, c.barcode)};
        Clicker clicker(rig.services);
        clicker.let_startport(Variant::integer(3));
        clicker.alldata();
        ASSERT_EQ(filled_count(clicker), 2) << c.what;
        const auto loss = record_loss(clicker);
        if (c.says.empty()) {
            EXPECT_FALSE(loss) << c.what << ": " << loss.value_or("");
        } else {
            ASSERT_TRUE(loss) << c.what;
            EXPECT_EQ(loss->rfind(c.says, 0), 0u) << c.what << ": " << *loss;
        }
    }
}

}  // namespace
}  // namespace harrowtally::host
