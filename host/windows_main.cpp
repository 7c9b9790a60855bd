// The arguments arrive as UTF-16 and are handed on as UTF-8, whatever the console's code page.
#include <string>
#include <vector>

#include "host/platform/windows_paths.h"
#include "host/run_program.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    arguments.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
    for (int i = 1; i < argc; ++i) arguments.push_back(harrowtally::host::utf8_of(argv[i]));
    return harrowtally::host::run_program(arguments);
}
