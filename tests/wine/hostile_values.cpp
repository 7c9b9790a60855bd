// A C++ host that hands the registered component hostile values: objects whose default member answers
// the object again by reference, bad values one reference down, failures of the type library's
// dispatcher after an error of ours, a default member read in the caller's locale, and a default
// member that calls into the apartment of a thread that waits for the scanner with a WM_QUIT pending,
// and an object in startport whose QueryInterface replaces startport while it is read back.
// Run under WINEDEBUG=warn+heap; the class must be registered, the simulated scanner on port 3.
// Usage: hostile_values   (a watchdog ends the program after 60 s: a wait that never ends fails)
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <functional>
#include <string>

#include "com/dispatch_ids.h"
#include "counting_dispatch.h"
#include "harrowtally_h.h"
#include "test_report.h"

using Microsoft::WRL::ComPtr;

namespace {

wine_test::Report report("hostile values");
using wine_test::hex;

constexpr HRESULT type_mismatch = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 13);

ComPtr<_Clicker> new_clicker() {
    ComPtr<_Clicker> clicker;
    CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(clicker.GetAddressOf()));
    return clicker;
}

bool error_object_left() {
    ComPtr<IErrorInfo> left;
    return GetErrorInfo(0, left.GetAddressOf()) == S_OK;
}

// Setting startport to a number is error 13: an error object of ours on the thread.
void leave_error_object(_Clicker* clicker) {
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 3;
    clicker->putref_startport(number);
}

// A put through IDispatch::Invoke, as a script makes it; the exception's code when it failed so.
HRESULT put(_Clicker* clicker, DISPID id, VARIANT value, LCID lcid = 0x409, SCODE* scode = nullptr) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    EXCEPINFO exception{};
    const HRESULT hr = clicker->Invoke(id, IID_NULL, lcid, DISPATCH_PROPERTYPUT, &params, nullptr, &exception, nullptr);
    if (scode != nullptr) *scode = exception.scode;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

// An object whose default member a case chooses; it counts its Invokes and never frees itself.
class Defaulter : public CountingDispatch {
public:
    enum class Answer { itself_by_reference, itself_in_a_variant_reference, three };
    explicit Defaulter(Answer answer) : answer_(answer) {}
    long invokes = 0;
    LCID last_locale = 0xFFFFFFFF;

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        ++invokes;
        last_locale = lcid;
        if (invokes > 200) return E_FAIL;  // an endless walk shows as a count, not as a crash
        if (id != DISPID_VALUE || result == nullptr) return DISP_E_MEMBERNOTFOUND;
        switch (answer_) {
            case Answer::itself_by_reference:
                V_VT(result) = VT_BYREF | VT_DISPATCH;
                V_DISPATCHREF(result) = &self_;
                return S_OK;
            case Answer::itself_in_a_variant_reference:
                V_VT(&held_) = VT_DISPATCH;
                V_DISPATCH(&held_) = this;  // not counted: this object holds it
                V_VT(result) = VT_BYREF | VT_VARIANT;
                V_VARIANTREF(result) = &held_;
                return S_OK;
            case Answer::three:
                break;
        }
        V_VT(result) = VT_I4;
        V_I4(result) = 3;
        return S_OK;
    }

private:
    Answer answer_;
    IDispatch* self_ = this;
    VARIANT held_{};
};

VARIANT object_value(IDispatch* object) {
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}

// An object that answers itself by reference has no value: 13 within eight steps, wherever it is
// given, and a let never keeps the object.
void defaults_by_reference() {
    struct Taker {
        const char* name;
        std::function<HRESULT(_Clicker*, VARIANT)> take;
        HRESULT refused;
        bool is_let = false;  // a let never keeps an object in startport
    };
    const Taker takers[] = {
        {"startport let, then open_clicker",
         [](_Clicker* c, VARIANT v) {
             const HRESULT let = c->put_startport(v);
             return FAILED(let) ? let : c->open_clicker();
         },
         type_mismatch, true},
        {"startport set, then open_clicker",
         [](_Clicker* c, VARIANT v) {
             c->putref_startport(v);
             return c->open_clicker();
         },
         type_mismatch},
        {"lastport", [](_Clicker* c, VARIANT v) { return c->put_lastport(&v); }, type_mismatch, true},
        {"newparams", [](_Clicker* c, VARIANT v) { return c->put_newparams(&v); }, type_mismatch},
        {"cur_clicker_params", [](_Clicker* c, VARIANT v) { return c->put_cur_clicker_params(&v); }, type_mismatch},
        {"pnewdatetime through Invoke", [](_Clicker* c, VARIANT v) { return put(c, DISPID_CLICKER_PNEWDATETIME, v); },
         DISP_E_TYPEMISMATCH},
    };
    std::string detail;
    for (const auto answer :
         {Defaulter::Answer::itself_by_reference, Defaulter::Answer::itself_in_a_variant_reference}) {
        for (const Taker& taker : takers) {
            Defaulter object(answer);
            ComPtr<_Clicker> clicker = new_clicker();
            if (!clicker) return;
            const HRESULT hr = taker.take(clicker.Get(), object_value(&object));
            VARIANT kept;
            VariantInit(&kept);
            clicker->get_startport(&kept);
            const bool object_kept = taker.is_let && V_VT(&kept) == VT_DISPATCH;
            VariantClear(&kept);
            if (hr != taker.refused || object.invokes > 8 || object_kept) {
                detail += std::string(taker.name) + ": " + hex(hr) + " after " + std::to_string(object.invokes) +
                          " Invokes; ";
            }
        }
    }
    report.check(detail.empty(), "an object answering itself by reference is refused within eight steps", detail);
}

// A value's default member is read in the locale the caller gave Invoke.
void default_member_locale() {
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    Defaulter object(Defaulter::Answer::three);
    const HRESULT hr = put(clicker.Get(), DISPID_CLICKER_NEWPARAMS, object_value(&object), 0x407);
    report.check(hr == S_OK && object.last_locale == 0x407, "a default member is read in the caller's locale",
                 hex(hr) + ", read in " + hex(static_cast<long>(object.last_locale)));
}

// A bad value one reference down is refused as one at the top: E_POINTER or DISP_E_BADVARTYPE,
// with no error object, whichever member is called.
void bad_values_behind_a_reference() {
    struct Inner {
        const char* name;
        VARTYPE vt;
        HRESULT expected;
    };
    const Inner inners[] = {{"0x7fff", 0x7fff, DISP_E_BADVARTYPE},
                            {"VT_VECTOR|VT_I4", VT_VECTOR | VT_I4, DISP_E_BADVARTYPE},
                            {"type 15", 15, DISP_E_BADVARTYPE},
                            {"VT_BYREF|VT_EMPTY", VT_BYREF | VT_EMPTY, DISP_E_BADVARTYPE},
                            {"a VARIANT by value", VT_VARIANT, DISP_E_BADVARTYPE},
                            {"VT_BYREF|VT_I4 without its pointer", VT_BYREF | VT_I4, E_POINTER},
                            {"VT_BYREF|VT_BSTR without its pointer", VT_BYREF | VT_BSTR, E_POINTER}};
    const DISPID members[] = {DISPID_CLICKER_STARTPORT, DISPID_CLICKER_GET_BARCODE,  DISPID_CLICKER_LASTPORT,
                              DISPID_CLICKER_NEWPARAMS, DISPID_CLICKER_PNEWDATETIME, DISPID_CLICKER_CUR_CLICKER_PARAMS};
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    std::string detail;
    for (const Inner& inner : inners) {
        for (const DISPID member : members) {
            VARIANT bad;
            V_VT(&bad) = inner.vt;
            V_BYREF(&bad) = nullptr;
            VARIANT reference;
            V_VT(&reference) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&reference) = &bad;
            leave_error_object(clicker.Get());
            const HRESULT hr = put(clicker.Get(), member, reference);
            if (hr != inner.expected || error_object_left()) {
                detail += std::string(inner.name) + " to " + std::to_string(member) + ": " + hex(hr) +
                          (error_object_left() ? " with an error object" : "") + "; ";
            }
        }
    }
    report.check(detail.empty(), "a bad value behind a reference is refused as one given directly", detail);
}

// A failure the type library's dispatcher answers leaves no error object from an earlier error.
void dispatcher_failures_leave_no_error_object() {
    VARIANT two[2];
    V_VT(&two[0]) = VT_BSTR;
    V_BSTR(&two[0]) = SysAllocString(L"abc");
    two[1] = two[0];
    DISPID put_name = DISPID_PROPERTYPUT, unknown_name = 77;
    struct Call {
        const char* what;
        DISPID id;
        WORD flags;
        DISPPARAMS params;
    };
    const Call calls[] = {
        {"a member that does not exist", 999, DISPATCH_METHOD, {nullptr, nullptr, 0, 0}},
        {"get_barcode put with the text \"abc\"",
         DISPID_CLICKER_GET_BARCODE,
         DISPATCH_PROPERTYPUT,
         {two, &put_name, 1, 1}},
        {"hello with two arguments", DISPID_CLICKER_HELLO, DISPATCH_PROPERTYGET, {two, nullptr, 2, 0}},
        {"startport put with an unknown named argument",
         DISPID_CLICKER_STARTPORT,
         DISPATCH_PROPERTYPUT,
         {two, &unknown_name, 1, 1}},
        {"open_clicker as a put", DISPID_CLICKER_OPEN_CLICKER, DISPATCH_PROPERTYPUT, {two, &put_name, 1, 1}},
        {"hello with no flags", DISPID_CLICKER_HELLO, 0, {nullptr, nullptr, 0, 0}},
    };
    ComPtr<_Clicker> clicker = new_clicker();
    if (!clicker) return;
    std::string detail;
    for (const Call& call : calls) {
        leave_error_object(clicker.Get());
        DISPPARAMS params = call.params;
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr = clicker->Invoke(call.id, IID_NULL, 0x409, call.flags, &params, &result, nullptr, nullptr);
        VariantClear(&result);
        if (SUCCEEDED(hr) || error_object_left()) detail += std::string(call.what) + ": " + hex(hr) + "; ";
    }
    leave_error_object(clicker.Get());
    LPOLESTR name = const_cast<LPOLESTR>(L"no_such_member");
    DISPID id = 0;
    const HRESULT hr = clicker->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id);
    if (hr != DISP_E_UNKNOWNNAME || error_object_left()) detail += "an unknown name: " + hex(hr);
    VariantClear(&two[0]);
    report.check(detail.empty(), "the dispatcher's own failures leave no earlier error object", detail);
}

// An object without IDispatch that assigns startport again from its QueryInterface: the only
// reference the component held to it goes in the middle of that call. It frees itself when its
// last reference goes, so a use after that reads freed memory.
class Reassigning final : public IUnknown {
public:
    explicit Reassigning(_Clicker* clicker) : clicker_(clicker) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(riid, IID_IDispatch) && armed) {
            armed = false;
            VARIANT port;
            V_VT(&port) = VT_I4;
            V_I4(&port) = 3;
            clicker_->put_startport(port);  // may free this object: nothing of it is touched after
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            ++freed;
            delete this;
        }
        return left;
    }
    bool armed = false;
    static inline int freed = 0;

private:
    _Clicker* clicker_;
    ULONG references_ = 1;
};

// Reading startport back hands the host the object it stored, although the object's own
// QueryInterface replaces startport on the way.
void startport_replaced_by_its_own_object() {
    ComPtr<_Clicker> clicker = new_clicker();
    auto* object = new Reassigning(clicker.Get());
    VARIANT stored;
    V_VT(&stored) = VT_UNKNOWN;
    V_UNKNOWN(&stored) = object;
    const HRESULT set = clicker->putref_startport(stored);
    object->armed = true;
    object->Release();  // the component's reference is the only one now
    VARIANT back;
    VariantInit(&back);
    const HRESULT got = clicker->get_startport(&back);
    const bool handed_back = V_VT(&back) == VT_UNKNOWN && V_UNKNOWN(&back) == object && Reassigning::freed == 0;
    VariantClear(&back);
    report.check(SUCCEEDED(set) && SUCCEEDED(got) && handed_back && Reassigning::freed == 1 && wine_test::heaps_valid(),
                 "startport read back while its object's QueryInterface replaces it: the object is handed back, "
                 "freed once after",
                 "set " + hex(set) + ", get " + hex(got) + ", freed " + std::to_string(Reassigning::freed));
}

// One thread holds the scanner while its startport's default member calls into the apartment of a
// second thread, which waits for the scanner with a WM_QUIT pending: the waiter still serves calls
// from other apartments, so both end.
struct CrossCall {
    IStream* stream = nullptr;
    HANDLE holding = nullptr;
    HRESULT held = E_PENDING;
    HRESULT inner = E_PENDING;
};

class CallingDefault : public Defaulter {
public:
    CallingDefault(CrossCall& state, IDispatch* remote) : Defaulter(Answer::three), state_(state), remote_(remote) {}
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id != DISPID_VALUE || result == nullptr) return DISP_E_MEMBERNOTFOUND;
        SetEvent(state_.holding);
        Sleep(500);  // the other thread waits for the scanner by now
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        state_.inner =
            remote_->Invoke(DISPID_VALUE, IID_NULL, 0x409, DISPATCH_PROPERTYGET, &none, result, nullptr, nullptr);
        return state_.inner;
    }

private:
    CrossCall& state_;
    IDispatch* remote_;
};

DWORD WINAPI hold_the_scanner(void* argument) {
    auto& state = *static_cast<CrossCall*>(argument);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<IDispatch> remote;
        CoGetInterfaceAndReleaseStream(state.stream, IID_PPV_ARGS(remote.GetAddressOf()));
        ComPtr<_Clicker> clicker = new_clicker();
        CallingDefault port(state, remote.Get());
        clicker->putref_startport(object_value(&port));
        state.held = clicker->open_clicker();
    }
    CoUninitialize();
    return 0;
}

void waiter_with_a_quit_serves_other_apartments() {
    // Outlives the apartment: the stub the marshaling made may hold it until COM ends.
    static Defaulter remote_object(Defaulter::Answer::three);
    CrossCall state;
    state.holding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CoMarshalInterThreadInterfaceInStream(IID_IDispatch, &remote_object, &state.stream);
    HANDLE holder = CreateThread(nullptr, 0, hold_the_scanner, &state, 0, nullptr);
    WaitForSingleObject(state.holding, 10000);
    PostQuitMessage(7);
    ComPtr<_Clicker> clicker = new_clicker();
    VARIANT port;
    V_VT(&port) = VT_I4;
    V_I4(&port) = 3;
    clicker->put_startport(port);
    const HRESULT waited = clicker->open_clicker();
    MSG quit{};
    const bool quit_kept = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 7;
    // The holder's member ends too; its thread's calls into this apartment are served meanwhile.
    while (MsgWaitForMultipleObjects(1, &holder, FALSE, 20000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CloseHandle(holder);
    CloseHandle(state.holding);
    CoDisconnectObject(&remote_object, 0);
    report.check(waited == S_OK && state.held == S_OK && state.inner == S_OK && quit_kept,
                 "a thread waiting for the scanner with a WM_QUIT pending serves other apartments' calls",
                 "waiter " + hex(waited) + ", holder " + hex(state.held) + ", call into the waiter " +
                     hex(state.inner) + (quit_kept ? "" : ", the WM_QUIT was lost"));
}

DWORD WINAPI watchdog(void*) {
    Sleep(60000);
    std::printf("FAIL %s hostile values: still running after 60 s (a wait that never ends)\n", report.arch().c_str());
    std::printf("hostile values: 0 passed, 1 failed\n");
    std::fflush(stdout);
    ExitProcess(3);
}

}  // namespace

int wmain() {
    CloseHandle(CreateThread(nullptr, 0, watchdog, nullptr, 0, nullptr));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    defaults_by_reference();
    default_member_locale();
    bad_values_behind_a_reference();
    dispatcher_failures_leave_no_error_object();
    startport_replaced_by_its_own_object();
    waiter_with_a_quit_serves_other_apartments();
    CoUninitialize();
    return report.finish("hostile values");
}
