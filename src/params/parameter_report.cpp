#include "params/parameter_report.h"

namespace harrowtally {

std::u16string trimmed_version(std::u16string_view version) {
    const std::size_t end = version.find_last_not_of(std::u16string_view(u" \0", 2));
    return std::u16string(version.substr(0, end == std::u16string_view::npos ? 0 : end + 1));
}

}  // namespace harrowtally
