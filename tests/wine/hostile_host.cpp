// A C++ host that uses the registered component carelessly or with hostile intent: it releases the
// last reference from a timer while a member waits in the settling pause (called through the vtable
// and through IDispatch::Invoke), keeps a chain of posted messages going through the pause, passes
// malformed arguments, calls _Clicker from another apartment through the automation marshaler, and
// downloads from six apartments at once. Every call must come back, in time, with an HRESULT; the
// heap must stay intact (run under WINEDEBUG=warn+heap, which fills and checks freed blocks). The
// class must be registered; the simulated scanner sits on port 3 (HARROWTALLY_SIM_STATE).
// Usage: hostile_host [threads|pause|chain|arguments|decimals|locale|shapes|marshal]   (all by default)
//        hostile_host surrogate   (the class registered for the other bitness only)
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "harrowtally_h.h"
#include "message_window.h"
#include "test_report.h"

using Microsoft::WRL::ComPtr;

namespace {

wine_test::Report report("hostile host");
using wine_test::hex;

void check(bool ok, const std::string& name, const std::string& detail = {}) {
    report.check(ok, name, detail);
}

constexpr HRESULT type_mismatch = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 13);

ComPtr<_Clicker> new_clicker() {
    ComPtr<_Clicker> clicker;
    CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(clicker.GetAddressOf()));
    return clicker;
}

HRESULT on_port_3(_Clicker* clicker) {
    VARIANT port;
    V_VT(&port) = VT_I2;
    V_I2(&port) = 3;
    return clicker->put_startport(port);
}

HRESULT can_unload_now() {
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    const auto can_unload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Harrowtally.dll"), "DllCanUnloadNow")));
    return can_unload ? can_unload() : E_FAIL;
}

// A member without arguments called by name through IDispatch::Invoke, as a late-bound host calls it.
HRESULT invoke_by_name(_Clicker* clicker, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (const HRESULT hr = clicker->GetIDsOfNames(IID_NULL, names, 1, 0x409, &id); FAILED(hr)) return hr;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr =
        clicker->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    VariantClear(&result);
    return hr;
}

// The members that wait in the settling pause, called through the vtable and through Invoke.
struct PausingMember {
    const char* name;
    std::function<HRESULT(_Clicker*)> call;
};
const PausingMember pausing_members[] = {
    {"open_clicker through Invoke", [](_Clicker* c) { return invoke_by_name(c, L"open_clicker"); }},
    {"alldata through Invoke", [](_Clicker* c) { return invoke_by_name(c, L"alldata"); }},
    {"EmptyScanner through Invoke", [](_Clicker* c) { return invoke_by_name(c, L"EmptyScanner"); }},
    {"open_clicker", [](_Clicker* c) { return c->open_clicker(); }},
    {"alldata",
     [](_Clicker* c) {
         VARIANT record;
         VariantInit(&record);
         const HRESULT hr = c->get_alldata(&record);
         VariantClear(&record);
         return hr;
     }},
    {"EmptyScanner", [](_Clicker* c) { return c->EmptyScanner(); }},
};

// The timer releases the host's only reference while the member waits.
_Clicker* to_release = nullptr;
ULONG left_after_release = 99;

void CALLBACK release_from_timer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (to_release != nullptr) left_after_release = std::exchange(to_release, nullptr)->Release();
}

void release_during_pause() {
    for (const PausingMember& member : pausing_members) {
        ComPtr<_Clicker> clicker = new_clicker();
        if (!clicker) {
            check(false, std::string(member.name) + ": object created");
            continue;
        }
        on_port_3(clicker.Get());
        to_release = clicker.Detach();
        left_after_release = 99;
        SetTimer(nullptr, 0, 20, release_from_timer);
        _Clicker* raw = to_release;
        const HRESULT hr = member.call(raw);
        const bool released = to_release == nullptr;
        if (!released) to_release->Release();
        to_release = nullptr;
        check(released && SUCCEEDED(hr) && can_unload_now() == S_OK && wine_test::heaps_valid(),
              std::string(member.name) + ": last reference released during the pause, object gone after the call",
              "released " + std::to_string(released) + ", hr " + hex(hr) + ", references left " +
                  std::to_string(left_after_release));
    }
}

// A window that posts itself a message from each message it gets, as long as `chain_running`.
// The chain stops itself 20 s after it began, so that a pause that never ends fails instead of
// hanging (a timer would not do: WM_TIMER comes only when no posted message waits).
bool chain_running = false;
long chain_messages = 0;
ULONGLONG chain_end = 0;

LRESULT CALLBACK chain_window(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) {
        ++chain_messages;
        if (chain_running && GetTickCount64() < chain_end) PostMessageW(window, WM_APP, 0, 0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

void message_chain_during_pause() {
    HWND window = wine_test::message_window(L"HarrowtallyChain", chain_window);
    for (const PausingMember& member : pausing_members) {
        ComPtr<_Clicker> clicker = new_clicker();
        if (!clicker) continue;
        on_port_3(clicker.Get());
        ULONGLONG start = GetTickCount64();
        member.call(clicker.Get());
        const ULONGLONG alone = GetTickCount64() - start;
        chain_running = true;
        chain_messages = 0;
        start = GetTickCount64();
        chain_end = start + 20000;
        PostMessageW(window, WM_APP, 0, 0);
        const HRESULT hr = member.call(clicker.Get());
        const ULONGLONG with_chain = GetTickCount64() - start;
        chain_running = false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        check(SUCCEEDED(hr) && with_chain < alone + 2000 && chain_messages > 0,
              std::string(member.name) + " returns on time while a posted-message chain runs",
              hex(hr) + ", " + std::to_string(with_chain) + " ms with the chain (" + std::to_string(chain_messages) +
                  " messages), " + std::to_string(alone) + " ms alone");
    }
    DestroyWindow(window);
}

// Arguments no script host sends, through the vtable and through Invoke: each must come back with
// an error, not bring the process down.
HRESULT invoke(IDispatch* object, const wchar_t* member, WORD flags, VARIANT* argument, SCODE* scode = nullptr) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    if (FAILED(object->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id))) return DISP_E_UNKNOWNNAME;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{argument, &named, 1, 1};
    EXCEPINFO exception{};
    const HRESULT hr = object->Invoke(id, IID_NULL, 0x409, flags, &params, nullptr, &exception, nullptr);
    if (scode != nullptr) *scode = exception.scode;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

void malformed_arguments() {
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    VARIANT null_array;
    V_VT(&null_array) = VT_BYREF | VT_ARRAY | VT_I4;
    V_ARRAYREF(&null_array) = nullptr;
    VARIANT self_reference;
    V_VT(&self_reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&self_reference) = &self_reference;
    std::vector<VARIANT> chain(100000);
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        V_VT(&chain[i]) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&chain[i]) = &chain[i + 1];
    }
    V_VT(&chain.back()) = VT_I2;
    V_I2(&chain.back()) = 3;
    VARIANT bad_decimal;
    VariantInit(&bad_decimal);
    V_DECIMAL(&bad_decimal).scale = 200;
    V_DECIMAL(&bad_decimal).Lo64 = 3;
    V_VT(&bad_decimal) = VT_DECIMAL;
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 3;
    struct Argument {
        const char* what;
        VARIANT* value;
    };
    const Argument arguments[] = {{"a null by-reference array", &null_array},
                                  {"a VARIANT that references itself", &self_reference},
                                  {"a chain of 100000 VARIANT references", chain.data()},
                                  {"a DECIMAL of scale 200", &bad_decimal}};
    for (const Argument& a : arguments) {
        const HRESULT hrs[] = {
            clicker->put_startport(*a.value),
            clicker->put_lastport(a.value),
            clicker->put_newparams(a.value),
            invoke(clicker.Get(), L"startport", DISPATCH_PROPERTYPUT, a.value),
            invoke(clicker.Get(), L"lastport", DISPATCH_PROPERTYPUT, a.value),
            invoke(clicker.Get(), L"cur_clicker_params", DISPATCH_PROPERTYPUT, a.value),
            invoke(clicker.Get(), L"pnewdatetime", DISPATCH_PROPERTYPUT, a.value),
        };
        std::string detail;
        bool all_failed = true;
        for (HRESULT hr : hrs) {
            all_failed = all_failed && FAILED(hr);
            detail += hex(hr) + " ";
        }
        check(all_failed, std::string(a.what) + " is refused through the vtable and Invoke", detail);
    }
    VARIANT empty;
    VariantInit(&empty);
    clicker->put_startport(empty);
    const HRESULT set_value = clicker->putref_startport(number);
    const HRESULT set_by_invoke = invoke(clicker.Get(), L"startport", DISPATCH_PROPERTYPUTREF, &number);
    VARIANT held;
    VariantInit(&held);
    clicker->get_startport(&held);
    check(set_value == type_mismatch && set_by_invoke == DISP_E_EXCEPTION && V_VT(&held) == VT_EMPTY,
          "setting startport to a value that is no object: 13, startport unchanged",
          hex(set_value) + " " + hex(set_by_invoke) + " vt " + std::to_string(V_VT(&held)));

    LPOLESTR null_name[] = {nullptr};
    LPOLESTR second_null[] = {const_cast<LPOLESTR>(L"startport"), nullptr};
    DISPID ids[2] = {};
    const HRESULT one = clicker->GetIDsOfNames(IID_NULL, null_name, 1, 0x409, ids);
    const HRESULT two = clicker->GetIDsOfNames(IID_NULL, second_null, 2, 0x409, ids);
    check(FAILED(one) && FAILED(two), "GetIDsOfNames with a null name fails", hex(one) + " " + hex(two));
}

// A DECIMAL with more than 28 decimal places is no value of the platform's: every member that takes
// a value gives 13 for it, pnewdatetime too (whose text the platform would otherwise write).
void oversized_decimal_scales() {
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    std::string detail;
    for (const BYTE scale : {BYTE{29}, BYTE{200}}) {
        for (const char* member : {"pnewdatetime", "newparams", "cur_clicker_params", "startport"}) {
            VARIANT value;
            VariantInit(&value);
            V_DECIMAL(&value).scale = scale;
            V_DECIMAL(&value).Lo64 = 3;
            V_VT(&value) = VT_DECIMAL;
            SCODE scode = S_OK;
            const std::wstring name(member, member + std::char_traits<char>::length(member));
            const HRESULT hr = invoke(clicker.Get(), name.c_str(), DISPATCH_PROPERTYPUT, &value, &scode);
            // pnewdatetime takes a text: a value that gives none is the dispatcher's type mismatch,
            // which a script sees as error 13 too.
            const bool refused = std::string(member) == "pnewdatetime"
                                     ? hr == DISP_E_TYPEMISMATCH
                                     : hr == DISP_E_EXCEPTION && scode == static_cast<SCODE>(0x800A000D);
            if (!refused) {
                detail +=
                    std::string(member) + " scale " + std::to_string(scale) + ": " + hex(hr) + " " + hex(scode) + "; ";
            }
        }
    }
    check(detail.empty(), "a DECIMAL of scale 29 or 200 gives 13 to every member that takes a value", detail);
}

// A startport text is read in the locale the caller gives Invoke, and a vtable call afterwards reads
// it in the user's locale again: "3,5" is 3.5 in German (the search starts at 4) and 35 in English.
void locale_of_the_call() {
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"3,5");
    clicker->put_startport(text);
    VariantClear(&text);
    LPOLESTR name = const_cast<LPOLESTR>(L"open_clicker");
    DISPID open = DISPID_UNKNOWN;
    clicker->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &open);
    const auto log = [&] {
        VARIANT value;
        VariantInit(&value);
        clicker->get_log(&value);
        std::string start;
        for (UINT i = 0; V_VT(&value) == VT_BSTR && i < 7 && i < SysStringLen(V_BSTR(&value)); ++i) {
            start += static_cast<char>(V_BSTR(&value)[i]);
        }
        VariantClear(&value);
        return start;
    };
    std::string detail;
    const struct {
        LCID lcid;  // 0: through the vtable
        const char* log;
    } calls[] = {{0x407, "OPNC:04"}, {0, "OPNC:35"}, {0x409, "OPNC:35"}, {0x407, "OPNC:04"}};
    for (const auto& call : calls) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        const HRESULT hr = call.lcid == 0 ? clicker->open_clicker()
                                          : clicker->Invoke(open, IID_NULL, call.lcid, DISPATCH_METHOD, &none, nullptr,
                                                            nullptr, nullptr);
        const std::string got = log();
        if (hr != S_OK || got != call.log) {
            detail += "lcid " + hex(static_cast<long>(call.lcid)) + ": " + hex(hr) + " " + got + "; ";
        }
    }
    check(detail.empty(), "startport is read in the locale of each call", detail);
}

// Shapes of a call that no caller may send: each gets its error from the one check in front of every
// path (the fast path, the by-reference puts, the type library's dispatcher), never a crash or S_OK,
// and leaves no error object behind; neither does a null out pointer after a runtime error.
void malformed_shapes() {
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    VARIANT number;
    V_VT(&number) = VT_I2;
    V_I2(&number) = 3;
    VARIANT impossible;  // by reference, array and vector at once, with no pointer behind it
    V_VT(&impossible) = 0x7fff;
    V_I4(&impossible) = 1234;
    DISPID put = DISPID_PROPERTYPUT;
    struct Shape {
        const char* what;
        DISPPARAMS params;
        WORD flags;
        HRESULT expected;
    };
    const Shape shapes[] = {
        {"one named argument without its name", {&number, nullptr, 1, 1}, DISPATCH_PROPERTYPUT, E_INVALIDARG},
        {"0x7fffffff arguments in an array of one",
         {&number, &put, 0x7fffffff, 1},
         DISPATCH_PROPERTYPUT,
         DISP_E_BADPARAMCOUNT},
        {"a named argument and no argument",
         {nullptr, &put, 0, 1},
         DISPATCH_PROPERTYGET | DISPATCH_METHOD,
         E_INVALIDARG},
        {"arguments without their array", {nullptr, &put, 1, 1}, DISPATCH_PROPERTYPUT, E_INVALIDARG},
        {"a variant type 0x7fff", {&impossible, &put, 1, 1}, DISPATCH_PROPERTYPUT, DISP_E_BADVARTYPE},
    };
    const wchar_t* members[] = {L"startport",    L"get_barcode", L"lastport", L"newparams",    L"cur_clicker_params",
                                L"pnewdatetime", L"hello",       L"comport",  L"num_barcodes", L"open_ok"};
    for (const Shape& shape : shapes) {
        std::string detail;
        for (const wchar_t* member : members) {
            DISPID id = DISPID_UNKNOWN;
            LPOLESTR name = const_cast<LPOLESTR>(member);
            clicker->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id);
            clicker->putref_startport(number);  // error 13: an error object to leave behind
            DISPPARAMS params = shape.params;
            VARIANT result;
            VariantInit(&result);
            const HRESULT hr = clicker->Invoke(id, IID_NULL, 0x409, shape.flags, &params, &result, nullptr, nullptr);
            VariantClear(&result);
            ComPtr<IErrorInfo> left;
            const HRESULT info = GetErrorInfo(0, left.GetAddressOf());
            if (hr != shape.expected || info != S_FALSE) {
                detail += std::string(member, member + wcslen(member)) + ": " + hex(hr) +
                          (info == S_FALSE ? "" : " with an error object") + "; ";
            }
        }
        check(detail.empty(), std::string(shape.what) + ": " + hex(shape.expected) + " for every member", detail);
    }
    const HRESULT thirteen = clicker->putref_startport(number);
    const HRESULT pointer = clicker->get_hello(nullptr);
    ComPtr<IErrorInfo> left;
    const HRESULT info = GetErrorInfo(0, left.GetAddressOf());
    check(thirteen == type_mismatch && pointer == E_POINTER && info == S_FALSE,
          "E_POINTER after a runtime error leaves no error object",
          hex(thirteen) + " " + hex(pointer) + " " + hex(info));
}

// Calls through _Clicker's vtable on a proxy (another apartment, or the surrogate's process): texts,
// by-reference arguments, a download and an error with its description. Returns what failed.
std::vector<std::string> calls_through_proxy(IDispatch* dispatch) {
    std::vector<std::string> failures;
    ComPtr<_Clicker> clicker;
    HRESULT hr = dispatch->QueryInterface(IID_PPV_ARGS(clicker.GetAddressOf()));
    if (FAILED(hr)) return {"query _Clicker " + hex(hr)};
    BSTR hello = nullptr;
    hr = clicker->get_hello(&hello);
    if (FAILED(hr) || hello == nullptr || std::wstring(hello) != L"Clicker control successfully installed") {
        failures.push_back("hello " + hex(hr));
    }
    SysFreeString(hello);
    VARIANT port;
    V_VT(&port) = VT_BSTR;
    V_BSTR(&port) = SysAllocString(L"3");
    hr = clicker->put_lastport(&port);
    VARIANT back;
    VariantInit(&back);
    clicker->get_startport(&back);
    if (FAILED(hr) || V_VT(&back) != VT_BSTR || std::wstring(V_BSTR(&back)) != L"3" ||
        std::wstring(V_BSTR(&port)) != L"3") {
        failures.push_back("lastport by reference " + hex(hr));
    }
    VariantClear(&back);
    VariantClear(&port);
    BSTR stamp = SysAllocString(L"051710061226");
    hr = clicker->put_pnewdatetime(&stamp);
    if (FAILED(hr) || std::wstring(stamp) != L"051710061226") {
        failures.push_back("pnewdatetime by reference " + hex(hr));
    }
    SysFreeString(stamp);
    VARIANT_BOOL opened = VARIANT_FALSE;
    hr = clicker->open_clicker();
    clicker->get_open_ok(&opened);
    if (FAILED(hr) || opened != VARIANT_TRUE) failures.push_back("open_clicker " + hex(hr));
    VARIANT null;
    V_VT(&null) = VT_NULL;
    clicker->put_startport(null);
    hr = clicker->open_clicker();
    if (hr != MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 94)) failures.push_back("error 94 " + hex(hr));
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"open_clicker");
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO exception{};
    if (SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id))) {
        hr = dispatch->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &none, nullptr, &exception, nullptr);
    }
    const std::wstring described = exception.bstrDescription ? exception.bstrDescription : L"";
    const std::wstring source = exception.bstrSource ? exception.bstrSource : L"";
    if (hr != DISP_E_EXCEPTION || exception.scode != MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 94) ||
        described != L"Invalid use of Null" || source != L"Harrowtally") {
        failures.push_back("error 94 through IDispatch " + hex(hr));
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return failures;
}

// _Clicker used from a thread of its own apartment through the automation marshaler.
struct CrossApartment {
    IStream* stream = nullptr;
    std::vector<std::string> failures;
};

DWORD WINAPI use_marshaled(void* argument) {
    auto& state = *static_cast<CrossApartment*>(argument);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<IDispatch> dispatch;
        const HRESULT hr = CoGetInterfaceAndReleaseStream(state.stream, IID_PPV_ARGS(dispatch.GetAddressOf()));
        state.failures =
            SUCCEEDED(hr) ? calls_through_proxy(dispatch.Get()) : std::vector<std::string>{"unmarshal " + hex(hr)};
    }
    CoUninitialize();
    return 0;
}

void marshaled_to_another_apartment() {
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    CrossApartment state;
    const HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID__Clicker, clicker.Get(), &state.stream);
    check(SUCCEEDED(hr), "_Clicker marshals to another apartment", hex(hr));
    if (FAILED(hr)) return;
    HANDLE thread = CreateThread(nullptr, 0, use_marshaled, &state, 0, nullptr);
    DWORD index = 0;
    const HRESULT waited = CoWaitForMultipleHandles(0, 60000, 1, &thread, &index);
    CloseHandle(thread);
    std::string detail;
    for (const std::string& f : state.failures) detail += f + "; ";
    check(waited == S_OK && state.failures.empty(),
          "every vtable call through the proxy works, by-reference arguments and errors included", detail);
}

// What one object found on the scanner: the call's HRESULT, open_ok, num_barcodes, serial and
// SwVersion.
struct Found {
    HRESULT hr = E_FAIL;
    bool opened = false;
    short count = -1;
    std::wstring serial;
    std::wstring version;

    bool operator==(const Found&) const = default;
    std::string text() const {
        return hex(hr) + (opened ? " open " : " not open ") + std::to_string(count) + " barcodes, serial " +
               std::string(serial.begin(), serial.end()) + ", version " + std::string(version.begin(), version.end());
    }
};

std::wstring text_of(const VARIANT& v) {
    return V_VT(&v) == VT_BSTR && V_BSTR(&v) ? std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))) : L"?";
}

// A new object on port 3 downloads the scanner, with open_clicker or with alldata.
Found download(bool with_alldata) {
    Found found;
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return found;
    on_port_3(clicker.Get());
    if (with_alldata) {
        VARIANT record;
        VariantInit(&record);
        found.hr = clicker->get_alldata(&record);
        VariantClear(&record);
    } else {
        found.hr = clicker->open_clicker();
    }
    VARIANT_BOOL opened = VARIANT_FALSE;
    clicker->get_open_ok(&opened);
    found.opened = opened == VARIANT_TRUE;
    clicker->get_num_barcodes(&found.count);
    VARIANT v;
    VariantInit(&v);
    clicker->get_serial(&v);
    found.serial = text_of(v);
    VariantClear(&v);
    const HRESULT version = clicker->get_SwVersion(&v);
    found.version = SUCCEEDED(version) ? text_of(v) : L"failed " + std::to_wstring(version);
    VariantClear(&v);
    return found;
}

// The simulated scanner's state file and the names in its folder.
std::wstring state_path() {
    wchar_t path[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"HARROWTALLY_SIM_STATE", path, MAX_PATH);
    return path;
}

std::set<std::wstring> names_beside(const std::wstring& file) {
    std::set<std::wstring> names;
    const std::wstring folder = file.substr(0, file.find_last_of(L'\\') + 1);
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.insert(entry.cFileName);
    while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

std::string contents(const std::wstring& file) {
    std::ifstream in(std::string(file.begin(), file.end()), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Apartment {
    HANDLE go = nullptr;
    int index = 0;
    std::vector<Found> found;
};

constexpr int apartments = 6;
constexpr int objects_per_apartment = 2;

DWORD WINAPI download_in_apartment(void* argument) {
    auto& apartment = *static_cast<Apartment*>(argument);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WaitForSingleObject(apartment.go, 60000);
    for (int k = 0; k < objects_per_apartment; ++k) apartment.found.push_back(download((apartment.index + k) % 2 == 1));
    CoUninitialize();
    return 0;
}

// A thread of the multithreaded apartment: its objects live on the process's one host thread, so
// two such threads' calls meet on that thread.
DWORD WINAPI download_in_mta(void* argument) {
    auto& apartment = *static_cast<Apartment*>(argument);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WaitForSingleObject(apartment.go, 60000);
    apartment.found.push_back(download(apartment.index % 2 == 1));
    CoUninitialize();
    return 0;
}

constexpr HRESULT device_unavailable = static_cast<HRESULT>(0x800A0044);

// The call a timer makes into another object while a member on this thread holds the library.
ComPtr<_Clicker> nested_clicker;
HRESULT nested_hr = S_OK;
void CALLBACK call_from_timer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (nested_clicker) nested_hr = nested_clicker->open_clicker();
}

// A call that reaches the library while a connection on the same thread holds it (two MTA threads'
// objects on the one host thread, or a message handler during the pause) cannot wait for its own
// caller: it fails at once with error 68, and the holder finds the scanner as if alone.
void one_connection_on_a_thread() {
    const Found alone = download(false);
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<Apartment> started(2);
    std::vector<HANDLE> threads;
    for (int i = 0; i < 2; ++i) {
        started[i].go = go;
        started[i].index = i;
        threads.push_back(CreateThread(nullptr, 0, download_in_mta, &started[i], 0, nullptr));
    }
    SetEvent(go);
    for (HANDLE thread : threads) {
        WaitForSingleObject(thread, 180000);
        CloseHandle(thread);
    }
    CloseHandle(go);
    int found_alone = 0;
    int busy = 0;
    std::string detail;
    for (const Apartment& apartment : started) {
        for (const Found& found : apartment.found) {
            found_alone += found == alone;
            busy += found.hr == device_unavailable;
            detail += found.text() + "; ";
        }
    }
    check(found_alone >= 1 && found_alone + busy == 2,
          "two MTA threads downloading at once: each finds the scanner or gets error 68", detail);

    nested_clicker = new_clicker();
    if (nested_clicker) on_port_3(nested_clicker.Get());
    nested_hr = S_OK;
    SetTimer(nullptr, 0, 20, call_from_timer);
    const Found outer = download(false);
    VARIANT_BOOL nested_open = VARIANT_TRUE;
    if (nested_clicker) nested_clicker->get_open_ok(&nested_open);
    nested_clicker.Reset();
    check(nested_hr == device_unavailable && nested_open == VARIANT_FALSE && outer == alone,
          "a call from a message handler during the pause gets error 68 and leaves the holder's download whole",
          hex(nested_hr) + "; holder: " + outer.text());
}

// What a timer calls on an object while a member on the main thread holds the library.
_Clicker* timer_target = nullptr;
HRESULT (*timer_call)(_Clicker*) = nullptr;
HRESULT timer_result = S_OK;
void CALLBACK call_target_from_timer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (timer_target != nullptr && timer_call != nullptr) timer_result = timer_call(timer_target);
}

// Another apartment's object, marshaled to the main thread, served by its own message loop.
struct Worker {
    IStream* stream = nullptr;
    HANDLE ready = nullptr;
    DWORD thread = 0;
};
DWORD WINAPI serve_an_object(void* argument) {
    auto& worker = *static_cast<Worker*>(argument);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<_Clicker> clicker = new_clicker();
        on_port_3(clicker.Get());
        CoMarshalInterThreadInterfaceInStream(IID__Clicker, clicker.Get(), &worker.stream);
        SetEvent(worker.ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }
    CoUninitialize();
    return 0;
}

DWORD WINAPI end_a_hung_run(void*) {
    Sleep(60000);
    std::printf("FAIL the holder calling another apartment's member during its pause -- hung for 60 s\n");
    std::fflush(stdout);
    ExitProcess(3);
}

// Calls made on behalf of the member holding the library get error 68 and change nothing: from a
// message handler on the same object, whose startport is empty (no port to look at, but the
// download's fields to keep), and from another apartment the holder calls out to, which would
// otherwise wait for the holder while the holder waits for it.
void calls_for_the_holder() {
    const std::pair<const char*, HRESULT (*)(_Clicker*)> members[] = {
        {"EmptyScanner", [](_Clicker* c) { return c->EmptyScanner(); }},
        {"reset_params", [](_Clicker* c) { return c->reset_params(); }}};
    for (const auto& [name, call] : members) {
        ComPtr<_Clicker> outer = new_clicker();
        timer_target = outer.Get();
        timer_call = call;
        timer_result = S_OK;
        SetTimer(nullptr, 0, 200, call_target_from_timer);
        const HRESULT hr = outer->open_clicker();
        timer_target = nullptr;
        VARIANT_BOOL open_ok = VARIANT_FALSE;
        outer->get_open_ok(&open_ok);
        check(timer_result == device_unavailable && hr == S_OK && open_ok == VARIANT_TRUE,
              std::string(name) + " on the downloading object with an empty startport gets 68, and open_ok stays",
              hex(timer_result) + ", outer " + hex(hr) + ", open_ok " + std::to_string(open_ok));
    }

    Worker worker;
    worker.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, serve_an_object, &worker, 0, &worker.thread);
    WaitForSingleObject(worker.ready, 30000);
    ComPtr<_Clicker> proxy;
    CoGetInterfaceAndReleaseStream(worker.stream, IID__Clicker, reinterpret_cast<void**>(proxy.GetAddressOf()));
    HANDLE watchdog = CreateThread(nullptr, 0, end_a_hung_run, nullptr, 0, nullptr);
    timer_target = proxy.Get();
    timer_call = [](_Clicker* c) {
        VARIANT version;
        VariantInit(&version);
        const HRESULT hr = c->get_SwVersion(&version);
        VariantClear(&version);
        return hr;
    };
    timer_result = S_OK;
    SetTimer(nullptr, 0, 200, call_target_from_timer);
    const Found holder = download(false);
    timer_target = nullptr;
    TerminateThread(watchdog, 0);
    CloseHandle(watchdog);
    check(timer_result == device_unavailable && holder.hr == S_OK && holder.opened,
          "the holder calling another apartment's member that needs the scanner: 68, and no hang",
          hex(timer_result) + "; holder: " + holder.text());
    proxy.Reset();
    PostThreadMessageW(worker.thread, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(worker.ready);
}

// Thread A holds the library in its settling pause; the message it posted itself tells when.
HANDLE holder_inside = nullptr;
LRESULT CALLBACK holder_window(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) {
        SetEvent(holder_inside);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

DWORD WINAPI hold_the_library(void* argument) {
    auto* found = static_cast<Found*>(argument);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND window = wine_test::message_window(L"HarrowtallyHolder", holder_window);
    PostMessageW(window, WM_APP, 0, 0);
    *found = download(false);
    DestroyWindow(window);
    CoUninitialize();
    return 0;
}

// When the waiting thread's own message came: 0 until it comes.
ULONGLONG waiter_message_at = 0;
LRESULT CALLBACK waiter_window(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) {
        waiter_message_at = GetTickCount64();
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

// Six apartments download at once, each with objects of its own. One connection at a time goes into
// the library, so each finds the scanner as the first download did; the simulator sees no two
// connections at once, changes nothing and leaves no file beside its state file.
void apartments_at_once() {
    const Found alone = download(false);
    check(alone.hr == S_OK && alone.opened && alone.count > 0, "a download alone finds the scanner", alone.text());
    const std::wstring state = state_path();
    const std::set<std::wstring> names_before = names_beside(state);
    const std::string state_before = contents(state);

    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<Apartment> started(apartments);
    std::vector<HANDLE> threads;
    for (int i = 0; i < apartments; ++i) {
        started[i].go = go;
        started[i].index = i;
        threads.push_back(CreateThread(nullptr, 0, download_in_apartment, &started[i], 0, nullptr));
    }
    SetEvent(go);
    std::string detail;
    for (HANDLE thread : threads) {
        if (WaitForSingleObject(thread, 180000) != WAIT_OBJECT_0) detail += "a thread did not end; ";
        CloseHandle(thread);
    }
    CloseHandle(go);
    int calls = 0;
    for (const Apartment& apartment : started) {
        for (const Found& found : apartment.found) {
            ++calls;
            if (!(found == alone))
                detail += "apartment " + std::to_string(apartment.index) + ": " + found.text() + "; ";
        }
    }
    check(detail.empty() && calls == apartments * objects_per_apartment,
          "six apartments downloading at once each find the scanner as one alone does",
          std::to_string(calls) + " downloads; " + detail);
    const std::set<std::wstring> names_after = names_beside(state);
    std::string stray;
    for (const std::wstring& name : names_after) {
        if (!names_before.count(name)) stray += std::string(name.begin(), name.end()) + " ";
    }
    check(names_after == names_before && contents(state) == state_before,
          "the simulator's state file is unchanged and nothing new lies beside it", stray);
    check(wine_test::heaps_valid(), "the heap is intact after the apartments' downloads");

    // A thread that waits for the library dispatches its own messages meanwhile.
    holder_inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    Found held;
    HANDLE holder = CreateThread(nullptr, 0, hold_the_library, &held, 0, nullptr);
    const bool inside = WaitForSingleObject(holder_inside, 30000) == WAIT_OBJECT_0;
    HWND window = wine_test::message_window(L"HarrowtallyWaiter", waiter_window);
    ComPtr<_Clicker> clicker = new_clicker();
    waiter_message_at = 0;
    PostMessageW(window, WM_APP, 0, 0);
    const ULONGLONG start = GetTickCount64();
    VARIANT version;
    VariantInit(&version);
    const HRESULT hr = clicker ? clicker->get_SwVersion(&version) : E_FAIL;
    const ULONGLONG end = GetTickCount64();
    VariantClear(&version);
    WaitForSingleObject(holder, 60000);
    CloseHandle(holder);
    CloseHandle(holder_inside);
    DestroyWindow(window);
    const bool message_during_wait = waiter_message_at >= start && waiter_message_at <= end;
    check(inside && hr == S_OK && end - start >= 300 && message_during_wait && held == alone,
          "a call waits while another apartment's member holds the library, dispatching its messages",
          hex(hr) + ", waited " + std::to_string(end - start) + " ms, own message " +
              (message_during_wait ? "dispatched" : "not dispatched") + " during the wait; holder: " + held.text());
}

// The process's handles: their count where the system gives one (Wine gives 0), and the value the
// next handle gets, which in Wine's handle table is the lowest free slot and so grows with a leak.
struct HandleMark {
    DWORD count = 0;
    std::uintptr_t next = 0;
};

HandleMark handle_mark() {
    HandleMark mark;
    GetProcessHandleCount(GetCurrentProcess(), &mark.count);
    HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(probe);
    mark.next = reinterpret_cast<std::uintptr_t>(probe);
    return mark;
}

// How far `step` moves the handle mark from its tenth run to its twentieth: a leak grows with
// every run, what the system sets up once does not.
template <typename Step>
std::pair<long long, long long> handle_growth(Step&& step) {
    HandleMark second;
    HandleMark last;
    for (int cycle = 1; cycle <= 20; ++cycle) {
        step(cycle);
        last = handle_mark();
        if (cycle == 10) second = last;
    }
    return {static_cast<long long>(last.count) - second.count,
            static_cast<long long>(last.next) - static_cast<long long>(second.next)};
}

std::string growth_text(std::pair<long long, long long> growth) {
    return std::to_string(growth.first) + " handles, next handle " + std::to_string(growth.second);
}

// One thread asks DllCanUnloadNow over and over while another makes objects through the class
// factory and calls them: every object works, and no yes comes while one lives.
std::atomic<bool> racing{false};
std::atomic<long> objects_alive{0};
std::atomic<long> yes_while_alive{0};
HRESULT(STDAPICALLTYPE* ask_can_unload)() = nullptr;
DWORD WINAPI ask_unload_again_and_again(void*) {
    while (racing) {
        const bool alive = objects_alive > 0;
        if (ask_can_unload() == S_OK && alive && objects_alive > 0) ++yes_while_alive;
    }
    return 0;
}

void unload_asked_while_objects_are_made(const std::wstring& component_file) {
    HMODULE module = LoadLibraryW(component_file.c_str());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get_class_object =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ask_can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    if (!get_class_object || !ask_can_unload) {
        check(false, "the component's entry points");
        return;
    }
    racing = true;
    HANDLE asker = CreateThread(nullptr, 0, ask_unload_again_and_again, nullptr, 0, nullptr);
    int made = 0;
    int failed = 0;
    for (const ULONGLONG end = GetTickCount64() + 3000; GetTickCount64() < end; ++made) {
        ComPtr<IClassFactory> factory;
        HRESULT hr = get_class_object(CLSID_Clicker, IID_PPV_ARGS(factory.GetAddressOf()));
        ComPtr<_Clicker> clicker;
        if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_PPV_ARGS(clicker.GetAddressOf()));
        if (SUCCEEDED(hr)) ++objects_alive;
        factory.Reset();
        if (SUCCEEDED(hr)) hr = invoke_by_name(clicker.Get(), L"hello");
        failed += FAILED(hr);
        if (clicker) --objects_alive;
    }
    racing = false;
    WaitForSingleObject(asker, 10000);
    CloseHandle(asker);
    FreeLibrary(module);
    check(failed == 0 && yes_while_alive == 0 && wine_test::heaps_valid(),
          "objects made while another thread asks DllCanUnloadNow all work, and no yes comes while one lives",
          std::to_string(made) + " made, " + std::to_string(failed) + " failed, " + std::to_string(yes_while_alive) +
              " yes while one lived");
}

// Twenty times an object loads the scanner library and goes, and CoFreeUnusedLibraries unloads the
// module: each time both libraries leave the process, and the process's handles grow no more than
// loading and freeing the two files by hand makes them grow (the runtime of a 32-bit MinGW-built
// library keeps two handles of the loading thread per load).
void unload_cycles() {
    // The component alone: the trace's file is no part of what is measured.
    SetEnvironmentVariableW(L"HARROWTALLY_TRACE", nullptr);
    std::string detail;
    std::wstring component_file;
    const auto component_growth = handle_growth([&](int cycle) {
        const std::string at = "cycle " + std::to_string(cycle) + ": ";
        if (ComPtr<_Clicker> clicker = new_clicker()) {
            VARIANT version;
            VariantInit(&version);
            if (FAILED(clicker->get_SwVersion(&version)) || !GetModuleHandleW(L"csp2a.DLL"))
                detail += at + "the scanner library was not used; ";
            VariantClear(&version);
            wchar_t path[MAX_PATH] = L"";
            GetModuleFileNameW(GetModuleHandleW(L"Harrowtally.dll"), path, MAX_PATH);
            component_file = path;
        } else {
            detail += at + "no object; ";
        }
        CoFreeUnusedLibraries();
        if (GetModuleHandleW(L"Harrowtally.dll")) detail += at + "the component is still loaded; ";
        if (GetModuleHandleW(L"csp2a.DLL")) detail += at + "the scanner library is still loaded; ";
    });
    const std::wstring folder = component_file.substr(0, component_file.find_last_of(L'\\') + 1);
    const auto by_hand_growth = handle_growth([&](int) {
        for (const std::wstring& file : {component_file, folder + L"csp2a.DLL"}) {
            if (HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
                FreeLibrary(module);
        }
    });
    check(detail.empty() && component_growth.first <= by_hand_growth.first &&
              component_growth.second <= by_hand_growth.second,
          "20 unload cycles free the component and the scanner library, and cost no more handles than loading "
          "them by hand",
          detail + "cycles: " + growth_text(component_growth) + "; by hand: " + growth_text(by_hand_growth));
    unload_asked_while_objects_are_made(component_file);
}

// A host of the other bitness than the registered component: the class runs in the system's
// surrogate, and _Clicker is marshaled across the processes.
void through_surrogate() {
    ComPtr<IDispatch> dispatch;
    const HRESULT hr =
        CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(dispatch.GetAddressOf()));
    check(SUCCEEDED(hr), "created in the surrogate", hex(hr));
    if (FAILED(hr)) return;
    std::string detail;
    for (const std::string& f : calls_through_proxy(dispatch.Get())) detail += f + "; ";
    check(detail.empty(), "every vtable call through the surrogate works, by-reference arguments and errors included",
          detail);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring only = argc > 1 ? argv[1] : L"";
    // The threads first, while the device still holds its barcodes: the pause section empties it.
    const struct {
        const wchar_t* name;
        void (*run)();
    } sections[] = {{L"threads", apartments_at_once},
                    {L"pause", release_during_pause},
                    {L"chain", message_chain_during_pause},
                    {L"arguments", malformed_arguments},
                    {L"decimals", oversized_decimal_scales},
                    {L"locale", locale_of_the_call},
                    {L"shapes", malformed_shapes},
                    {L"marshal", marshaled_to_another_apartment},
                    {L"holder", calls_for_the_holder},
                    {L"unload", unload_cycles},
                    // Last: under Wine the module stays held once an MTA thread has made an object.
                    {L"mta", one_connection_on_a_thread}};
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (const auto& section : sections) {
        if (only.empty() || only == section.name) section.run();
    }
    // Only when named: a host of the other bitness, served by the surrogate.
    if (only == L"surrogate") through_surrogate();
    CoUninitialize();
    return report.finish("hostile host");
}
