// What the simulator writes to standard error about a state file it cannot use: a search over every
// port reads the file once per port, and the reason is said once.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/sim/sim_library.h"

namespace harrowtally::sim_test {
namespace {

using SimErrorReport = SimTest;

// What `run` writes to this process's standard error; the library's lines go to the same stream.
std::string stderr_of(const fs::path& file, const std::function<void()>& run) {
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(::dup2(fd, 2), 0);
    ::close(fd);
    run();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    return read_file(file);
}

long lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

// Every port of a 16-port search, and the version query a host makes before one.
void search(SimLibrary& lib) {
    for (int port = 0; port < 16; ++port) EXPECT_EQ(lib.init(port), result::state_file) << port;
    char version[10];
    EXPECT_EQ(lib.sw_version(version, 10), result::state_file);
}

TEST_F(SimErrorReport, UnusableStateFileIsReportedOncePerSearch) {
    struct Case {
        const char* what;
        std::function<fs::path(const fs::path& folder)> make;  // the unusable state path
    };
    const std::vector<Case> cases = {
        {"malformed line",
         [](const fs::path& f) {
             std::ofstream(f / "device.txt") << "port = 5\ncolour = red\n";
             return f / "device.txt";
         }},
        {"folder",
         [](const fs::path& f) {
             fs::create_directory(f / "folder");
             return f / "folder";
         }},
        {"oversized file",
         [](const fs::path& f) {
             std::ofstream(f / "huge.txt") << "port = 0\n";
             fs::resize_file(f / "huge.txt", (16u << 20) + 1);
             return f / "huge.txt";
         }},
        {"new file in a missing folder", [](const fs::path& f) { return f / "absent" / "device.txt"; }},
        {"link to itself",
         [](const fs::path& f) {
             fs::create_symlink("loop.txt", f / "loop.txt");
             return f / "loop.txt";
         }},
    };
    for (const Case& c : cases) {
        const fs::path path = c.make(folder);
        setenv("HARROWTALLY_SIM_STATE", path.c_str(), 1);
        SimLibrary& lib = load();
        const std::string text = stderr_of(folder / "stderr.txt", [&lib] { search(lib); });
        EXPECT_EQ(lines(text), 1) << c.what << ":\n" << text;
        EXPECT_NE(text.find(path.string()), std::string::npos) << c.what << ":\n" << text;
    }
}

// Within one process: a new reason is said at once, a reason already said is not repeated until the
// file has worked again.
TEST_F(SimErrorReport, NewReasonOrRepairedFileReportsAgain) {
    struct Phase {
        std::string state;
        long expected_lines;  // -1: the file works and the scanner opens on port 5
    };
    const std::string unknown_key = "port = 5\ncolour = red\n";
    const std::string out_of_range = "port = 5\nparam 7 = 256\n";
    const std::vector<Phase> phases = {
        {unknown_key, 1},       {unknown_key, 0}, {out_of_range, 1}, {unknown_key, 0},
        {example_device(), -1}, {unknown_key, 1}, {out_of_range, 1},
    };
    use_state(phases.front().state);
    SimLibrary& lib = load();
    for (std::size_t i = 0; i < phases.size(); ++i) {
        const Phase& p = phases[i];
        use_state(p.state);
        const std::string text = stderr_of(folder / "stderr.txt", [&] {
            if (p.expected_lines >= 0) return search(lib);
            EXPECT_EQ(lib.init(5), result::ok) << i;
            lib.restore();
        });
        EXPECT_EQ(lines(text), std::max(p.expected_lines, 0L)) << "phase " << i << ":\n" << text;
    }
}

}  // namespace
}  // namespace harrowtally::sim_test
