// harrowtally_wxs x86|x64: writes to standard output the registry rows of the Windows package for
// that build, as a WiX include file (see wxs_registry.h).
#include <cstring>
#include <exception>
#include <iostream>

#include "wxs_registry.h"

int main(int argc, char** argv) {
    using harrowtally::com::Bitness;
    if (argc != 2 || (std::strcmp(argv[1], "x86") != 0 && std::strcmp(argv[1], "x64") != 0)) {
        std::cerr << "usage: harrowtally_wxs x86|x64\n";
        return 2;
    }
    try {
        std::cout << harrowtally::packaging::registry_include(std::strcmp(argv[1], "x86") == 0 ? Bitness::x86
                                                                                               : Bitness::x64);
    } catch (const std::exception& error) {
        std::cerr << "harrowtally_wxs: " << error.what() << '\n';
        return 1;
    }
    return std::cout.flush() ? 0 : 1;
}
