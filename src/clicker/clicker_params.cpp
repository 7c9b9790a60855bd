// Applying a parameter set to the scanner and reporting chosen parameters.
#include <string>
#include <utility>
#include <vector>

#include "clicker/clicker.h"
#include "common/trace_text.h"
#include "params/module1.h"
#include "params/parameter_texts.h"
#include "scanner/scanner_port.h"

namespace harrowtally {
namespace {

// The scanner's default parameters, in a connection of their own: the library is only sure to
// act on an open port. Results are not examined.
void restore_defaults(const ScannerServices& services, const Variant& port) {
    const std::int32_t port_number = services.conversions->to_long(port);
    ScannerPort connection(services.library);
    connection.open(port_number);
    CSP2& library = connection.library();
    library.csp2WakeUp();
    library.csp2Interrogate();
    library.csp2SetDefaults();
    library.csp2PowerDown();
    connection.close();
}

}  // namespace

void Clicker::reset_params() {
    // A call made while this thread's own connection is open fails here, before any field changes.
    { const ScannerPort available(services_.library); }
    if (startport_.is_empty()) {
        open_flag_ = false;
        return;
    }
    // The whole set is checked first: a set that cannot be applied must not leave the scanner
    // emptied and back at its defaults.
    const std::vector<ParameterEntry> entries = checked_parameter_set(newparams_text_, *services_.conversions);
    EmptyScanner();
    // A host's erase guard that refused the erase refused the scanner: it is left as it is.
    if (empty_outcome_.result == EmptyOutcome::Result::refused) return;
    restore_defaults(services_, startport_);
    for (const ParameterEntry& entry : entries) {
        // A parameter the scanner refuses does not stop the others.
        Module1::set_scanner_param(services_, startport_, entry.number, entry.value);
    }
}

Variant Clicker::showparams() {
    // The list as it stood when the report began; the pauses let the host run in between.
    const std::u16string list = cur_params_text_;
    parameter_report_ = {};
    std::u16string report(parameter_count_text(list));
    if (list.size() > parameter_field_width) {
        const int count = read_parameter_count(list, *services_.conversions);
        for (int k = 1; k <= count; ++k) {
            const std::int16_t number = read_list_entry(list, k, *services_.conversions);
            const ParameterReading reading = Module1::read_scanner_param(services_, startport_, number);
            parameter_report_.entries.push_back(reading);
            report += two_digit_text(number);
            report += two_digit_text(reading.value);
        }
    }
    report += u":";
    parameter_report_.info = Module1::read_scanner_info(services_, startport_);
    report += Module1::scanner_info_text(parameter_report_.info);
    return Variant::string(std::move(report));
}

}  // namespace harrowtally
