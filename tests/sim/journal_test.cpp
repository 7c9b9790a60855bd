// The call journal: one line per call with its arguments and result, following the variable.
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

std::vector<std::string> lines_of(const fs::path& path) {
    std::istringstream in(read_file(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class SimJournal : public SimTest {
protected:
    void TearDown() override {
        unsetenv("HARROWTALLY_SIM_JOURNAL");
        SimTest::TearDown();
    }
    void journal_to(const fs::path& path) { setenv("HARROWTALLY_SIM_JOURNAL", path.c_str(), 1); }
};

TEST_F(SimJournal, RecordsEveryCallWithItsArgumentsAndResult) {
    use_state(example_device() + "fault_calls = csp2GetProtocol\n");
    const fs::path journal = folder / "calls.txt";
    std::ofstream(journal) << "earlier line\n";
    journal_to(journal);
    SimLibrary& lib = load();

    char buffer[10] = {1, 0, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    unsigned char clock[6] = {9, 5, 14, 23, 3, 7};
    const std::uint8_t stamp[4] = {0x03, 0x82, 0x08, 0x69};
    lib.init(4);
    lib.init(5);
    lib.set_param(7, buffer, 2);
    lib.set_time(clock);
    lib.protocol();
    lib.get_param(7, nullptr, 10);
    lib.stamp_text(stamp);
    lib.restore();

    EXPECT_EQ(lines_of(journal), (std::vector<std::string>{
                                     "earlier line",
                                     "csp2Init(4)=-1",
                                     "csp2Init(5)=0",
                                     "csp2SetParam(7,0100,2)=0",
                                     "csp2SetTime(09050E170307)=0",
                                     "csp2GetProtocol()=-8",
                                     "csp2GetParam(7,null,10)=-6",
                                     "csp2TimeStamp2Str(03820869,buf,30)=0",
                                     "csp2Restore()=0",
                                 }));
}

TEST_F(SimJournal, FollowsTheVariableFromCallToCall) {
    use_state(example_device());
    SimLibrary& lib = load();
    const fs::path first = folder / "first.txt", second = folder / "second.txt";
    journal_to(first);
    lib.init(5);
    journal_to(second);
    lib.read_data();
    unsetenv("HARROWTALLY_SIM_JOURNAL");
    lib.restore();
    journal_to(first);
    lib.init(5);

    EXPECT_EQ(lines_of(first), (std::vector<std::string>{"csp2Init(5)=0", "csp2Init(5)=0"}));
    EXPECT_EQ(lines_of(second), (std::vector<std::string>{"csp2ReadData()=6"}));
}

}  // namespace
}  // namespace harrowtally::sim_test
