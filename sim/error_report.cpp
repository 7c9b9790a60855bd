#include "error_report.h"

#include <algorithm>
#include <cstdio>

namespace harrowtally::sim {
namespace {

// A file edited again and again into new mistakes without ever working could otherwise make the
// list grow without end; the oldest messages are forgotten first.
constexpr std::size_t max_remembered = 32;

}  // namespace

void ErrorReport::report(const std::string& message) {
    if (std::find(given_.begin(), given_.end(), message) != given_.end()) return;
    if (given_.size() == max_remembered) given_.erase(given_.begin());
    given_.push_back(message);
    std::fprintf(stderr, "csp2a simulator: %s\n", message.c_str());
}

}  // namespace harrowtally::sim
