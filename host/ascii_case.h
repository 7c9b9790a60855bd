#pragma once
// Comparing names and words as the automation runtime does: ASCII letters without regard to case.
#include <string_view>

namespace harrowtally::host {

bool equals_ignoring_case(std::string_view a, std::string_view b);

}  // namespace harrowtally::host
