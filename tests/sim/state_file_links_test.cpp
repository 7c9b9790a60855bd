// A state path that is a symbolic link: the device is written into the file the links lead to, and
// every link stays as it was.
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

using SimStateLinks = SimTest;

struct Link {
    std::string at;      // the link, relative to the test's folder
    std::string points;  // its text; a leading "@/" stands for the test's folder
};

std::string link_text(const fs::path& folder, const std::string& points) {
    return points.starts_with("@/") ? (folder / points.substr(2)).string() : points;
}

// Files left in `dir` named as the state file's temporary files are.
int leftovers(const fs::path& dir) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        n += entry.path().filename().string().find(".tmp-") != std::string::npos ? 1 : 0;
    }
    return n;
}

struct LinkCase {
    const char* name;
    std::vector<Link> links;  // made in this order; the first is the state path
    std::string target;       // the regular file at the end, relative to the test's folder
    bool target_exists;       // false: the links dangle and the simulator starts the file
};

void PrintTo(const LinkCase& c, std::ostream* out) {
    *out << c.name;
}

class SimStateLinkChain : public SimTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(SimStateLinkChain, ChangesGoIntoTheLinkedFileAndTheLinksStay) {
    const LinkCase& c = GetParam();
    for (const char* dir : {"data", "links", "more"}) fs::create_directories(folder / dir);
    const fs::path target = folder / c.target;
    if (c.target_exists) std::ofstream(target, std::ios::binary) << example_device();
    for (const Link& l : c.links) fs::create_symlink(link_text(folder, l.points), folder / l.at);
    const fs::path state_path = folder / c.links.front().at;
    setenv("HARROWTALLY_SIM_STATE", state_path.c_str(), 1);
    const int port = c.target_exists ? 5 : 3;  // the example device, or the demo device started anew

    SimLibrary& writer = load();
    ASSERT_EQ(writer.init(port), result::ok);
    ASSERT_GT(writer.read_data(), 0);
    ASSERT_EQ(writer.clear_data(), result::ok);
    writer.restore();

    for (const Link& l : c.links) {
        const fs::path link = folder / l.at;
        ASSERT_TRUE(fs::is_symlink(link)) << l.at;
        EXPECT_EQ(fs::read_symlink(link).string(), link_text(folder, l.points)) << l.at;
    }
    ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
    const std::string saved = read_file(target);
    EXPECT_NE(saved.find("port = " + std::to_string(port)), std::string::npos) << saved;
    EXPECT_EQ(saved.find("barcode ="), std::string::npos) << "the erase is in the target";
    for (const char* dir : {".", "data", "links", "more"}) EXPECT_EQ(leftovers(folder / dir), 0) << dir;

    SimLibrary& reader = load();
    ASSERT_EQ(reader.init(port), result::ok);
    EXPECT_EQ(reader.read_data(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Links, SimStateLinkChain,
    ::testing::Values(
        LinkCase{"Absolute", {{"device.txt", "@/data/real.txt"}}, "data/real.txt", true},
        LinkCase{"RelativeToTheLinksFolder", {{"links/device.txt", "../data/real.txt"}}, "data/real.txt", true},
        LinkCase{"Chain",
                 {{"links/device.txt", "second"}, {"links/second", "@/more/third"}, {"more/third", "../data/real.txt"}},
                 "data/real.txt",
                 true},
        LinkCase{"Dangling", {{"links/device.txt", "../data/new.txt"}}, "data/new.txt", false},
        LinkCase{
            "DanglingChain", {{"device.txt", "links/next"}, {"links/next", "../data/new.txt"}}, "data/new.txt", false}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// A link to something that is no regular file is refused: when the device is read, and when a link
// read before is made to lead elsewhere before the next change is written.
TEST_F(SimStateLinks, LinkToWhatIsNoRegularFileIsRefused) {
    struct Case {
        const char* what;
        bool repoint_after_read;
        bool fifo;  // the link's end is a FIFO, otherwise a folder
    };
    const std::vector<Case> cases = {
        {"folder when read", false, false},
        {"folder when written", true, false},
        {"FIFO when written", true, true},
    };
    const fs::path real = folder / "real.txt";
    const fs::path other = folder / "other";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(state);
        fs::remove_all(other);
        std::ofstream(real, std::ios::binary) << example_device();
        if (c.fifo) {
            ASSERT_EQ(::mkfifo(other.c_str(), 0600), 0);
        } else {
            fs::create_directory(other);
        }
        fs::create_symlink(c.repoint_after_read ? real : other, state);
        setenv("HARROWTALLY_SIM_STATE", state.c_str(), 1);

        SimLibrary& lib = load();
        if (c.repoint_after_read) {
            ASSERT_EQ(lib.init(5), result::ok);
            fs::remove(state);
            fs::create_symlink(other, state);
            EXPECT_EQ(lib.clear_data(), result::state_file);
            EXPECT_EQ(lib.read_data(), 6) << "the device is kept as it was";
        } else {
            EXPECT_EQ(lib.init(5), result::state_file);
        }
        ASSERT_TRUE(fs::is_symlink(state));
        EXPECT_EQ(fs::read_symlink(state), other);
        const auto kind = fs::symlink_status(other).type();
        EXPECT_EQ(kind, c.fifo ? fs::file_type::fifo : fs::file_type::directory);
        if (!c.fifo) {
            EXPECT_TRUE(fs::is_empty(other));
        }
        EXPECT_EQ(leftovers(folder), 0);
    }
}

}  // namespace
}  // namespace harrowtally::sim_test
