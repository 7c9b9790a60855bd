#pragma once
// The harrowtally these tests drive. By default the one this build made, beside the simulated
// scanner library. With HARROWTALLY_CLI_WINDOWS_PROGRAM naming a harrowtally.exe (beside the
// Windows build of the simulated library) and HARROWTALLY_CLI_WINDOWS_STAND_IN naming the Windows
// build of the stand-in library, the same tables drive the Windows program through Wine (the
// loader HARROWTALLY_CLI_WINE names, /usr/bin/wine by default); the
// tests that cannot hold there are skipped by name, each with its reason.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harrowtally::testing {

// The command that starts `program` (a copy of harrowtally, or the one under test when empty).
std::vector<std::string> cli_command(const std::string& program = {});
// The program under test.
std::string cli_program();
// The stand-in scanner library (staged by a script) for --library.
std::string stand_in_library();
bool testing_windows_program();

// What the program under test says or uses where the platforms differ.
struct PlatformWords {
    std::string library_name;      // the simulated scanner library's file name
    std::string data_folder;       // the data folder `info` reads
    std::string no_such_folder;    // the system's words for a folder that is not there
    std::string out_of_space;      // ... for a full device
    std::string name_length_unit;  // what a file name's length is counted in
};
const PlatformWords& platform_words();
// A folder as the program names a library file in it: the path and its separator ("/tmp/x/", or
// "Z:\tmp\x\" under Wine, whose drive Z: is the root).
std::string library_folder_shown(const std::string& folder);

// Why the running test, or its table row `row`, cannot hold against the program under test, when
// it cannot.
std::optional<std::string> not_for_this_program(std::string_view row = {});

}  // namespace harrowtally::testing
