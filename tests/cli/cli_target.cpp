#include "cli_target.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace harrowtally::testing {
namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

struct Unsupported {
    const char* tests;  // a glob over "Suite.Test" or "Suite.Test/table row"
    const char* reason;
};

// What the Windows program cannot show under Wine, and why. Everything else runs.
const Unsupported kNotOnWindows[] = {
    {"*.ASignalStopsTheRunWithoutErasing", "POSIX signals; console control events have their own Wine checks"},
    {"*.CollectWatchCollectsEachDockingOnce", "the test ends the watch with a POSIX signal"},
    {"*.CollectStoppedAtAnyStepSavesEachBarcodeOnce", "POSIX signals, SIGKILL among them"},
    {"*.OverwriteKeepsTheReplacedFilesMode", "POSIX modes; the replaced file's attributes have their own Wine check"},
    {"*.EmptyAfterLeavesTheScannerAloneWhenTheFileCannotBeWritten/file size limit", "RLIMIT_FSIZE is POSIX"},
    {"*/a device that is full", "/dev/full is a POSIX device, an ordinary file to Wine"},
    {"*/a symbolic link", "Wine follows POSIX symbolic links as if they were the files"},
    {"*DefaultFormatIsTheTableOnATerminal*", "a terminal under Wine is Wine's console, which adds escape sequences"},
    {"*ProgressOnlyOnATerminal", "a terminal under Wine is Wine's console, which adds escape sequences"},
    {"*DataOnATerminalCannotDriveIt", "a terminal under Wine is Wine's console, which adds escape sequences"},
    {"*ASCII_terminal*", "the terminal's character set is LC_ALL's on POSIX; the Windows console takes UTF-16"},
    {"*PlainWords*/library_*", "the loader's words are the system's; tests/wine/run checks the Windows ones"},
    {"*PlainWords*/no_library_beside_the_executable", "the search order is the system's; tests/wine/run checks it"},
    {"*.OutputIsCreatedFirstUnderANameThatFits/euro signs",
     "Wine cuts a name at 255 bytes of UTF-8 on the Linux side; Windows counts 255 UTF-16 units"},
    {"*not_UTF_8*", "a byte that is not UTF-8 cannot reach a Windows program's wide arguments"},
    {"Mounted/ReadBackOnFileSystemTest.*",
     "Linux file systems' renames and leases; the Windows hold against writers has its own Wine check"},
};

}  // namespace

bool testing_windows_program() {
    return !variable("HARROWTALLY_CLI_WINDOWS_PROGRAM").empty();
}

std::string cli_program() {
    return testing_windows_program() ? variable("HARROWTALLY_CLI_WINDOWS_PROGRAM") : std::string(HARROWTALLY_EXE);
}

std::vector<std::string> cli_command(const std::string& program) {
    std::vector<std::string> command;
    if (testing_windows_program()) {
        const std::string wine = variable("HARROWTALLY_CLI_WINE");
        command.push_back(wine.empty() ? "/usr/bin/wine" : wine);
    }
    command.push_back(program.empty() ? cli_program() : program);
    return command;
}

std::string stand_in_library() {
    return testing_windows_program() ? variable("HARROWTALLY_CLI_WINDOWS_STAND_IN") : std::string(TEST_LIBRARY);
}

const PlatformWords& platform_words() {
    static const PlatformWords posix = {"libcsp2a.so", "/c/larkvale", "No such file or directory",
                                        "No space left on device", "bytes"};
    static const PlatformWords windows = {"csp2a.DLL", "c:\\larkvale", "Path not found", "Disk full", "characters"};
    return testing_windows_program() ? windows : posix;
}

std::string library_folder_shown(const std::string& folder) {
    if (!testing_windows_program()) return folder + "/";
    std::string shown = "Z:" + folder + "\\";
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

std::optional<std::string> not_for_this_program(std::string_view row) {
    if (!testing_windows_program()) return std::nullopt;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    if (!row.empty()) name += "/" + std::string(row);
    for (const auto& entry : kNotOnWindows) {
        if (::fnmatch(entry.tests, name.c_str(), 0) != 0) continue;
        // A row is skipped inside its test, which goes on: say so where a skipped test would.
        if (!row.empty()) std::cout << "[ SKIPPED  ] " << name << ": " << entry.reason << "\n";
        return std::string(entry.reason);
    }
    return std::nullopt;
}

}  // namespace harrowtally::testing
