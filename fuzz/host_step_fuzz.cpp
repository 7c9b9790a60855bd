// The command-line host's steps: any text is a step or a usage error, never anything else, and the
// values it reads print and read back as themselves.
#include <string>

#include "common/text.h"
#include "fuzz_input.h"
#include "host/command_line/command.h"
#include "host/commands/invoke_steps.h"
#include "host/text/value_text.h"

using namespace harrowtally;

namespace {

std::string quoted(const std::u16string& text) {
    std::string out = "\"";
    for (char c : to_utf8(text)) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    host::Step step;
    try {
        step = host::parse_step(text);
    } catch (const host::UsageError&) {
        return 0;
    }
    fuzz::check(!step.name.empty());
    if (!step.value) return 0;
    const Variant& value = *step.value;
    const std::string typed = host::format_value(value, true);
    fuzz::check(typed.rfind(std::string(type_name(value.type())) + ":", 0) == 0);
    switch (value.type()) {
        case VarType::Integer:
        case VarType::Long:
        case VarType::Boolean:
        case VarType::Null:
            fuzz::check(host::parse_value(host::value_text(value)) == value);
            break;
        case VarType::Date:
            fuzz::check(host::parse_value("#" + host::value_text(value) + "#") == value);
            break;
        case VarType::String:
            // Quoted again, a text reads back as the same text.
            if (to_utf8(value.as_string()).find('\0') == std::string::npos &&
                from_utf8(to_utf8(value.as_string())) == value.as_string()) {
                fuzz::check(host::parse_value(quoted(value.as_string())) == value);
            }
            break;
        default:
            break;
    }
    return 0;
}
