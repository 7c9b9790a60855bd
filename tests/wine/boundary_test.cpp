// No C++ exception crosses the COM boundary: the Clicker object is built here over a scanner
// library, clock, pause and data-folder listing that throw a C++ exception from one chosen function,
// and every member that reaches that function is called through the vtable and through
// IDispatch::Invoke. Each call must come back with an HRESULT (E_OUTOFMEMORY for std::bad_alloc,
// E_UNEXPECTED for anything else; DISP_E_EXCEPTION carrying that code through Invoke), leave no stale
// error information, release any port it opened, and leave the object and the process working.
// Before that, each member runs with its first, second, third... allocation of the C++ heap
// refused, with the same expectations (E_OUTOFMEMORY or a runtime error).
// The library underneath is the simulated scanner library with the device of HARROWTALLY_SIM_STATE.
// Usage: boundary_test <path of the simulated csp2a.DLL>
#include <oaidl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "com/clicker_object.h"
#include "com/module_state.h"
#include "common/clock.h"
#include "harrowtally_h.h"
#include "scanner/loaded_csp2.h"
#include "windows/directory_listing.h"
#include "windows/library_opener.h"
#include "windows/message_pump.h"

#include "test_report.h"

using namespace harrowtally;
using namespace harrowtally::windows;
using namespace harrowtally::com;

// The C++ heap of this program (the object and the core are linked in) can refuse one allocation:
// while armed, allocation number `refused` from the arming on throws std::bad_alloc.
namespace memory {
bool armed = false;
long count = 0;
long refused = -1;
}  // namespace memory

void* operator new(std::size_t size) {
    if (memory::armed && memory::count++ == memory::refused) throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

wine_test::Report report("boundary");
using wine_test::hex;

void check(bool ok, const std::string& name, const std::string& detail = {}) {
    report.check(ok, name, detail);
}

enum class Thrown { bad_alloc, runtime_error, integer };
const char* const thrown_names[] = {"std::bad_alloc", "std::runtime_error", "an int"};

HRESULT expected_code(Thrown kind) {
    return kind == Thrown::bad_alloc ? E_OUTOFMEMORY : E_UNEXPECTED;
}

// Where the next exception comes from: a function name, or nothing.
struct Trap {
    const char* target = "";
    Thrown kind = Thrown::runtime_error;
    int thrown = 0;

    void at(const char* name) {
        if (std::strcmp(target, name) != 0) return;
        ++thrown;
        switch (kind) {
            case Thrown::bad_alloc:
                throw std::bad_alloc();
            case Thrown::runtime_error:
                throw std::runtime_error(name);
            case Thrown::integer:
                throw 42;
        }
    }
};

// The simulated scanner library, with a trap in front of every function. `holding` tells whether a
// port that csp2Init opened (it gave 0) still waits for its csp2Restore.
class TrappedLibrary final : public CSP2 {
public:
    TrappedLibrary(const std::wstring& path, Trap& trap) : inner_(library_opener(path)), trap_(trap) {}
    bool holding = false;

    std::int32_t csp2Init(std::int32_t port) override {
        trap_.at("csp2Init");
        const std::int32_t r = inner_.csp2Init(port);
        if (r == 0) holding = true;
        return r;
    }
    std::int32_t csp2Restore() override {
        trap_.at("csp2Restore");
        const std::int32_t r = inner_.csp2Restore();
        holding = false;
        return r;
    }
    // Releases a port left open by a case that made csp2Restore itself throw.
    void settle() {
        if (holding) inner_.csp2Restore();
        holding = false;
    }
    std::int32_t csp2WakeUp() override { return trap_.at("csp2WakeUp"), inner_.csp2WakeUp(); }
    std::int32_t csp2Interrogate() override { return trap_.at("csp2Interrogate"), inner_.csp2Interrogate(); }
    std::int32_t csp2PowerDown() override { return trap_.at("csp2PowerDown"), inner_.csp2PowerDown(); }
    std::int32_t csp2ReadData() override { return trap_.at("csp2ReadData"), inner_.csp2ReadData(); }
    std::int32_t csp2GetPacket(std::uint8_t* b, std::int32_t i, std::int32_t n) override {
        return trap_.at("csp2GetPacket"), inner_.csp2GetPacket(b, i, n);
    }
    std::int32_t csp2TimeStamp2Str(std::uint8_t* s, std::uint8_t* t, std::int32_t n) override {
        return trap_.at("csp2TimeStamp2Str"), inner_.csp2TimeStamp2Str(s, t, n);
    }
    std::int32_t csp2GetDeviceId(std::uint8_t* id, std::int32_t n) override {
        return trap_.at("csp2GetDeviceId"), inner_.csp2GetDeviceId(id, n);
    }
    std::int32_t csp2GetSystemStatus() override {
        return trap_.at("csp2GetSystemStatus"), inner_.csp2GetSystemStatus();
    }
    std::int32_t csp2ClearData() override { return trap_.at("csp2ClearData"), inner_.csp2ClearData(); }
    std::int32_t csp2GetTime(std::uint8_t* c) override { return trap_.at("csp2GetTime"), inner_.csp2GetTime(c); }
    std::int32_t csp2SetTime(std::uint8_t* c) override { return trap_.at("csp2SetTime"), inner_.csp2SetTime(c); }
    std::int32_t csp2SetDefaults() override { return trap_.at("csp2SetDefaults"), inner_.csp2SetDefaults(); }
    std::int32_t csp2GetParam(std::int32_t p, std::uint8_t* b, std::int32_t n) override {
        return trap_.at("csp2GetParam"), inner_.csp2GetParam(p, b, n);
    }
    std::int32_t csp2SetParam(std::int32_t p, std::uint8_t* b, std::int32_t n) override {
        return trap_.at("csp2SetParam"), inner_.csp2SetParam(p, b, n);
    }
    std::int32_t csp2GetProtocol() override { return trap_.at("csp2GetProtocol"), inner_.csp2GetProtocol(); }
    std::int32_t csp2GetASCIIMode() override { return trap_.at("csp2GetASCIIMode"), inner_.csp2GetASCIIMode(); }
    std::int32_t csp2GetRTCMode() override { return trap_.at("csp2GetRTCMode"), inner_.csp2GetRTCMode(); }
    std::int32_t csp2GetSwVersion(std::uint8_t* b, std::int32_t n) override {
        return trap_.at("csp2GetSwVersion"), inner_.csp2GetSwVersion(b, n);
    }

private:
    LoadedCSP2 inner_;
    Trap& trap_;
};

class TrappedClock final : public Clock {
public:
    explicit TrappedClock(Trap& trap) : trap_(trap) {}
    TimeOfDay time_of_day() override { return trap_.at("clock"), system_.time_of_day(); }
    LocalDateTime local_now() override { return trap_.at("clock"), system_.local_now(); }

private:
    Trap& trap_;
    SystemClock system_;
};

// The settling pause, without the wait.
class TrappedPause final : public Pause {
public:
    explicit TrappedPause(Trap& trap) : trap_(trap) {}
    void scanner_pause() override { trap_.at("pause"); }

private:
    Trap& trap_;
};

class TrappedListing final : public DirectoryListing {
public:
    explicit TrappedListing(Trap& trap) : trap_(trap) {}
    std::int64_t count_ordinary_files(std::u16string_view) override { return trap_.at("listing"), 3; }

private:
    Trap& trap_;
};

// A member with no arguments, called through the vtable or by its DISPID through Invoke.
struct Member {
    const wchar_t* name;
    enum { method, variant_get, short_get } shape;
    HRESULT (STDMETHODCALLTYPE ClickerObject::*method_call)();
    HRESULT (STDMETHODCALLTYPE ClickerObject::*variant_call)(VARIANT*);
    HRESULT (STDMETHODCALLTYPE ClickerObject::*short_call)(short*);
};

const Member members[] = {
    {L"open_clicker", Member::method, &ClickerObject::open_clicker, nullptr, nullptr},
    {L"close_clicker", Member::method, &ClickerObject::close_clicker, nullptr, nullptr},
    {L"alldata", Member::variant_get, nullptr, &ClickerObject::get_alldata, nullptr},
    {L"EmptyScanner", Member::method, &ClickerObject::EmptyScanner, nullptr, nullptr},
    {L"reset_params", Member::method, &ClickerObject::reset_params, nullptr, nullptr},
    {L"showparams", Member::variant_get, nullptr, &ClickerObject::get_showparams, nullptr},
    {L"SwVersion", Member::variant_get, nullptr, &ClickerObject::get_SwVersion, nullptr},
    {L"getdate", Member::method, &ClickerObject::getdate, nullptr, nullptr},
    {L"setdate", Member::method, &ClickerObject::setdate, nullptr, nullptr},
    {L"num_files", Member::short_get, nullptr, nullptr, &ClickerObject::get_num_files},
};

struct Outcome {
    HRESULT hr = S_OK;
    HRESULT code = S_OK;      // the failure's code: the HRESULT itself, or the EXCEPINFO's scode
    bool out_cleared = true;  // an out value left empty on failure
    bool stale_text = false;  // a description from an earlier error came along
};

// Leaves an error object on the thread that nobody reads: a runtime error (94) of another member.
void leave_error_behind(ClickerObject* object) {
    VARIANT null_value;
    V_VT(&null_value) = VT_NULL;
    object->put_newparams(&null_value);
}

bool stale(BSTR description) {
    return description != nullptr && std::wstring(description) == L"Invalid use of Null";
}

Outcome through_vtable(ClickerObject* object, const Member& m) {
    Outcome o;
    leave_error_behind(object);
    VARIANT v;
    V_VT(&v) = VT_I4;  // a caller's leftover, to be replaced
    V_I4(&v) = 77;
    short n = 77;
    switch (m.shape) {
        case Member::method:
            o.hr = (object->*m.method_call)();
            break;
        case Member::variant_get:
            o.hr = (object->*m.variant_call)(&v);
            o.out_cleared = V_VT(&v) == VT_EMPTY;
            break;
        case Member::short_get:
            o.hr = (object->*m.short_call)(&n);
            o.out_cleared = n == 0;
            break;
    }
    if (SUCCEEDED(o.hr)) VariantClear(&v);
    o.code = o.hr;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK) {
        BSTR description = nullptr;
        info->GetDescription(&description);
        o.stale_text = FAILED(o.hr) && stale(description);
        SysFreeString(description);
        info->Release();
    }
    return o;
}

Outcome through_invoke(ClickerObject* object, const Member& m) {
    Outcome o;
    leave_error_behind(object);
    OLECHAR* name = const_cast<OLECHAR*>(m.name);
    DISPID id = 0;
    o.hr = object->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id);
    if (FAILED(o.hr)) return o;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    const WORD flags = m.shape == Member::method ? DISPATCH_METHOD : DISPATCH_PROPERTYGET | DISPATCH_METHOD;
    o.hr = object->Invoke(id, IID_NULL, 0x409, flags, &none, &result, &exception, nullptr);
    o.code = o.hr == DISP_E_EXCEPTION ? exception.scode : o.hr;
    o.out_cleared = FAILED(o.hr) ? V_VT(&result) == VT_EMPTY : true;
    o.stale_text = stale(exception.bstrDescription);
    VariantClear(&result);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    return o;
}

void set_text(ClickerObject* object, HRESULT (STDMETHODCALLTYPE ClickerObject::*put)(VARIANT*), const wchar_t* text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    (object->*put)(&v);
    VariantClear(&v);
}

// The device file of the simulated scanner as the run wrote it, written back before each row so that
// every row starts with the barcodes on the scanner.
struct Device {
    std::wstring path;
    std::string text;
    void read() {
        const wchar_t* p = _wgetenv(L"HARROWTALLY_SIM_STATE");
        path = p ? p : L"";
        if (FILE* f = path.empty() ? nullptr : _wfopen(path.c_str(), L"rb")) {
            char buffer[4096];
            std::size_t n = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
            std::fclose(f);
        }
    }
    void restore() const {
        if (FILE* f = path.empty() ? nullptr : _wfopen(path.c_str(), L"wb")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }
};

// One object for a whole row: it must keep working after every exception it has met.
ClickerObject* new_object(ITypeInfo* info, const ScannerServices& services) {
    auto* object = new ClickerObject(info, services);
    VARIANT port;
    V_VT(&port) = VT_I2;
    V_I2(&port) = 3;
    object->put_startport(port);
    set_text(object, &ClickerObject::put_newparams, L"0205031209");
    set_text(object, &ClickerObject::put_cur_clicker_params, L"020512");
    return object;
}

// Each member, through the vtable and through IDispatch::Invoke, with its first, second, third...
// allocation refused in turn, until a call makes no more allocations than that: every call comes
// back with S_OK, a runtime error or E_OUTOFMEMORY (through Invoke: DISP_E_EXCEPTION with one of
// those), no C++ exception leaves it, the port is released and the object keeps working. Runs
// before anything else calls IDispatch, so the first calls also meet a refusal while the dispatch
// table is being built.
struct SweepMember {
    const wchar_t* name;
    std::function<HRESULT(ClickerObject*)> vtable;  // its call through the vtable
    WORD flags;                                     // 0: not called through Invoke
};

bool acceptable(HRESULT code) {
    return code == S_OK || code == E_OUTOFMEMORY || HRESULT_FACILITY(code) == FACILITY_CONTROL;
}

void memory_sweep(ITypeInfo* info, const ScannerServices& services, TrappedLibrary& library, const Device& device) {
    auto variant_get = [](HRESULT (STDMETHODCALLTYPE ClickerObject::*get)(VARIANT*)) {
        return [get](ClickerObject* o) {
            VARIANT v;
            VariantInit(&v);
            const HRESULT hr = (o->*get)(&v);
            VariantClear(&v);
            return hr;
        };
    };
    auto method = [](HRESULT (STDMETHODCALLTYPE ClickerObject::*call)()) {
        return [call](ClickerObject* o) { return (o->*call)(); };
    };
    auto text_put = [](HRESULT (STDMETHODCALLTYPE ClickerObject::*put)(VARIANT*), const wchar_t* text) {
        return [put, text](ClickerObject* o) {
            VARIANT v;
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(text);
            const HRESULT hr = (o->*put)(&v);
            VariantClear(&v);
            return hr;
        };
    };
    const WORD get = DISPATCH_PROPERTYGET | DISPATCH_METHOD;
    const SweepMember sweep[] = {
        {L"hello",
         [](ClickerObject* o) {
             BSTR b = nullptr;
             const HRESULT hr = o->get_hello(&b);
             SysFreeString(b);
             return hr;
         },
         get},
        {L"startport",
         [](ClickerObject* o) {
             VARIANT v;
             V_VT(&v) = VT_BSTR;
             V_BSTR(&v) = SysAllocString(L"3");
             const HRESULT hr = o->put_startport(v);
             VariantClear(&v);
             return hr;
         },
         0},
        {L"lastport", text_put(&ClickerObject::put_lastport, L"3"), 0},
        {L"newparams",
         [](ClickerObject* o) {
             VARIANT v;
             V_VT(&v) = VT_NULL;
             return o->put_newparams(&v);  // a runtime error (94)
         },
         0},
        {L"cur_clicker_params", text_put(&ClickerObject::put_cur_clicker_params, L"020512"), 0},
        {L"log", variant_get(&ClickerObject::get_log), get},
        {L"open_clicker", method(&ClickerObject::open_clicker), DISPATCH_METHOD},
        {L"sbarcode", variant_get(&ClickerObject::get_sbarcode), get},
        {L"alldata", variant_get(&ClickerObject::get_alldata), get},
        {L"showparams", variant_get(&ClickerObject::get_showparams), get},
        {L"SwVersion", variant_get(&ClickerObject::get_SwVersion), get},
        {L"getdate", method(&ClickerObject::getdate), DISPATCH_METHOD},
        {L"setdate", method(&ClickerObject::setdate), DISPATCH_METHOD},
        {L"EmptyScanner", method(&ClickerObject::EmptyScanner), DISPATCH_METHOD},
        {L"reset_params", method(&ClickerObject::reset_params), DISPATCH_METHOD},
        {L"num_files",
         [](ClickerObject* o) {
             short n = 0;
             return o->get_num_files(&n);
         },
         get},
    };
    constexpr long most_allocations = 5000;
    for (const SweepMember& m : sweep) {
        const std::string name(m.name, m.name + std::wcslen(m.name));
        std::string detail;
        long calls = 0;
        for (int path = 0; path < 2; ++path) {
            if (path == 1 && m.flags == 0) break;
            for (long refused = 0; refused < most_allocations; ++refused) {
                device.restore();
                ClickerObject* object = new_object(info, services);
                object->put_get_barcode(1);
                OLECHAR* dispatch_name = const_cast<OLECHAR*>(m.name);
                DISPID id = 0;
                DISPPARAMS none{nullptr, nullptr, 0, 0};
                VARIANT result;
                VariantInit(&result);
                EXCEPINFO exception{};
                HRESULT hr = S_OK, code = S_OK;
                bool escaped = false;
                memory::count = 0;
                memory::refused = refused;
                memory::armed = true;
                try {
                    if (path == 0) {
                        hr = code = m.vtable(object);
                    } else {
                        hr = object->GetIDsOfNames(IID_NULL, &dispatch_name, 1, 0x409, &id);
                        if (SUCCEEDED(hr))
                            hr = object->Invoke(id, IID_NULL, 0x409, m.flags, &none, &result, &exception, nullptr);
                        code = hr == DISP_E_EXCEPTION ? exception.scode : hr;
                    }
                } catch (...) {
                    escaped = true;
                }
                memory::armed = false;
                const long made = memory::count;
                VariantClear(&result);
                SysFreeString(exception.bstrDescription);
                SysFreeString(exception.bstrSource);
                SysFreeString(exception.bstrHelpFile);
                ++calls;
                const std::string where =
                    (path == 0 ? " (vtable)" : " (Invoke)") + std::string(" allocation ") + std::to_string(refused);
                if (escaped) detail += "a C++ exception left it" + where + "; ";
                if (!escaped && !acceptable(code)) detail += hex(hr) + "/" + hex(code) + where + "; ";
                if (library.holding) detail += "port left open" + where + "; ";
                library.settle();
                BSTR hello = nullptr;
                if (object->get_hello(&hello) != S_OK || hello == nullptr) detail += "object broken" + where + "; ";
                SysFreeString(hello);
                object->Release();
                if (made <= refused) break;  // the call did not get as far as the refused allocation
                if (detail.size() > 600) break;
            }
        }
        check(detail.empty(),
              "out of memory at each allocation of " + name + ": an HRESULT, never an exception (" +
                  std::to_string(calls) + " calls)",
              detail);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: boundary_test PATH_OF_CSP2A_DLL\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITypeInfo* info = nullptr;
    const HRESULT loaded = clicker_type_info(&info);
    check(SUCCEEDED(loaded), "type information of _Clicker", hex(loaded));
    if (FAILED(loaded)) {
        report.finish("boundary");
        return 1;
    }

    Device device;
    device.read();
    check(!device.text.empty(), "the simulated scanner's device file (HARROWTALLY_SIM_STATE)");
    Trap trap;
    TrappedLibrary library(argv[1], trap);
    TrappedClock clock(trap);
    TrappedPause pause(trap);
    TrappedListing listing(trap);
    ScannerServices services;
    services.library = &library;
    services.clock = &clock;
    services.pause = &pause;
    services.listing = &listing;

    memory_sweep(info, services, library, device);

    // Without a trap every member works on the simulated scanner: the rows below start from there.
    {
        device.restore();
        ClickerObject* object = new_object(info, services);
        std::string detail;
        for (const Member& m : members) {
            const Outcome o = through_vtable(object, m);
            if (o.hr != S_OK) detail += std::string(m.name, m.name + std::wcslen(m.name)) + " " + hex(o.hr) + " ";
            if (library.holding) detail += std::string(m.name, m.name + std::wcslen(m.name)) + " left the port open ";
        }
        object->Release();
        check(detail.empty(), "every member works on the simulated scanner without a trap", detail);
    }

    const char* const targets[] = {
        "csp2Init",      "csp2Restore",     "csp2WakeUp",        "csp2Interrogate", "csp2PowerDown",
        "csp2ReadData",  "csp2GetPacket",   "csp2TimeStamp2Str", "csp2GetDeviceId", "csp2GetSystemStatus",
        "csp2ClearData", "csp2GetTime",     "csp2SetTime",       "csp2SetDefaults", "csp2GetParam",
        "csp2SetParam",  "csp2GetProtocol", "csp2GetASCIIMode",  "csp2GetRTCMode",  "csp2GetSwVersion",
        "clock",         "pause",           "listing",
    };
    int row = 0;
    for (const char* target : targets) {
        device.restore();
        ClickerObject* object = new_object(info, services);
        std::string detail;
        int reached = 0;
        int column = 0;
        for (const Member& m : members) {
            for (int path = 0; path < 2; ++path, ++column) {
                const Thrown kind = static_cast<Thrown>((row + column) % 3);
                trap.target = target;
                trap.kind = kind;
                trap.thrown = 0;
                const Outcome o = path == 0 ? through_vtable(object, m) : through_invoke(object, m);
                trap.target = "";
                const bool restore_threw = std::strcmp(target, "csp2Restore") == 0;
                const bool balanced = !library.holding;
                library.settle();
                const std::string where = std::string(m.name, m.name + std::wcslen(m.name)) +
                                          (path == 0 ? " (vtable)" : " (Invoke)") + " with " +
                                          thrown_names[static_cast<int>(kind)];
                if (trap.thrown == 0) {
                    // Not reached: an ordinary outcome, a runtime error at worst.
                    if (FAILED(o.code) && HRESULT_FACILITY(o.code) != FACILITY_CONTROL)
                        detail += where + ": " + hex(o.hr) + " without an exception; ";
                    if (!balanced) detail += where + ": port left open without an exception; ";
                    continue;
                }
                ++reached;
                const HRESULT want = expected_code(kind);
                const bool right_code = path == 0 ? o.hr == want : (o.hr == DISP_E_EXCEPTION && o.code == want);
                if (!right_code) detail += where + ": " + hex(o.hr) + "/" + hex(o.code) + "; ";
                if (!o.out_cleared) detail += where + ": out value not cleared; ";
                if (o.stale_text) detail += where + ": an earlier error's description came along; ";
                if (!balanced && !restore_threw) detail += where + ": port left open; ";
                // The object goes on working after the exception.
                BSTR hello = nullptr;
                if (object->get_hello(&hello) != S_OK || hello == nullptr) detail += where + ": object broken; ";
                SysFreeString(hello);
            }
        }
        // And the member works again once nothing throws.
        for (const Member& m : members) {
            const Outcome o = through_vtable(object, m);
            if (o.hr != S_OK)
                detail += "afterwards " + std::string(m.name, m.name + std::wcslen(m.name)) + " " + hex(o.hr) + "; ";
        }
        object->Release();
        if (reached == 0) detail += "no member reached it; ";
        check(detail.empty(),
              std::string("an exception thrown in ") + target + " reaches the caller as an HRESULT (" +
                  std::to_string(reached) + " calls)",
              detail);
        ++row;
    }

    const long objects_left = module_state().objects;
    check(objects_left == 0, "no object left alive", std::to_string(objects_left));
    info->Release();
    CoUninitialize();
    return report.finish("boundary");
}
