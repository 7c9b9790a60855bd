#include "com/call_trace.h"

#include <cstdio>
#include <iterator>
#include <string_view>

#include "com/module_state.h"
#include "common/runtime_error.h"
#include "windows/text.h"

namespace harrowtally::com {
namespace {

// A VARIANT's type by the name VBScript's TypeName gives it.
std::string type_name(VARTYPE base) {
    static constexpr const char* names[] = {"Empty",    "Null",    "Integer", "Long",    "Single", "Double",
                                            "Currency", "Date",    "String",  "Object",  "Error",  "Boolean",
                                            "Variant",  "Unknown", "Decimal", "type 15", "SByte",  "Byte"};
    return base < std::size(names) ? names[base] : "type " + std::to_string(base);
}

// A text in quotes, control characters shown by their code, so that a value keeps to its line.
std::string quoted(BSTR text) {
    std::string shown = "\"";
    for (const char c : windows::utf8_of(std::wstring_view(text, text ? SysStringLen(text) : 0))) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(c));
            shown += code;
        } else {
            shown += c;
        }
    }
    return shown + "\"";
}

// A host's value with its type: `Integer 3`, `String "COM3"`, `Empty`. Objects are not asked for
// their value, which would call into the host; a chain of references is followed to its value.
std::string variant_text(const VARIANT* value) {
    for (int depth = 0; value != nullptr && V_VT(value) == (VT_BYREF | VT_VARIANT); ++depth) {
        if (depth == 8) return "reference";
        value = V_VARIANTREF(value);
    }
    if (value == nullptr) return "null";
    const VARTYPE vt = V_VT(value);
    const VARTYPE base = vt & VT_TYPEMASK;
    std::string name = type_name(base);
    if ((vt & VT_ARRAY) != 0) return name + " array";
    if ((vt & VT_BYREF) != 0 && V_BYREF(value) == nullptr) return name + " null reference";
    switch (base) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_DISPATCH:
        case VT_UNKNOWN:
        case VT_RECORD:
            return name;
        case VT_BSTR:
            return name + " " + quoted((vt & VT_BYREF) != 0 ? *V_BSTRREF(value) : V_BSTR(value));
        default:
            break;
    }
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeTypeEx(&text, const_cast<VARIANT*>(value), LOCALE_INVARIANT, 0, VT_BSTR))) return name;
    std::string shown = name + " " + windows::utf8_of(std::wstring_view(V_BSTR(&text), SysStringLen(V_BSTR(&text))));
    VariantClear(&text);
    return shown;
}

struct ArgumentText {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(const VARIANT* value) const { return " = " + variant_text(value); }
    std::string operator()(const BSTR* text) const { return " = " + (text ? "String " + quoted(*text) : "null"); }
    std::string operator()(short value) const { return " = " + std::to_string(value); }
    std::string operator()(MemberCall::Arguments both) const {
        std::string text(1, '(');
        text.append(variant_text(both.first)).append(", ").append(variant_text(both.second)).push_back(')');
        return text;
    }
};

// The HRESULT, and for a runtime error of the member its number and words.
std::string result_text(HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    std::string text = code;
    if (FAILED(result) && HRESULT_FACILITY(result) == FACILITY_CONTROL) {
        const int number = HRESULT_CODE(result);
        text += " (error " + std::to_string(number) + ": " + standard_error_text(number) + ")";
    }
    return text;
}

}  // namespace

ComponentTrace::ComponentTrace(CSP2& library)
    : library_(library), file_(windows::TraceFile::from_environment(L"HARROWTALLY_TRACE")) {
    if (!file_) return;
    windows::TraceFile& file = *file_;
    traced_.emplace(library_, [&file](std::string_view line) { file.write(line); });
    file.write("trace on: " + windows::utf8_of(module_path()) + (sizeof(void*) == 8 ? " (64-bit)" : " (32-bit)") +
               ", process " + std::to_string(GetCurrentProcessId()));
    detail::member_trace.store(&file, std::memory_order_release);
}

ComponentTrace::~ComponentTrace() {
    // Only its own file: a trace made since keeps its place.
    windows::TraceFile* own = file_.get();
    detail::member_trace.compare_exchange_strong(own, nullptr, std::memory_order_acq_rel);
}

namespace detail {

MemberCallLine::MemberCallLine(windows::TraceFile& file, const MemberCall& call) noexcept : file_(file) {
    try {
        called_ = std::string(call.kind) + " " + call.name + std::visit(ArgumentText{}, call.argument);
    } catch (...) {  // out of memory: no line for this call
        called_.clear();
    }
    QueryPerformanceCounter(&started_);
}

HRESULT MemberCallLine::end(HRESULT result) noexcept {
    LARGE_INTEGER ended, frequency;
    QueryPerformanceCounter(&ended);
    QueryPerformanceFrequency(&frequency);
    if (called_.empty()) return result;
    try {
        char took[32];
        std::snprintf(
            took, sizeof took, " in %.3f ms",
            static_cast<double>(ended.QuadPart - started_.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart));
        file_.write(called_ + " -> " + result_text(result) + took);
    } catch (...) {  // out of memory: the line is lost, the result is not
    }
    return result;
}

}  // namespace detail
}  // namespace harrowtally::com
