#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/runtime_error.h"
#include "scanner/library_opener.h"
#include "scanner/loaded_csp2.h"
#include "support/run_process.h"
#include "support/runtime_error_helpers.h"

namespace harrowtally {
namespace {

namespace fs = std::filesystem;

using testing::error_of;

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "harrowtally-loader-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

LoadedCSP2 loaded(const std::string& path) {
    return LoadedCSP2(platform_library_opener(path));
}

struct OpenCase {
    const char* what;
    std::string path;
    int expected;  // error of the first call, 0 for none
};

TEST(Loader, FirstCallReportsWhyTheLibraryCannotBeUsed) {
    const std::vector<OpenCase> cases = {
        {"complete library", TEST_LIBRARY, 0},
        {"library lacking another function", TEST_LIBRARY_INCOMPLETE, 0},
        {"no such file", "/nonexistent/folder/libcsp2a.so", err::file_not_found},
        {"no such file in the current folder", "no-such-library.so", err::file_not_found},
        {"text file", TEST_NOT_A_LIBRARY, err::dll_load},
        {"folder", fs::temp_directory_path().string(), err::dll_load},
    };
    for (const auto& c : cases) {
        auto library = loaded(c.path);
        EXPECT_EQ(error_of([&] { library.csp2Restore(); }), c.expected) << c.what;
        // Any function fails the same way, not just the first one called.
        EXPECT_EQ(error_of([&] { library.csp2GetSystemStatus(); }), c.expected) << c.what;
    }
}

TEST(Loader, MissingFunctionFailsOnlyThatFunctionAndKeepsFailing) {
    auto library = loaded(TEST_LIBRARY_INCOMPLETE);
    std::array<std::uint8_t, 10> buffer{};
    EXPECT_EQ(error_of([&] { library.csp2GetSwVersion(buffer.data(), 10); }), err::dll_function_missing);
    EXPECT_EQ(library.csp2Init(3), 0);
    EXPECT_EQ(error_of([&] { library.csp2GetSwVersion(buffer.data(), 10); }), err::dll_function_missing);
    EXPECT_EQ(library.csp2ReadData(), 2);
    EXPECT_EQ(library.csp2Restore(), 0);
}

TEST(Loader, LaterCallTriesTheFileAgain) {
    TempFolder folder;
    const fs::path file = folder.path() / "libcsp2a.so";
    auto library = loaded(file.string());

    EXPECT_EQ(error_of([&] { library.csp2Init(3); }), err::file_not_found);
    fs::copy_file(TEST_NOT_A_LIBRARY, file);
    EXPECT_EQ(error_of([&] { library.csp2Init(3); }), err::dll_load);
    fs::copy_file(TEST_LIBRARY, file, fs::copy_options::overwrite_existing);
    EXPECT_EQ(library.csp2Init(3), 0);
    EXPECT_EQ(library.csp2Restore(), 0);
}

TEST(Loader, ReleasingTheLoaderUnloadsTheLibrary) {
    TempFolder folder;
    const fs::path file = folder.path() / "own-copy.so";
    fs::copy_file(TEST_LIBRARY, file);
    {
        auto library = loaded(file.string());
        library.csp2Restore();
        void* still = ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(still, nullptr);
        ::dlclose(still);
    }
    EXPECT_EQ(::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

// Restores an environment variable when the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_.empty()) {
            ::unsetenv(name_);
        } else {
            ::setenv(name_, old_.c_str(), 1);
        }
    }

private:
    const char* name_;
    std::string old_;
};

TEST(Loader, PortNumbersCrossAsSigned32Bit) {
    struct Case {
        const char* scanner_at;
        std::int32_t port;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"3", 3, 0}, {"3", 4, -1}, {"-3", -3, 0}, {"70000", 70000, 0}, {"70000", 70000 - 65536, -1}, {"none", 0, -1},
    };
    auto library = loaded(TEST_LIBRARY);
    for (const auto& c : cases) {
        ScopedEnv env("HARROWTALLY_TEST_SCANNER_PORT", c.scanner_at);
        EXPECT_EQ(library.csp2Init(c.port), c.expected) << c.scanner_at << " " << c.port;
        library.csp2Restore();
    }
}

std::string text_of(const std::uint8_t* p, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

TEST(Loader, BuffersCrossWithTheirLengths) {
    auto library = loaded(TEST_LIBRARY);
    ASSERT_EQ(library.csp2Init(3), 0);
    ASSERT_EQ(library.csp2ReadData(), 2);

    std::array<std::uint8_t, 500> packet;
    packet.fill(0xEE);
    ASSERT_EQ(library.csp2GetPacket(packet.data(), 1, 500), 13);
    EXPECT_EQ(packet[0], 12);
    EXPECT_EQ(packet[1], 0x01);
    EXPECT_EQ(text_of(&packet[2], 7), "CODE-39");
    EXPECT_EQ(packet[9], 17);
    EXPECT_EQ(packet[12], 6);
    EXPECT_EQ(packet[13], 0xEE) << "the library wrote past the packet";

    packet.fill(0xEE);
    EXPECT_EQ(library.csp2GetPacket(packet.data(), 0, 4), 4);
    EXPECT_EQ(packet[0], 18);
    EXPECT_EQ(packet[3], '0');
    EXPECT_EQ(packet[4], 0xEE) << "the length given was not respected";
    EXPECT_EQ(library.csp2GetPacket(packet.data(), 2, 500), -1);

    std::array<std::uint8_t, 4> stamp{9, 15, 0, 5};
    std::array<std::uint8_t, 30> text{};
    library.csp2TimeStamp2Str(stamp.data(), text.data(), 30);
    EXPECT_EQ(text_of(text.data(), 20), std::string("09:15:00   12/05/26") + '\0');
    text.fill(0);
    library.csp2TimeStamp2Str(stamp.data(), text.data(), 5);
    EXPECT_EQ(text_of(text.data(), 6), std::string("09:15") + '\0');

    std::array<std::uint8_t, 9> id{};
    library.csp2GetDeviceId(id.data(), 9);
    EXPECT_EQ(id, (std::array<std::uint8_t, 9>{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x00}));

    std::array<std::uint8_t, 6> clock{59, 58, 23, 31, 12, 99};
    library.csp2SetTime(clock.data());
    std::array<std::uint8_t, 6> read_back{};
    library.csp2GetTime(read_back.data());
    EXPECT_EQ(read_back, clock);

    std::array<std::uint8_t, 2> value{0xC8, 0};
    EXPECT_EQ(library.csp2SetParam(200, value.data(), 2), 0);
    std::array<std::uint8_t, 10> param{};
    EXPECT_EQ(library.csp2GetParam(200, param.data(), 10), 0);
    EXPECT_EQ(param[0], 200);
    EXPECT_EQ(param[1], 0xC8);
    EXPECT_EQ(library.csp2GetParam(-1, param.data(), 10), -1);

    std::array<std::uint8_t, 10> version{};
    library.csp2GetSwVersion(version.data(), 10);
    EXPECT_EQ(text_of(version.data(), 10), std::string("TEST 1.07") + '\0');
    EXPECT_EQ(library.csp2Restore(), 0);
    EXPECT_EQ(library.csp2ReadData(), -1);
}

// The probe copied into a folder of its own, so that what lies beside it is up to the test.
class CopiedProbe {
public:
    CopiedProbe() {
        fs::create_directories(folder_.path() / "bin");
        fs::create_directories(folder_.path() / "good");
        fs::create_directories(folder_.path() / "bad");
        fs::copy_file(LIBRARY_PROBE, folder_.path() / "bin" / "probe");
        fs::copy_file(TEST_LIBRARY, folder_.path() / "good" / "libcsp2a.so");
        fs::copy_file(TEST_NOT_A_LIBRARY, folder_.path() / "bad" / "libcsp2a.so");
    }
    std::string folder(const char* name) const { return (folder_.path() / name).string(); }

    // What two calls of csp2Init(3) give with this library search path.
    std::vector<std::string> run(const std::optional<std::string>& library_path) const {
        const auto run =
            testing::run_process({folder("bin") + "/probe"},
                                 {{"LD_LIBRARY_PATH", library_path}, {"HARROWTALLY_TEST_SCANNER_PORT", std::nullopt}});
        EXPECT_EQ(run.exit_status, 0) << run.err;
        return run.lines();
    }

private:
    TempFolder folder_;
};

TEST(Loader, DefaultNameIsLookedForBesideTheExecutableThenByTheStandardSearch) {
    if (void* installed = ::dlopen("libcsp2a.so", RTLD_NOW | RTLD_LOCAL)) {
        ::dlclose(installed);
        GTEST_SKIP() << "a libcsp2a.so is installed on this machine";
    }
    using Lines = std::vector<std::string>;
    CopiedProbe probe;
    EXPECT_EQ(probe.run(std::nullopt), (Lines{"error 53", "error 53"}));
    EXPECT_EQ(probe.run(probe.folder("good")), (Lines{"0", "0"}));
    EXPECT_EQ(probe.run(probe.folder("bad")), (Lines{"error 48", "error 48"}));
    EXPECT_EQ(probe.run("/nonexistent:" + probe.folder("bad") + ":" + probe.folder("good")),
              (Lines{"error 48", "error 48"}));

    fs::copy_file(TEST_NOT_A_LIBRARY, probe.folder("bin") + "/libcsp2a.so");
    EXPECT_EQ(probe.run(probe.folder("good")), (Lines{"error 48", "error 48"}))
        << "the executable's folder comes first";
    fs::copy_file(TEST_LIBRARY, probe.folder("bin") + "/libcsp2a.so", fs::copy_options::overwrite_existing);
    EXPECT_EQ(probe.run(probe.folder("bad")), (Lines{"0", "0"}));
}

}  // namespace
}  // namespace harrowtally
