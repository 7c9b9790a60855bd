#include <string>
#include <vector>

#include "host/run_program.h"

int main(int argc, char** argv) {
    return harrowtally::host::run_program(std::vector<std::string>(argv + 1, argv + argc));
}
