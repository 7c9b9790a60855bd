// Information about the installation and the scanner's software.
#include <array>
#include <limits>

#include "clicker/clicker.h"
#include "common/code_page.h"
#include "common/runtime_error.h"
#include "scanner/scanner_port.h"

namespace harrowtally {

std::int16_t Clicker::num_files() {
    const std::int64_t count = services_.listing->count_ordinary_files(data_folder);
    if (count > std::numeric_limits<std::int16_t>::max()) throw RuntimeError(err::overflow);
    return static_cast<std::int16_t>(count);
}

Variant Clicker::SwVersion() {
    // The only library call: no port is opened for it, but the connection holds the library's lock.
    std::array<std::uint8_t, csp2_size::version> version{};
    ScannerPort connection(services_.library);
    connection.library().csp2GetSwVersion(version.data(), csp2_size::version);
    return Variant::string(bytes_to_text(version.data(), version.size()));
}

}  // namespace harrowtally
