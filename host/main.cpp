// harrowtally: creates one Clicker and drives it from the command line, where no component
// runtime is there to host it.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "host/command_line.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return harrowtally::host::run_host(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "harrowtally: internal failure: " << e.what() << "\n";
        return 3;
    }
}
