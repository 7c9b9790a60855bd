#pragma once
// Output names that carry the download's date and time, so that a scheduled download never meets
// the file of the last one: "{date}" becomes the date as YYYY-MM-DD and "{time}" the time as
// HHMMSS, from the computer's local clock, in that order whatever the locale. Any other text,
// braces included, stays as written.
#include <string>
#include <string_view>

#include "common/clock.h"

namespace harrowtally::host {

std::string expanded_output_name(std::string_view pattern, const LocalDateTime& now);

}  // namespace harrowtally::host
