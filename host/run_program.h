#pragma once
// One run of harrowtally, from the arguments after the program's name (UTF-8) to its exit status.
// The platform's main() only hands them over.
#include <string>
#include <vector>

namespace harrowtally::host {

int run_program(const std::vector<std::string>& arguments);

}  // namespace harrowtally::host
