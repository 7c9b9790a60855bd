// harrowtally: creates one Clicker and drives it from the command line, where no component
// runtime is there to host it.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "host/command_line/command_line.h"
#include "host/platform/signals.h"
#include "host/platform/standard_output.h"

int main(int argc, char** argv) {
    using namespace harrowtally::host;
    ignore_broken_pipe();
    catch_interruptions();
    StandardOutput out;
    int status = 3;
    try {
        status = run_host(std::vector<std::string>(argv + 1, argv + argc), out.stream(), std::cerr);
    } catch (const Interrupted&) {
        // Everything the run held is given back by now: the part file, the scanner's port.
    } catch (const std::exception& e) {
        std::cerr << "harrowtally: internal failure: " << e.what() << "\n";
    }
    status = out.finish(status, std::cerr);
    if (const int signal = interruption()) end_by_signal(signal);
    return status;
}
