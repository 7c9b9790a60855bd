// What the export record cannot keep, on a real download through the scripted library: the check
// that stops `download --empty-after` from emptying a scanner into a record that lost something.
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
    std::uint8_t type;
    std::string barcode;
    std::string says;  // empty: the record keeps everything
};

TEST(RecordLoss, NamesTheFirstFieldTheRecordCannotKeep) {
    const std::vector<LossCase> cases = {
        {"short barcode", 3, "ABC", ""},
        {"short barcode ending in a blank", 3, "ABC ", "barcode 2 (\"ABC \") ends in a blank"},
        {"barcode of blanks", 3, "  ", "barcode 2 (\"  \") ends in a blank"},
        {"leading blank", 3, " ABC", ""},
        {"13 characters ending in a blank", 3, "ABCDEFGHIJKL ", ""},
        {"13 characters", 3, "ABCDEFGHIJKLM", ""},
        {"14 characters", 3, "ABCDEFGHIJKLMN", "barcode 2 has 14 characters and the field holds 13"},
        {"type over 99", 100, "ABC", "barcode 2 has type 100"},
    };
    for (const LossCase& c : cases) {
        testing::ScriptedRig<> rig;
        rig.lib.init_results[3] = 0;
        rig.lib.read_data_default = 2;
        rig.lib.device_id = testing::Bytes{0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70, 0x81, 0x00};
        rig.lib.clock_value = std::array<std::uint8_t, 6>{5, 17, 10, 6, 12, 26};
        rig.lib.packets = {ScriptedCSP2::packet(10, "12345670"), ScriptedCSP2::packet(c.type, c.barcode)};
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
