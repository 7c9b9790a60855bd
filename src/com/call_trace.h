#pragma once
// The component's trace, switched on by HARROWTALLY_TRACE (docs/windows.md#tracing): one line per
// member call with its arguments as the host gave them, its HRESULT and how long it took, and one
// line per scanner library call with its arguments and result. Off unless the variable names a file
// that can be opened; then a member call pays one pointer test and nothing else.
#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "scanner/csp2.h"
#include "scanner/tracing_csp2.h"
#include "windows/trace_file.h"

namespace harrowtally::com {

// A member call as the trace names it. The argument is the host's own value, read only when the
// call is traced.
struct MemberCall {
    using Arguments = std::pair<const VARIANT*, const VARIANT*>;  // a method's two, in order
    using Argument = std::variant<std::monostate, const VARIANT*, const BSTR*, short, Arguments>;
    const char* kind;  // "get", "put", "putref", "call"
    const char* name;
    Argument argument;

    static MemberCall get(const char* name) { return {"get", name, {}}; }
    static MemberCall method(const char* name) { return {"call", name, {}}; }
    static MemberCall method(const char* name, const VARIANT* first, const VARIANT* second) {
        return {"call", name, Arguments{first, second}};
    }
    static MemberCall put(const char* name, Argument value) { return {"put", name, value}; }
    static MemberCall putref(const char* name, const VARIANT* value) { return {"putref", name, value}; }
};

// The trace of the process: made once with the shared services and kept as long as they are.
class ComponentTrace {
public:
    // Reads HARROWTALLY_TRACE. With a file that opens, calls of `library` through library() and every
    // member call from here on are traced; without, nothing is.
    explicit ComponentTrace(CSP2& library);
    ~ComponentTrace();
    ComponentTrace(const ComponentTrace&) = delete;
    ComponentTrace& operator=(const ComponentTrace&) = delete;

    // The library as the objects must call it: traced when the trace is on, else the library itself.
    CSP2& library() { return traced_ ? static_cast<CSP2&>(*traced_) : library_; }

private:
    CSP2& library_;
    std::unique_ptr<windows::TraceFile> file_;
    std::optional<TracingCSP2> traced_;
};

namespace detail {
// The file member calls are written to, or null: set and cleared by ComponentTrace.
inline std::atomic<windows::TraceFile*> member_trace{nullptr};

// One member call being traced: the clock and the arguments read before the call, the line written
// after it. Never fails the call: a line that cannot be made is left out.
class MemberCallLine {
public:
    MemberCallLine(windows::TraceFile& file, const MemberCall& call) noexcept;
    HRESULT end(HRESULT result) noexcept;

private:
    windows::TraceFile& file_;
    std::string called_;
    LARGE_INTEGER started_{};
};
}  // namespace detail

// Runs a member (`run` gives its HRESULT and throws nothing), with its line when the trace is on.
template <typename Run>
HRESULT traced(const MemberCall& call, Run&& run) noexcept {
    windows::TraceFile* const file = detail::member_trace.load(std::memory_order_acquire);
    if (file == nullptr) [[likely]]
        return run();
    detail::MemberCallLine line(*file, call);
    return line.end(run());
}

}  // namespace harrowtally::com
