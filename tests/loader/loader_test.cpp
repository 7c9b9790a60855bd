#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
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

std::string hex_of(const std::uint8_t* p, std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", unsigned{p[i]});
        text += byte;
    }
    return text;
}

std::string file_text(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// The stand-in library staged by a script, as the command-line tests stage a hostile scanner. Each
// case loads a copy of its own, so that the library's state (its first clear) starts afresh.
TEST(Loader, ScriptedScannerAnswersExactlyWhatItsScriptSays) {
    using namespace std::string_literals;
    using Observe = std::function<std::string(LoadedCSP2&, const fs::path& folder)>;
    struct Case {
        const char* what;
        std::string script;
        Observe observe;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"barcode bytes",
         "# a comment\n\n"
         R"(barcode=7,A\x00\xADB ,08:14:03   12/04/26)",
         [](LoadedCSP2& l, const fs::path&) {
             std::array<std::uint8_t, 500> packet;
             packet.fill(0xEE);
             const auto init = l.csp2Init(3), count = l.csp2ReadData(), n = l.csp2GetPacket(packet.data(), 0, 500);
             return std::to_string(init) + " " + std::to_string(count) + " " + std::to_string(n) + " " +
                    text_of(packet.data(), 12);
         },
         "0 1 11 \x0A\x07"
         "A\0\xAD"
         "B \xFE\0\0\0\xEE"s},
        {"stamp text of the second barcode", R"(barcode=7,A,08:14:03   12/04/26
barcode=255,x\x2Cy\\,12:00:00   01/01/27, at\x0D\x0A
)",
         [](LoadedCSP2& l, const fs::path&) {
             l.csp2Init(3);
             std::array<std::uint8_t, 500> packet{};
             const auto n = l.csp2GetPacket(packet.data(), 1, 500);
             std::array<std::uint8_t, 4> stamp{packet[6], packet[7], packet[8], packet[9]};
             std::array<std::uint8_t, 30> text;
             text.fill(0xEE);
             const auto wide = l.csp2TimeStamp2Str(stamp.data(), text.data(), 30);
             std::string seen = std::to_string(n) + " " + text_of(&packet[2], 4) + " " + std::to_string(wide) + " " +
                                text_of(text.data(), 27);
             text.fill(0xEE);
             const auto narrow = l.csp2TimeStamp2Str(stamp.data(), text.data(), 5);
             return seen + "|" + std::to_string(narrow) + " " + text_of(text.data(), 6);
         },
         "10 x,y\\ 25 12:00:00   01/01/27, at\r\n\0\xEE|5 12:00\xEE"s},
        {"clears, clock and parameters",
         "clear_results=-3,-4\nread_data_after_clear=7\nclock=255,30,14,6,12,26\nget_time_result=2\nparam.200=9\n",
         [](LoadedCSP2& l, const fs::path&) {
             std::string seen = std::to_string(l.csp2Init(3));
             for (int i = 0; i < 3; ++i) seen += " " + std::to_string(l.csp2ClearData());
             seen += " " + std::to_string(l.csp2ReadData());
             std::array<std::uint8_t, 6> clock{};
             std::array<std::uint8_t, 10> param{};
             const auto got = l.csp2GetTime(clock.data());
             seen += " " + std::to_string(got) + " " + hex_of(clock.data(), 6);
             l.csp2GetParam(200, param.data(), 10);
             seen += " " + hex_of(param.data(), 2);
             // What the program sets stays through a new connection with the same script.
             std::array<std::uint8_t, 6> set{1, 2, 3, 4, 5, 6};
             std::array<std::uint8_t, 1> value{1};
             l.csp2SetTime(set.data());
             l.csp2SetParam(200, value.data(), 1);
             l.csp2Restore();
             l.csp2Init(3);
             l.csp2GetTime(clock.data());
             l.csp2GetParam(200, param.data(), 10);
             return seen + "|" + hex_of(clock.data(), 6) + " " + hex_of(param.data(), 2);
         },
         "0 -3 -4 0 7 2 FF 1E 0E 06 0C 1A C8 09|01 02 03 04 05 06 C8 01"},
        {"watched file at the first clear", "",
         [](LoadedCSP2& l, const fs::path& folder) {
             write_file(folder / "watched", "1,A\r\n\0 "s);
             l.csp2Init(3);
             l.csp2ClearData();
             write_file(folder / "watched", "changed");
             l.csp2ClearData();
             return file_text(folder / "watched.at-first-clear") +
                    (fs::exists(folder / "watched.at-first-clear.missing") ? "(missing)" : "");
         },
         "1,A\r\n\0 "s},
        {"malformed lines", "",
         [](LoadedCSP2& l, const fs::path& folder) {
             const std::vector<std::string> lines = {
                 "count=x",
                 "count=1 ",
                 "count=",
                 "status",
                 "colour=red",
                 "clock=1,2,3,4,5",
                 "clock=1,2,3,4,5,256",
                 "barcode=256,A,x",
                 "barcode=1,A",
                 R"(barcode=1,A\x4,x)",
                 R"(barcode=1,A\n,x)",
                 "barcode=1," + std::string(251, 'a') + ",x",
                 "device_id=0102",
                 "device_id=010203040506070G",
                 "init.x=0",
                 "param.256=1",
                 "clear_results=1,",
                 "count=2147483648",
             };
             std::string accepted;
             for (const auto& line : lines) {
                 write_file(folder / "script", "barcode=1,A,x\n" + line + "\n");
                 ::testing::internal::CaptureStderr();
                 const auto init = l.csp2Init(3);
                 const std::string err = ::testing::internal::GetCapturedStderr();
                 if (init != -7 || err.find(" line 2 ") == std::string::npos) accepted += line + " ";
             }
             return accepted;
         },
         ""},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const fs::path own = folder.path() / "library.so";
        fs::copy_file(TEST_LIBRARY, own);
        write_file(folder.path() / "script", c.script);
        ScopedEnv script("HARROWTALLY_TEST_SCANNER_SCRIPT", (folder.path() / "script").c_str());
        ScopedEnv calls("HARROWTALLY_TEST_SCANNER_CALLS", (folder.path() / "calls").c_str());
        ScopedEnv watch("HARROWTALLY_TEST_SCANNER_WATCH", (folder.path() / "watched").c_str());
        auto library = loaded(own.string());
        EXPECT_EQ(c.observe(library, folder.path()), c.expected) << c.what;
    }
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
