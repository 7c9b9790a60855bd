// harrowtally: creates one Clicker and drives it from the command line, where no component
// runtime is there to host it.
#include "host/run_program.h"

#include <exception>
#include <iostream>

#include "host/command_line/command_line.h"
#include "host/platform/signals.h"
#include "host/platform/standard_output.h"

namespace harrowtally::host {

int run_program(const std::vector<std::string>& arguments) {
    ignore_broken_pipe();
    catch_interruptions();
    StandardOutput out;
    int status = 3;
    try {
        status = run_host(arguments, out.stream(), std::cerr);
    } catch (const Interrupted&) {
        // Everything the run held is given back by now: the part file, the scanner's port.
    } catch (const std::exception& e) {
        std::cerr << "harrowtally: internal failure: " << e.what() << "\n";
    }
    status = out.finish(status, std::cerr);
    if (const int signal = interruption()) end_by_signal(signal);
    return status;
}

}  // namespace harrowtally::host
