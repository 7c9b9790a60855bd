// The state file: reading, writing back after every change, and what a later load sees.
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

using SimStateFile = SimTest;

// Files in the folder named as the state file's temporary files are.
int temporary_files(const fs::path& folder, const fs::path& state) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        n += entry.path().filename().string().starts_with(state.filename().string() + ".tmp-") ? 1 : 0;
    }
    return n;
}

// Everything a connection can observe of a device, as one text.
std::string observe(SimLibrary& lib, int port) {
    std::ostringstream out;
    out << "init " << lib.init(port) << " status " << lib.system_status() << " protocol " << lib.protocol() << " ascii "
        << lib.ascii_mode() << " rtc " << lib.rtc_mode();
    char id[9] = {};
    out << " id " << lib.device_id(id, 9) << ' ' << std::string(id, 9);
    char version[32] = {};
    out << " version " << lib.sw_version(version, 32) << ' ' << version;
    out << "\nparams";
    for (int n = 0; n < 100; ++n) out << ' ' << lib.param(n);
    const int count = lib.read_data();
    out << "\ncount " << count << '\n';
    for (int i = 0; i < count + 1; ++i) {
        const Bytes packet = lib.packet(i);
        if (packet.empty()) {
            out << "no packet " << i << '\n';
            continue;
        }
        const Packet p = split(packet);
        out << p.type << " [" << p.text << "] " << lib.stamp_text(p.stamp.data()).c_str() << '\n';
    }
    lib.restore();
    return out.str();
}

TEST_F(SimStateFile, WrittenBackFileDescribesTheSameDevice) {
    // Every key that survives a rewrite, with values away from their defaults.
    use_state(example_device() +
              "busy_ports = 1 2\n"
              "system_status = 7\n"
              "fault_count = 9\n"
              "fault_packet_at = 5\n"
              "fault_packet_unwritten_at = 4\n"
              "fault_stamp_text = one_slash\n"
              "fault_calls = csp2GetRTCMode\n"
              "barcodes_generated = 2\n");
    const std::string before = observe(load(), 5);
    ASSERT_NE(before.find("count 9"), std::string::npos) << before;

    // Any change rewrites the file; set parameter 0 to the value it already has.
    SimLibrary& writer = load();
    ASSERT_EQ(writer.init(5), result::ok);
    char zero[2] = {0, 0};
    ASSERT_EQ(writer.set_param(0, zero, 2), result::ok);
    writer.restore();
    const std::string rewritten = state_text();
    EXPECT_EQ(rewritten.find("# port = none"), std::string::npos) << "comments are not kept";
    EXPECT_FALSE(fs::exists(state.string() + ".tmp"));

    EXPECT_EQ(observe(load(), 5), before);
    EXPECT_EQ(load().init(1), result::port_busy);

    // And a file the simulator wrote reads back into the same text.
    use_state(rewritten);
    SimLibrary& again = load();
    ASSERT_EQ(again.init(5), result::ok);
    ASSERT_EQ(again.set_param(0, zero, 2), result::ok);
    EXPECT_EQ(state_text(), rewritten);
}

TEST_F(SimStateFile, ChangesPersistIntoTheNextLoad) {
    use_state(example_device());
    {
        SimLibrary& first = load();
        ASSERT_EQ(first.init(5), result::ok);
        ASSERT_EQ(first.read_data(), 6);
        char value[2] = {77, 0};
        ASSERT_EQ(first.set_param(12, value, 2), result::ok);
        std::uint8_t clock[6] = {0, 0, 12, 1, 6, 30};
        ASSERT_EQ(first.set_time(clock), result::ok);
        ASSERT_EQ(first.clear_data(), result::ok);
        EXPECT_EQ(first.read_data(), 0);
    }
    SimLibrary& second = load();
    ASSERT_EQ(second.init(5), result::ok);
    EXPECT_EQ(second.read_data(), 0);
    EXPECT_EQ(second.param(12), 77);
    EXPECT_EQ(second.param(31), 200) << "untouched settings survive";
    std::uint8_t clock[6] = {};
    ASSERT_EQ(second.get_time(clock), result::ok);
    EXPECT_EQ(std::vector<int>(clock + 3, clock + 6), (std::vector<int>{1, 6, 30}));
    EXPECT_EQ(second.set_defaults(), result::ok);
    EXPECT_EQ(second.param(12), 0);
    EXPECT_EQ(second.param(20), 9) << "defaults of the file";
}

TEST_F(SimStateFile, BuiltInDeviceLivesInMemoryOrStartsAMissingFile) {
    for (const bool with_file : {false, true}) {
        if (with_file) setenv("HARROWTALLY_SIM_STATE", state.c_str(), 1);
        SimLibrary& first = load();
        ASSERT_EQ(first.init(3), result::ok);
        const int count = first.read_data();
        ASSERT_GE(count, 24);
        ASSERT_EQ(first.clear_data(), result::ok);
        first.restore();
        ASSERT_EQ(first.init(3), result::ok);
        EXPECT_EQ(first.read_data(), 0) << "the same load remembers the erase";
        EXPECT_EQ(fs::exists(state), with_file);

        SimLibrary& second = load();
        ASSERT_EQ(second.init(3), result::ok);
        EXPECT_EQ(second.read_data(), with_file ? 0 : count) << with_file;
    }
}

TEST_F(SimStateFile, UnreadableFileRefusesToOpen) {
    const std::vector<std::string> bad_lines = {
        "colour = red",
        "port 5",
        "port = five",
        "param 100 = 1",
        "param 7 = 256",
        "device_id = 01 02 03 04 05 06 07",
        "barcode = EAN-13 4006381333931",
        "barcode = Klingon 2026-12-04 08:00:00 X",
        "barcode = EAN-13 2026-02-30 08:00:00 4006381333931",
        "barcode = EAN-13 1999-12-31 08:00:00 4006381333931",
        "barcode = Code128 2026-12-04 08:00:00 " + std::string(251, 'A'),
        "fault_stamp_text = sideways",
        "fault_calls = csp2Init csp2Explode",
    };
    for (const std::string& line : bad_lines) {
        use_state("port = 5\n" + line + "\n");
        SimLibrary& lib = load();
        EXPECT_EQ(lib.init(5), result::state_file) << line;
        char version[10];
        EXPECT_EQ(lib.sw_version(version, 10), result::state_file) << line;
    }
    use_state("port = 5\n# colour = red\n\n   \nbarcode = Code128 2026-12-04 08:00:00 " + std::string(250, 'A') + "\n");
    EXPECT_EQ(load().init(5), result::ok);
}

TEST_F(SimStateFile, FailedWriteLeavesTheDeviceAsItWas) {
    use_state(example_device());
    const std::string before = state_text();
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    // Once the device is read, a folder takes the state file's name: no new state can replace it.
    const fs::path kept = state.string() + ".kept";
    fs::rename(state, kept);
    fs::create_directories(state / "in-the-way");
    char value[2] = {9, 0};
    std::uint8_t clock[6] = {0, 0, 12, 1, 6, 30};
    EXPECT_EQ(lib.clear_data(), result::state_file);
    EXPECT_EQ(lib.set_param(0, value, 2), result::state_file);
    EXPECT_EQ(lib.set_defaults(), result::state_file);
    EXPECT_EQ(lib.set_time(clock), result::state_file);
    EXPECT_EQ(lib.read_data(), 6);
    EXPECT_EQ(lib.param(0), 0);
    EXPECT_EQ(lib.param(7), 1);
    fs::remove_all(state);
    fs::rename(kept, state);
    EXPECT_EQ(state_text(), before);
    EXPECT_EQ(temporary_files(folder, state), 0) << "no new file stays behind";
}

TEST_F(SimStateFile, GeneratedBarcodesDownloadInFull) {
    use_state("port = 0\nbarcode = UPC-A 2026-12-04 08:15:40 036000291452\nbarcodes_generated = 32767\n");
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(0), result::ok);
    ASSERT_EQ(lib.read_data(), 32768);
    std::string previous_time;
    int types_seen[256] = {};
    for (int i = 1; i < 32768; ++i) {
        const Packet p = split(lib.packet(i));
        ASSERT_TRUE(valid_check_character(p.type, p.text)) << i << ' ' << p.text;
        ++types_seen[p.type];
        const std::string stamp = lib.stamp_text(p.stamp.data()).substr(0, 19);
        ASSERT_EQ(stamp.substr(11), "01/05/26") << i;
        ASSERT_LT(previous_time, stamp.substr(0, 8)) << i;
        previous_time = stamp.substr(0, 8);
    }
    EXPECT_EQ(types_seen[13] + types_seen[12] + types_seen[39] + types_seen[128], 32767);
    EXPECT_TRUE(lib.packet(32768).empty());
    ASSERT_EQ(lib.clear_data(), result::ok);
    EXPECT_EQ(lib.read_data(), 0);
    EXPECT_EQ(state_text().find("barcodes_generated"), std::string::npos);
}

}  // namespace
}  // namespace harrowtally::sim_test

namespace harrowtally::sim_test {
namespace {

// A state path that is not a regular file of a sane size is refused at once, without reading it.
TEST_F(SimStateFile, PathsThatAreNoStateFileAreRefused) {
    struct Case {
        const char* what;
        std::function<fs::path(const fs::path& folder)> make;
    };
    const std::vector<Case> cases = {
        {"FIFO",
         [](const fs::path& f) {
             fs::path p = f / "fifo";
             EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
             return p;
         }},
        {"endless device", [](const fs::path&) { return fs::path("/dev/zero"); }},
        {"folder", [](const fs::path& f) { return f; }},
        {"oversized file",
         [](const fs::path& f) {
             fs::path p = f / "huge.txt";
             std::ofstream(p) << "port = 0\n";
             fs::resize_file(p, (16u << 20) + 1);
             return p;
         }},
    };
    for (const auto& c : cases) {
        const fs::path path = c.make(folder);
        setenv("HARROWTALLY_SIM_STATE", path.c_str(), 1);
        EXPECT_EQ(load().init(0), result::state_file) << c.what;
    }
}

// New state goes through a file created exclusively under a new name: a link planted where the
// temporary file used to be written, or any file beside the state, is left alone.
TEST_F(SimStateFile, ReplacingTheStateWritesThroughNoPlantedLink) {
    use_state(example_device());
    const fs::path victim = folder / "victim.txt";
    std::ofstream(victim) << "precious\n";
    fs::create_symlink(victim, state.string() + ".tmp");
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    ASSERT_EQ(lib.clear_data(), result::ok);
    lib.restore();
    EXPECT_EQ(read_file(victim), "precious\n");
    EXPECT_TRUE(fs::is_symlink(state.string() + ".tmp"));
    EXPECT_EQ(load().init(5), result::ok);
    EXPECT_EQ(state_text().find("barcode ="), std::string::npos) << "the erase was saved";
    EXPECT_EQ(temporary_files(folder, state), 0) << "no new file stays behind";
}

// A scanner taken out of its cradle answers on no port and keeps everything for when it is back.
TEST_F(SimStateFile, AnUndockedScannerAnswersNowhereAndKeepsItsBarcodes) {
    use_state(example_device() + "docked = no\n");
    EXPECT_EQ(load().init(5), result::no_scanner);
    use_state(example_device() + "docked = yes\n");
    SimLibrary& lib = load();
    ASSERT_EQ(lib.init(5), result::ok);
    EXPECT_EQ(lib.read_data(), 6);
    lib.restore();
}

}  // namespace
}  // namespace harrowtally::sim_test
