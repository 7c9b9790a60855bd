// What the core relies on from a scanner library, shown for each library the tests put in its
// place: the simulator and the stand-in library, both through the real loader, and the scripted
// in-process library. Each is staged as a scanner on port 3 holding two barcodes; the same checks
// then run against all three, so a fake that drifts from the others fails here rather than making
// the tests that use it prove something about a scanner that does not exist.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "clicker/scan_time.h"
#include "scanner/csp2_abi.h"
#include "scanner/loaded_csp2.h"
#include "support/scripted_csp2.h"

namespace harrowtally {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t scanner_port = 3;

// Sets an environment variable for the life of a subject; the loaded libraries read theirs at each
// csp2Init.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) { ::setenv(name, value.c_str(), 1); }
    ~ScopedVariable() { ::unsetenv(name_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
};

class Subject {
public:
    virtual ~Subject() = default;
    virtual CSP2& library() = 0;
};

fs::path staged_file(const std::string& name, const std::string& text) {
    fs::path path = fs::temp_directory_path() / ("harrowtally-contract-" + std::to_string(::getpid()) + name);
    std::ofstream(path) << text;
    return path;
}

class SimulatorSubject : public Subject {
public:
    SimulatorSubject()
        : state_(staged_file("-sim.txt",
                             "port = 3\ndevice_id = 00 1F A4 3C 90 0B 77 E1\n"
                             "barcode = EAN-13 2026-12-04 08:14:03 4006381333931\n"
                             "barcode = Code39 2026-12-04 09:02:17 LOT 2026/11Z\n")),
          variable_("HARROWTALLY_SIM_STATE", state_.string()),
          library_(platform_library_opener(HARROWTALLY_SIM_LIBRARY)) {}
    ~SimulatorSubject() override { fs::remove(state_); }
    CSP2& library() override { return library_; }

private:
    fs::path state_;
    ScopedVariable variable_;
    LoadedCSP2 library_;
};

class StandInSubject : public Subject {
public:
    StandInSubject()
        : script_(staged_file("-stand-in.txt",
                              "barcode=1,4006381333931,08:14:03   12/04/26\n"
                              "barcode=3,LOT 2026/11Z,09:02:17   12/04/26\n"
                              "device_id=001FA43C900B77E1\n")),
          variable_("HARROWTALLY_TEST_SCANNER_SCRIPT", script_.string()),
          library_(platform_library_opener(TEST_LIBRARY)) {}
    ~StandInSubject() override { fs::remove(script_); }
    CSP2& library() override { return library_; }

private:
    fs::path script_;
    ScopedVariable variable_;
    LoadedCSP2 library_;
};

class ScriptedSubject : public Subject {
public:
    ScriptedSubject() {
        library_.init_results[scanner_port] = 0;
        library_.read_data_results = {2};  // then 0, the default: what a cleared scanner reads
        library_.packets = {testing::ScriptedCSP2::packet(1, "4006381333931"),
                            testing::ScriptedCSP2::packet(3, "LOT 2026/11Z")};
        library_.device_id = testing::Bytes{0x00, 0x1F, 0xA4, 0x3C, 0x90, 0x0B, 0x77, 0xE1, 0x00};
        library_.clock_value = std::array<std::uint8_t, 6>{5, 30, 14, 6, 12, 26};
    }
    CSP2& library() override { return library_; }

private:
    testing::ScriptedCSP2 library_;
};

struct Staging {
    const char* name;
    std::function<std::unique_ptr<Subject>()> make;
};

class ScannerContract : public ::testing::TestWithParam<Staging> {
protected:
    void SetUp() override { subject_ = GetParam().make(); }
    CSP2& lib() { return subject_->library(); }

private:
    std::unique_ptr<Subject> subject_;
};

TEST_P(ScannerContract, OnlyTheScannersPortOpens) {
    EXPECT_NE(lib().csp2Init(scanner_port - 1), 0);
    EXPECT_EQ(lib().csp2Init(scanner_port), 0);
    EXPECT_EQ(lib().csp2Restore(), 0);
}

// The download as the core reads it: the count, then packets L, type, L - 5 bytes of text and four
// stamp bytes, each stamp readable as a time of day and a date; no packet past the count.
TEST_P(ScannerContract, PacketsHaveTheShapeTheDownloadReads) {
    ASSERT_EQ(lib().csp2Init(scanner_port), 0);
    const std::int32_t count = lib().csp2ReadData();
    ASSERT_EQ(count, 2);
    for (std::int32_t k = 0; k < count; ++k) {
        std::array<std::uint8_t, csp2_size::packet> packet{};
        ASSERT_GE(lib().csp2GetPacket(packet.data(), k, csp2_size::packet), 0) << "packet " << k;
        const int length = packet[0];
        ASSERT_GE(length, 5) << "packet " << k;
        std::array<std::uint8_t, csp2_size::stamp_text> text{};
        lib().csp2TimeStamp2Str(packet.data() + length - 3, text.data(), csp2_size::stamp_text);
        const std::string stamp(reinterpret_cast<const char*>(text.data()));
        EXPECT_TRUE(stamp_date(std::u16string(stamp.begin(), stamp.end())).has_value()) << stamp;
    }
    std::array<std::uint8_t, csp2_size::packet> beyond{};
    EXPECT_LT(lib().csp2GetPacket(beyond.data(), count, csp2_size::packet), 0);
    lib().csp2Restore();
}

TEST_P(ScannerContract, DeviceIdFillsItsEightBytes) {
    ASSERT_EQ(lib().csp2Init(scanner_port), 0);
    std::array<std::uint8_t, csp2_size::device_id> id;
    id.fill(0xEE);
    EXPECT_GE(lib().csp2GetDeviceId(id.data(), csp2_size::device_id), 0);
    const std::array<std::uint8_t, 8> expected{0x00, 0x1F, 0xA4, 0x3C, 0x90, 0x0B, 0x77, 0xE1};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), id.begin()));
    lib().csp2Restore();
}

// The erase the core checks: a cleared scanner reads as holding nothing.
TEST_P(ScannerContract, ClearedScannerHoldsNothing) {
    ASSERT_EQ(lib().csp2Init(scanner_port), 0);
    ASSERT_EQ(lib().csp2ReadData(), 2);
    EXPECT_EQ(lib().csp2ClearData(), 0);
    EXPECT_EQ(lib().csp2ReadData(), 0);
    lib().csp2Restore();
}

TEST_P(ScannerContract, ClockReadsAsATimeAndADate) {
    ASSERT_EQ(lib().csp2Init(scanner_port), 0);
    std::array<std::uint8_t, csp2_size::clock> clock{};
    ASSERT_GE(lib().csp2GetTime(clock.data()), 0);
    EXPECT_LT(clock[0], 60);  // seconds
    EXPECT_LT(clock[1], 60);  // minutes
    EXPECT_LT(clock[2], 24);  // hours
    EXPECT_TRUE(clock[3] >= 1 && clock[3] <= 31) << int{clock[3]};
    EXPECT_TRUE(clock[4] >= 1 && clock[4] <= 12) << int{clock[4]};
    lib().csp2Restore();
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, ScannerContract,
    ::testing::Values(Staging{"simulator", [] { return std::unique_ptr<Subject>(new SimulatorSubject); }},
                      Staging{"stand_in", [] { return std::unique_ptr<Subject>(new StandInSubject); }},
                      Staging{"scripted", [] { return std::unique_ptr<Subject>(new ScriptedSubject); }}),
    [](const ::testing::TestParamInfo<Staging>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace harrowtally
