// An early-bound client: calls _Clicker through its vtable by slot number, as a compiled host does,
// and checks the slot order against the interface table, the type library's description of it, the
// error reporting of the dual interface and of IDispatch, and the server's unload rules.
// Usage: early_bound <path of Harrowtally.dll>
//        early_bound --manifest <path of Harrowtally.X.manifest>   (registration-free, nothing registered)
#include <activscp.h>
#include <oaidl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "harrowtally_h.h"

#include "counting_dispatch.h"
#include "test_report.h"

namespace {

wine_test::Report report("early-bound");
using wine_test::hex;

void check(bool ok, const std::string& name, const std::string& detail = {}) {
    report.check(ok, name, detail);
}

std::wstring text(BSTR b) {
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

std::string narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    return s;
}

// The vtable slots of _Clicker, by the interface table: IDispatch's seven, then these.
enum Slot {
    get_startport = 7,
    put_startport,
    putref_startport,
    get_get_barcode,
    put_get_barcode,
    open_clicker,
    close_clicker,
    get_serial,
    get_log,
    put_lastport,
    put_newparams,
    put_cur_clicker_params,
    put_pnewdatetime,
    get_alldata,
    get_comport,
    get_num_barcodes,
    get_hello,
    get_num_files,
    get_open_ok,
    get_empty_ok,
    EmptyScanner,
    reset_params,
    get_showparams,
    get_SwVersion,
    getdate,
    setdate,
    get_sbarcode,
    get_stime,
    get_stype,
    EmptyScannerIf,
    slot_end
};

using Method = HRESULT(STDMETHODCALLTYPE*)(void*);
using GetVariant = HRESULT(STDMETHODCALLTYPE*)(void*, VARIANT*);
using PutVariant = HRESULT(STDMETHODCALLTYPE*)(void*, VARIANT);
using PutVariantRef = HRESULT(STDMETHODCALLTYPE*)(void*, VARIANT*);
using GetShort = HRESULT(STDMETHODCALLTYPE*)(void*, short*);
using PutShort = HRESULT(STDMETHODCALLTYPE*)(void*, short);
using GetBstr = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*);
using PutBstrRef = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*);
using GetBool = HRESULT(STDMETHODCALLTYPE*)(void*, VARIANT_BOOL*);

template <typename Fn>
Fn slot(void* object, int index) {
    return reinterpret_cast<Fn>((*static_cast<void***>(object))[index]);
}

struct Raw {
    void* p;
    HRESULT call(Slot s) { return slot<Method>(p, s)(p); }
    HRESULT get(Slot s, VARIANT* v) {
        VariantInit(v);
        return slot<GetVariant>(p, s)(p, v);
    }
    HRESULT put(Slot s, VARIANT v) { return slot<PutVariant>(p, s)(p, v); }
    HRESULT put_ref(Slot s, VARIANT* v) { return slot<PutVariantRef>(p, s)(p, v); }
    HRESULT get(Slot s, short* v) { return slot<GetShort>(p, s)(p, v); }
    HRESULT put(Slot s, short v) { return slot<PutShort>(p, s)(p, v); }
    HRESULT get(Slot s, BSTR* v) { return slot<GetBstr>(p, s)(p, v); }
    HRESULT put_ref(Slot s, BSTR* v) { return slot<PutBstrRef>(p, s)(p, v); }
    HRESULT get_bool(Slot s, VARIANT_BOOL* v) { return slot<GetBool>(p, s)(p, v); }
};

VARIANT i2(short v) {
    VARIANT x;
    V_VT(&x) = VT_I2;
    V_I2(&x) = v;
    return x;
}

VARIANT bstr(const wchar_t* s) {
    VARIANT x;
    V_VT(&x) = VT_BSTR;
    V_BSTR(&x) = SysAllocString(s);
    return x;
}

// A counted automation object for the reference tests; with a default text it also has a default
// member (DISPID_VALUE) that gives that text.
class Counted : public CountingDispatch {
public:
    const wchar_t* default_text = nullptr;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id != DISPID_VALUE || default_text == nullptr || (flags & DISPATCH_PROPERTYGET) == 0) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result != nullptr) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(default_text);
        }
        return S_OK;
    }
};

void type_library_slots(_Clicker* clicker) {
    struct Expected {
        const wchar_t* name;
        INVOKEKIND kind;
        Slot slot;
    };
    const INVOKEKIND G = INVOKE_PROPERTYGET, P = INVOKE_PROPERTYPUT, R = INVOKE_PROPERTYPUTREF, F = INVOKE_FUNC;
    const Expected expected[] = {
        {L"startport", G, get_startport},
        {L"startport", P, put_startport},
        {L"startport", R, putref_startport},
        {L"get_barcode", G, get_get_barcode},
        {L"get_barcode", P, put_get_barcode},
        {L"open_clicker", F, open_clicker},
        {L"close_clicker", F, close_clicker},
        {L"serial", G, get_serial},
        {L"log", G, get_log},
        {L"lastport", P, put_lastport},
        {L"newparams", P, put_newparams},
        {L"cur_clicker_params", P, put_cur_clicker_params},
        {L"pnewdatetime", P, put_pnewdatetime},
        {L"alldata", G, get_alldata},
        {L"comport", G, get_comport},
        {L"num_barcodes", G, get_num_barcodes},
        {L"hello", G, get_hello},
        {L"num_files", G, get_num_files},
        {L"open_ok", G, get_open_ok},
        {L"empty_ok", G, get_empty_ok},
        {L"EmptyScanner", F, EmptyScanner},
        {L"reset_params", F, reset_params},
        {L"showparams", G, get_showparams},
        {L"SwVersion", G, get_SwVersion},
        {L"getdate", F, getdate},
        {L"setdate", F, setdate},
        {L"sbarcode", G, get_sbarcode},
        {L"stime", G, get_stime},
        {L"stype", G, get_stype},
        {L"EmptyScannerIf", F, EmptyScannerIf},
    };
    ITypeInfo* dispatch_info = nullptr;
    ITypeInfo* info = nullptr;
    HREFTYPE vtable_part = 0;
    bool ok = SUCCEEDED(clicker->GetTypeInfo(0, 0x409, &dispatch_info)) &&
              SUCCEEDED(dispatch_info->GetRefTypeOfImplType(-1, &vtable_part)) &&
              SUCCEEDED(dispatch_info->GetRefTypeInfo(vtable_part, &info));
    TYPEATTR* attributes = nullptr;
    std::string detail;
    if (ok && SUCCEEDED(info->GetTypeAttr(&attributes))) {
        ok = attributes->cFuncs == static_cast<WORD>(std::size(expected)) &&
             (attributes->wTypeFlags & TYPEFLAG_FDUAL) && (attributes->wTypeFlags & TYPEFLAG_FHIDDEN) &&
             (attributes->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE) && (attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
        if (!ok) detail = "functions " + std::to_string(attributes->cFuncs) + ", flags " + hex(attributes->wTypeFlags);
        for (UINT i = 0; ok && i < attributes->cFuncs; ++i) {
            FUNCDESC* f = nullptr;
            info->GetFuncDesc(i, &f);
            BSTR name = nullptr;
            UINT names = 0;
            info->GetNames(f->memid, &name, 1, &names);
            const Expected& e = expected[i];
            const int slot_number = static_cast<int>(f->oVft / static_cast<int>(sizeof(void*)));
            if (text(name) != e.name || f->invkind != e.kind || slot_number != e.slot) {
                ok = false;
                detail = narrow(text(name)) + " at slot " + std::to_string(slot_number);
            }
            SysFreeString(name);
            info->ReleaseFuncDesc(f);
        }
        info->ReleaseTypeAttr(attributes);
    } else {
        ok = false;
        detail = "no type information";
    }
    check(ok, "type library: dual, hidden, nonextensible, oleautomation, 30 slots in interface order", detail);

    // The library itself and the creatable class with _Clicker as its default interface.
    ITypeLib* library = nullptr;
    UINT index = 0;
    TLIBATTR* library_attributes = nullptr;
    BSTR library_name = nullptr;
    ITypeInfo* class_info = nullptr;
    TYPEATTR* class_attributes = nullptr;
    int default_flags = 0;
    HREFTYPE default_ref = 0;
    ITypeInfo* default_info = nullptr;
    TYPEATTR* default_attributes = nullptr;
    bool library_ok = info && SUCCEEDED(info->GetContainingTypeLib(&library, &index)) &&
                      SUCCEEDED(library->GetLibAttr(&library_attributes)) &&
                      SUCCEEDED(library->GetDocumentation(-1, &library_name, nullptr, nullptr, nullptr)) &&
                      SUCCEEDED(library->GetTypeInfoOfGuid(CLSID_Clicker, &class_info)) &&
                      SUCCEEDED(class_info->GetTypeAttr(&class_attributes)) &&
                      SUCCEEDED(class_info->GetImplTypeFlags(0, &default_flags)) &&
                      SUCCEEDED(class_info->GetRefTypeOfImplType(0, &default_ref)) &&
                      SUCCEEDED(class_info->GetRefTypeInfo(default_ref, &default_info)) &&
                      SUCCEEDED(default_info->GetTypeAttr(&default_attributes));
    library_ok = library_ok && text(library_name) == L"Harrowtally" && library_attributes->lcid == 0x409 &&
                 library_attributes->wMajorVerNum == 1 && library_attributes->wMinorVerNum == 0 &&
                 (class_attributes->wTypeFlags & TYPEFLAG_FCANCREATE) && (default_flags & IMPLTYPEFLAG_FDEFAULT) &&
                 IsEqualIID(default_attributes->guid, IID__Clicker);
    check(library_ok, "type library Harrowtally 1.0, lcid 0x409; Clicker creatable with _Clicker as default");
    if (default_attributes) default_info->ReleaseTypeAttr(default_attributes);
    if (default_info) default_info->Release();
    if (class_attributes) class_info->ReleaseTypeAttr(class_attributes);
    if (class_info) class_info->Release();
    SysFreeString(library_name);
    if (library_attributes) library->ReleaseTLibAttr(library_attributes);
    if (library) library->Release();
    if (info) info->Release();
    if (dispatch_info) dispatch_info->Release();
}

// Every member and the class carry a description, as an object browser shows it.
void type_library_descriptions(_Clicker* clicker) {
    ITypeInfo* info = nullptr;
    ITypeLib* library = nullptr;
    ITypeInfo* coclass = nullptr;
    UINT index = 0;
    if (FAILED(clicker->GetTypeInfo(0, 0x409, &info)) || FAILED(info->GetContainingTypeLib(&library, &index)) ||
        FAILED(library->GetTypeInfoOfGuid(CLSID_Clicker, &coclass))) {
        check(false, "type information of the interface and the class");
        return;
    }
    std::string missing;
    const auto described = [&](ITypeInfo* of, MEMBERID member, const std::string& what) {
        BSTR name = nullptr, description = nullptr;
        const HRESULT hr = of->GetDocumentation(member, &name, &description, nullptr, nullptr);
        if (FAILED(hr) || SysStringLen(description) < 10)
            missing += what + (name ? " " + narrow(text(name)) : "") + "; ";
        SysFreeString(name);
        SysFreeString(description);
    };
    described(coclass, MEMBERID_NIL, "class");
    described(info, MEMBERID_NIL, "interface");
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    const UINT functions = attributes ? attributes->cFuncs : 0;
    if (attributes) info->ReleaseTypeAttr(attributes);
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) continue;
        if ((f->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0) described(info, f->memid, "member");
        info->ReleaseFuncDesc(f);
    }
    check(functions >= 29 && missing.empty(), "the class and every member have a description", missing);
    coclass->Release();
    library->Release();
    info->Release();
}

void slots_without_scanner(_Clicker* clicker) {
    Raw raw{clicker};
    BSTR hello = nullptr;
    check(raw.get(get_hello, &hello) == S_OK && text(hello) == L"Clicker control successfully installed",
          "slot 23 hello");
    SysFreeString(hello);

    VARIANT v;
    check(raw.get(get_startport, &v) == S_OK && V_VT(&v) == VT_EMPTY, "slot 7 startport starts empty");
    check(raw.put(put_startport, i2(5)) == S_OK && raw.get(get_startport, &v) == S_OK && V_VT(&v) == VT_I2 &&
              V_I2(&v) == 5,
          "slots 8 and 7: startport let and get");
    short n = 0;
    check(raw.put(put_get_barcode, static_cast<short>(-7)) == S_OK && raw.get(get_get_barcode, &n) == S_OK && n == -7,
          "slots 11 and 10: get_barcode let and get");

    VARIANT port = bstr(L"3");
    check(raw.put_ref(put_lastport, &port) == S_OK && raw.get(get_startport, &v) == S_OK && V_VT(&v) == VT_BSTR &&
              text(V_BSTR(&v)) == L"3" && V_VT(&port) == VT_BSTR && text(V_BSTR(&port)) == L"3",
          "slot 16 lastport stores the text, argument unchanged");
    VariantClear(&v);
    VariantClear(&port);

    VARIANT null_value;
    V_VT(&null_value) = VT_NULL;
    for (Slot s : {put_newparams, put_cur_clicker_params}) {
        SetErrorInfo(0, nullptr);
        const HRESULT hr = raw.put_ref(s, &null_value);
        IErrorInfo* info = nullptr;
        BSTR description = nullptr, source = nullptr;
        if (GetErrorInfo(0, &info) == S_OK) {
            info->GetDescription(&description);
            info->GetSource(&source);
            info->Release();
        }
        check(hr == static_cast<HRESULT>(0x800A005E) && text(description) == L"Invalid use of Null" &&
                  text(source) == L"Harrowtally",
              "slot " + std::to_string(s) + " with Null: 0x800A005E and IErrorInfo", hex(hr));
        SysFreeString(description);
        SysFreeString(source);
    }
    BSTR stamp = SysAllocString(L"051710061226");
    BSTR before = stamp;
    check(raw.put_ref(put_pnewdatetime, &stamp) == S_OK && stamp == before && text(stamp) == L"051710061226",
          "slot 19 pnewdatetime leaves its argument");
    SysFreeString(stamp);

    VARIANT_BOOL flag = VARIANT_TRUE;
    short comport = -1, count = -1;
    VARIANT serial, log;
    check(raw.get(get_comport, &comport) == S_OK && comport == 0 && raw.get(get_num_barcodes, &count) == S_OK &&
              count == 0 && raw.get_bool(get_open_ok, &flag) == S_OK && flag == VARIANT_FALSE &&
              raw.get_bool(get_empty_ok, &flag) == S_OK && flag == VARIANT_FALSE &&
              raw.get(get_serial, &serial) == S_OK && V_VT(&serial) == VT_BSTR && SysStringLen(V_BSTR(&serial)) == 0 &&
              raw.get(get_log, &log) == S_OK && V_VT(&log) == VT_BSTR,
          "slots 14, 15, 21, 22, 25, 26: state of a new object");
    VariantClear(&serial);
    VariantClear(&log);

    // startport empty: EmptyScanner stops at once with ENSP; reset_params stops too.
    VARIANT empty;
    VariantInit(&empty);
    raw.put(put_startport, empty);
    HRESULT hr = raw.call(EmptyScanner);
    raw.get(get_log, &log);
    check(hr == S_OK && V_VT(&log) == VT_BSTR && text(V_BSTR(&log)) == L"ENSP",
          "slot 27 EmptyScanner without startport: ENSP", hex(hr));
    VariantClear(&log);
    hr = raw.call(reset_params);
    check(hr == S_OK && raw.get_bool(get_open_ok, &flag) == S_OK && flag == VARIANT_FALSE,
          "slot 28 reset_params without startport", hex(hr));

    // An object given by reference is held until the object is released or startport changes.
    Counted object;
    VARIANT reference;
    V_VT(&reference) = VT_DISPATCH;
    V_DISPATCH(&reference) = &object;
    check(raw.put(putref_startport, reference) == S_OK && object.references > 1 && raw.get(get_startport, &v) == S_OK &&
              V_VT(&v) == VT_DISPATCH && V_DISPATCH(&v) == &object,
          "slot 9 putref startport holds the object");
    VariantClear(&v);
    raw.put(put_startport, i2(1));
    check(object.references == 1, "a replaced object reference is released");
    _Clicker* second = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID__Clicker,
                                   reinterpret_cast<void**>(&second)))) {
        Raw{second}.put(putref_startport, reference);
        const long held = object.references;
        second->Release();
        check(held > 1 && object.references == 1, "an object reference is released with the Clicker");
    }
}

void slots_with_scanner(_Clicker* clicker) {
    Raw raw{clicker};
    raw.put(put_startport, i2(3));
    HRESULT hr = raw.call(open_clicker);
    short comport = 0, count = 0;
    VARIANT_BOOL open = VARIANT_FALSE;
    VARIANT serial;
    check(hr == S_OK && raw.get(get_comport, &comport) == S_OK && comport == 3 &&
              raw.get(get_num_barcodes, &count) == S_OK && count == 2 && raw.get_bool(get_open_ok, &open) == S_OK &&
              open == VARIANT_TRUE && raw.get(get_serial, &serial) == S_OK && V_VT(&serial) == VT_BSTR &&
              text(V_BSTR(&serial)) == L"1A2B3C4D5E6F7081",
          "slots 12, 14, 21, 22, 25: open_clicker on port 3", hex(hr));
    VariantClear(&serial);

    raw.put(put_get_barcode, static_cast<short>(1));
    VARIANT barcode, time, type;
    hr = raw.get(get_sbarcode, &barcode);
    raw.get(get_stime, &time);
    raw.get(get_stype, &type);
    check(hr == S_OK && V_VT(&barcode) == VT_BSTR && text(V_BSTR(&barcode)) == L"12345670" && V_VT(&time) == VT_DATE &&
              V_VT(&type) == VT_I2 && V_I2(&type) == 10,
          "slots 33, 34, 35: barcode 1", hex(hr));
    VariantClear(&barcode);

    VARIANT record;
    hr = raw.get(get_alldata, &record);
    check(hr == S_OK && V_VT(&record) == VT_BSTR && SysStringLen(V_BSTR(&record)) == 100 &&
              text(V_BSTR(&record)).substr(0, 3) == L"V01",
          "slot 20 alldata", hex(hr));
    VariantClear(&record);
    short files = -1;
    hr = raw.get(get_num_files, &files);
    check(hr == S_OK && files == 3, "slot 24 num_files");
    VARIANT version;
    hr = raw.get(get_SwVersion, &version);
    check(hr == S_OK && V_VT(&version) == VT_BSTR && SysStringLen(V_BSTR(&version)) == 10 &&
              text(V_BSTR(&version)).substr(0, 6) == L"FK1.00",
          "slot 30 SwVersion", hex(hr));
    VariantClear(&version);
    VARIANT list = bstr(L"020512");
    raw.put_ref(put_cur_clicker_params, &list);
    VariantClear(&list);
    VARIANT report;
    hr = raw.get(get_showparams, &report);
    check(hr == S_OK && V_VT(&report) == VT_BSTR && text(V_BSTR(&report)).substr(0, 11) == L"0205011207:",
          "slots 18 and 29: showparams", hex(hr));
    VariantClear(&report);
    hr = raw.call(getdate);
    check(hr == S_OK, "slot 31 getdate", hex(hr));
    hr = raw.call(setdate);
    check(hr == S_OK, "slot 32 setdate", hex(hr));
    // A count other than the scanner's: refused in the erasing connection, nothing erased.
    using EmptyIf = HRESULT(STDMETHODCALLTYPE*)(void*, VARIANT, VARIANT, VARIANT_BOOL*);
    VARIANT_BOOL erased = VARIANT_TRUE;
    VARIANT id = bstr(L"1A2B3C4D5E6F7081");
    hr = slot<EmptyIf>(raw.p, EmptyScannerIf)(raw.p, i2(3), id, &erased);
    VARIANT log;
    raw.get(get_log, &log);
    raw.call(open_clicker);
    check(hr == S_OK && erased == VARIANT_FALSE && V_VT(&log) == VT_BSTR &&
              text(V_BSTR(&log)).substr(0, 13) == L"CHNG:01:OPOK:" && raw.get(get_num_barcodes, &count) == S_OK &&
              count == 2,
          "slot 36 EmptyScannerIf with another count: false, CHNG, nothing erased", hex(hr));
    VariantClear(&log);
    VariantClear(&id);
    hr = raw.call(close_clicker);
    check(hr == S_OK, "slot 13 close_clicker", hex(hr));
}

// The last line of the trace file.
std::string last_line(const wchar_t* path) {
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "no trace file";
    std::string all;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) all.append(buffer, got);
    CloseHandle(file);
    if (all.ends_with("\r\n")) all.resize(all.size() - 2);
    return all.substr(all.rfind('\n') + 1);
}

// With HARROWTALLY_TRACE set, each put through the vtable leaves its line: the value as the host
// gave it, with its type, kept on one line and in UTF-8, then the put's HRESULT.
void traced_values(_Clicker* clicker, const wchar_t* trace) {
    Raw raw{clicker};
    VARIANT seven, reference, half, null, empty;
    V_VT(&seven) = VT_I4;
    V_I4(&seven) = 7;
    V_VT(&reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&reference) = &seven;
    V_VT(&half) = VT_R8;
    V_R8(&half) = 2.5;
    V_VT(&null) = VT_NULL;
    VariantInit(&empty);
    VARIANT port = bstr(L"COM3"), lines = bstr(L"a\r\nb"), accented = bstr(L"Z\u00e4hler");
    const struct {
        const char* what;
        std::function<HRESULT()> put;
        std::string line;
    } rows[] = {
        {"a Long by reference", [&] { return raw.put(put_startport, reference); },
         "put startport = Long 7 -> 0x00000000"},
        {"a Double", [&] { return raw.put(put_startport, half); }, "put startport = Double 2.5 -> 0x"},
        {"Empty", [&] { return raw.put(put_startport, empty); }, "put startport = Empty -> 0x"},
        {"Null", [&] { return raw.put_ref(put_newparams, &null); },
         "put newparams = Null -> 0x800A005E (error 94: Invalid use of Null) in "},
        {"no number", [&] { return raw.put(put_startport, port); }, "put startport = String \"COM3\" -> 0x00000000"},
        {"a search from no port", [&] { return raw.call(open_clicker); },
         "call open_clicker -> 0x800A000D (error 13: Type mismatch) in "},
        {"line breaks", [&] { return raw.put_ref(put_lastport, &lines); },
         "put lastport = String \"a\\x0D\\x0Ab\" -> "},
        {"not ASCII", [&] { return raw.put_ref(put_lastport, &accented); },
         "put lastport = String \"Z\xC3\xA4hler\" -> "},
        {"a short", [&] { return raw.put(put_get_barcode, static_cast<short>(2)); },
         "put get_barcode = 2 -> 0x00000000"},
        {"no value", [&] { return raw.put_ref(put_lastport, static_cast<VARIANT*>(nullptr)); },
         "put lastport = null -> 0x80004003 in "},
    };
    for (const auto& row : rows) {
        row.put();
        const std::string line = last_line(trace);
        check(line.find("] " + row.line) != std::string::npos, std::string("traced: ") + row.what, line);
    }
    VariantClear(&port);
    VariantClear(&lines);
    VariantClear(&accented);
}

void dispatch_errors(_Clicker* clicker) {
    ISupportErrorInfo* support = nullptr;
    check(SUCCEEDED(clicker->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) &&
              support->InterfaceSupportsErrorInfo(IID__Clicker) == S_OK,
          "ISupportErrorInfo for _Clicker");
    if (support) support->Release();

    OLECHAR* name = const_cast<OLECHAR*>(L"NEWPARAMS");
    DISPID id = 0;
    HRESULT hr = clicker->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id);
    VARIANT null_value;
    V_VT(&null_value) = VT_NULL;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&null_value, &put, 1, 1};
    EXCEPINFO exception{};
    if (SUCCEEDED(hr)) {
        hr = clicker->Invoke(id, IID_NULL, 0x409, DISPATCH_PROPERTYPUT, &params, nullptr, &exception, nullptr);
    }
    check(hr == DISP_E_EXCEPTION && exception.scode == static_cast<SCODE>(0x800A005E) &&
              text(exception.bstrDescription) == L"Invalid use of Null" && text(exception.bstrSource) == L"Harrowtally",
          "IDispatch::Invoke reports DISP_E_EXCEPTION with the error's EXCEPINFO", hex(hr));
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);

    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    hr = clicker->Invoke(id, IID_NULL, 0x409, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    check(hr == DISP_E_MEMBERNOTFOUND, "reading a let-only property is rejected by the dispatcher", hex(hr));
    name = const_cast<OLECHAR*>(L"no_such_member");
    check(clicker->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id) == DISP_E_UNKNOWNNAME, "unknown names");
    hr = clicker->GetIDsOfNames(IID_NULL, &name, 0, 0x409, &id);
    check(hr == E_INVALIDARG, "no names to look up is an invalid argument", hex(hr));

    // EmptyScannerIf's arguments as the type library's dispatcher answers them: too few, one left out.
    name = const_cast<OLECHAR*>(L"emptyscannerif");
    hr = clicker->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id);
    VARIANT arguments[2];
    V_VT(&arguments[0]) = VT_BSTR;
    V_BSTR(&arguments[0]) = SysAllocString(L"1A2B3C4D5E6F7081");
    V_VT(&arguments[1]) = VT_ERROR;
    V_ERROR(&arguments[1]) = DISP_E_PARAMNOTFOUND;
    DISPPARAMS one{arguments, nullptr, 1, 0}, left_out{arguments, nullptr, 2, 0};
    const HRESULT too_few = clicker->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &one, &result, nullptr, nullptr);
    const HRESULT missing = clicker->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, &left_out, &result, nullptr, nullptr);
    check(SUCCEEDED(hr) && id == 27 && too_few == DISP_E_BADPARAMCOUNT && missing == DISP_E_PARAMNOTOPTIONAL,
          "EmptyScannerIf (DISPID 27): too few arguments, one left out", hex(too_few) + " " + hex(missing));
    VariantClear(&arguments[0]);
}

// A value reached through references to VARIANTs: eight are followed, a ninth is refused (13).
void reference_chains(_Clicker* clicker) {
    std::string detail;
    for (int depth = 1; depth <= 9; ++depth) {
        VARIANT chain[10];
        chain[depth] = bstr(L"3");
        for (int i = depth - 1; i >= 0; --i) {
            V_VT(&chain[i]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&chain[i]) = &chain[i + 1];
        }
        const HRESULT expected = depth <= 8 ? S_OK : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 13);
        VARIANT kept = i2(0);
        Raw{clicker}.put(put_startport, kept);
        const HRESULT hr = Raw{clicker}.put_ref(put_lastport, &chain[0]);
        VARIANT back;
        Raw{clicker}.get(get_startport, &back);
        const bool stored = V_VT(&back) == VT_BSTR && text(V_BSTR(&back)) == L"3";
        if (hr != expected || stored != (depth <= 8)) detail += std::to_string(depth) + ": " + hex(hr) + "; ";
        VariantClear(&back);
        VariantClear(&chain[depth]);
    }
    check(detail.empty(), "lastport follows eight references to a VARIANT, not nine", detail);
}

void server_rules(const wchar_t* path) {
    HMODULE module = LoadLibraryW(path);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto get_class_object =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    auto can_unload = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    bool exported = module && get_class_object && can_unload && GetProcAddress(module, "DllRegisterServer") &&
                    GetProcAddress(module, "DllUnregisterServer") && GetProcAddress(module, "DllInstall");
    check(exported, "the five entry points are exported under their plain names");
    if (!exported) return;

    std::vector<HRESULT> seen;
    IClassFactory* factory = nullptr;
    void* unused = nullptr;
    seen.push_back(get_class_object(IID_IDispatch, IID_IClassFactory, &unused));  // CLASS_E_CLASSNOTAVAILABLE
    seen.push_back(can_unload());                                                 // S_OK
    get_class_object(CLSID_Clicker, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    seen.push_back(can_unload());  // S_FALSE: factory held
    IUnknown* object = nullptr;
    Counted outer;
    seen.push_back(factory->CreateInstance(&outer, IID_IUnknown, &unused));  // CLASS_E_NOAGGREGATION
    factory->CreateInstance(nullptr, IID__Clicker, reinterpret_cast<void**>(&object));
    factory->Release();
    seen.push_back(can_unload());  // S_FALSE: object alive
    object->Release();
    seen.push_back(can_unload());  // S_OK
    get_class_object(CLSID_Clicker, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    factory->LockServer(TRUE);
    factory->Release();
    seen.push_back(can_unload());  // S_FALSE: locked
    get_class_object(CLSID_Clicker, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    factory->LockServer(FALSE);
    factory->Release();
    seen.push_back(can_unload());  // S_OK
    const std::vector<HRESULT> expected = {
        CLASS_E_CLASSNOTAVAILABLE, S_OK, S_FALSE, CLASS_E_NOAGGREGATION, S_FALSE, S_OK, S_FALSE, S_OK};
    std::string detail;
    for (HRESULT hr : seen) detail += hex(hr) + " ";
    check(seen == expected, "DllCanUnloadNow follows objects, factory references and server locks", detail);
    FreeLibrary(module);
}

// Registration-free use: the component's own manifest as the activation context, no registry entry.
void without_registration(const wchar_t* manifest) {
    std::wstring folder = manifest;
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    ACTCTXW context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    context.lpSource = manifest;
    context.lpAssemblyDirectory = folder.c_str();
    HANDLE activation = CreateActCtxW(&context);
    ULONG_PTR cookie = 0;
    const bool active = activation != INVALID_HANDLE_VALUE && ActivateActCtx(activation, &cookie);
    check(active, "activation context from Harrowtally.X.manifest");
    if (!active) return;
    // The activation context answers a ProgID with a redirected class identifier of its own, which
    // creates the class of the manifest.
    CLSID clsid{};
    const HRESULT by_name = CLSIDFromProgID(L"Harrowtally.Clicker", &clsid);
    check(by_name == S_OK, "ProgID resolved through the manifest", hex(by_name));
    IDispatch* object = nullptr;
    HRESULT hr = CoCreateInstance(by_name == S_OK ? clsid : CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&object));
    std::wstring answer;
    if (SUCCEEDED(hr)) {
        OLECHAR* name = const_cast<OLECHAR*>(L"hello");
        DISPID id = 0;
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        hr = object->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id);
        if (SUCCEEDED(hr))
            hr = object->Invoke(id, IID_NULL, 0x409, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
        if (SUCCEEDED(hr) && V_VT(&result) == VT_BSTR) answer = text(V_BSTR(&result));
        VariantClear(&result);
        object->Release();
    }
    check(answer == L"Clicker control successfully installed", "created and called without registration", hex(hr));
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(activation);
}

// ---- resources: objects, references and the server's unload rule ------------------------------

using CanUnload = HRESULT(STDAPICALLTYPE*)();

// DllCanUnloadNow of the module that COM loaded for the class.
CanUnload loaded_can_unload() {
    HMODULE module = GetModuleHandleW(L"Harrowtally.dll");
    return module ? reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))
                  : nullptr;
}

VARIANT object_value(IDispatch* object) {
    VARIANT x;
    V_VT(&x) = VT_DISPATCH;
    V_DISPATCH(&x) = object;
    return x;
}

_Clicker* new_clicker() {
    _Clicker* clicker = nullptr;
    CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID__Clicker, reinterpret_cast<void**>(&clicker));
    return clicker;
}

// Calls a member by name through IDispatch::Invoke; one argument for a put, none otherwise.
HRESULT by_name(IDispatch* object, const wchar_t* member, WORD flags, VARIANT* argument = nullptr,
                VARIANT* result = nullptr) {
    OLECHAR* name = const_cast<OLECHAR*>(member);
    DISPID id = 0;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, 0x409, &id);
    if (FAILED(hr)) return hr;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    if (argument != nullptr) params = DISPPARAMS{argument, &put, 1, 1};
    VARIANT ignored;
    VariantInit(&ignored);
    EXCEPINFO exception{};
    hr = object->Invoke(id, IID_NULL, 0x409, flags, &params, result ? result : &ignored, &exception, nullptr);
    VariantClear(&ignored);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

// Many objects created and released, through the vtable and through IDispatch, some after calls of
// members, some holding an object reference in startport, some after a failed member: the count of
// live objects follows, the held references come back, and the server can unload at the end.
void many_objects(CanUnload can_unload) {
    constexpr int count = 2000;
    Counted held;
    Counted valued;
    valued.default_text = L"4";
    std::vector<IUnknown*> alive;
    std::string detail;
    int made = 0;
    VARIANT null_value;
    V_VT(&null_value) = VT_NULL;
    for (int i = 0; i < count; ++i) {
        const bool through_dispatch = i % 2 == 1;
        if (through_dispatch) {
            IDispatch* object = nullptr;
            if (FAILED(CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(&object))))
                continue;
            VARIANT port = i2(static_cast<short>(i)), reference = object_value(&held), by_value = object_value(&valued);
            VARIANT result;
            VariantInit(&result);
            switch (i % 8) {
                case 1:
                    by_name(object, L"startport", DISPATCH_PROPERTYPUT, &port);
                    by_name(object, L"hello", DISPATCH_PROPERTYGET, nullptr, &result);
                    break;
                case 3:
                    by_name(object, L"startport", DISPATCH_PROPERTYPUTREF, &reference);
                    break;
                case 5:
                    by_name(object, L"newparams", DISPATCH_PROPERTYPUT, &null_value);  // fails with 94
                    by_name(object, L"log", DISPATCH_PROPERTYGET, nullptr, &result);
                    break;
                default:
                    by_name(object, L"startport", DISPATCH_PROPERTYPUT, &by_value);  // the default value
                    by_name(object, L"startport", DISPATCH_PROPERTYGET, nullptr, &result);
                    break;
            }
            VariantClear(&result);
            alive.push_back(object);
        } else {
            _Clicker* clicker = new_clicker();
            if (clicker == nullptr) continue;
            Raw raw{clicker};
            BSTR hello = nullptr;
            VARIANT value;
            switch (i % 8) {
                case 0:
                    break;
                case 2:
                    raw.get(get_hello, &hello);
                    raw.put(put_get_barcode, static_cast<short>(i));
                    raw.get(get_startport, &value);
                    break;
                case 4:
                    raw.put(putref_startport, object_value(&held));
                    raw.get(get_startport, &value);  // the object comes back with a reference of its own
                    break;
                default:
                    raw.put(putref_startport, object_value(&held));
                    raw.put(put_startport, i2(1));  // replaced: released at once
                    raw.put_ref(put_newparams, &null_value);
                    raw.get(get_log, &value);
                    break;
            }
            SysFreeString(hello);
            if (i % 8 == 2 || i % 8 == 4 || i % 8 == 6) VariantClear(&value);
            alive.push_back(clicker);
        }
        ++made;
    }
    const HRESULT while_alive = can_unload ? can_unload() : E_FAIL;
    const long held_while_alive = held.references;
    for (std::size_t i = 0; i + 1 < alive.size(); ++i) alive[i]->Release();
    const HRESULT one_left = can_unload ? can_unload() : E_FAIL;
    if (!alive.empty()) alive.back()->Release();
    const HRESULT none_left = can_unload ? can_unload() : E_FAIL;
    detail = "made " + std::to_string(made) + ", DllCanUnloadNow " + hex(while_alive) + " " + hex(one_left) + " " +
             hex(none_left) + ", references held " + std::to_string(held_while_alive) + " then " +
             std::to_string(held.references) + ", default-valued object " + std::to_string(valued.references);
    // 250 objects of each of the two kinds hold the object: at least 500 references besides the test's own.
    check(made == count && while_alive == S_FALSE && one_left == S_FALSE && none_left == S_OK &&
              held_while_alive > count / 4 && held.references == 1 && valued.references == 1,
          "2000 objects through the vtable and IDispatch: DllCanUnloadNow S_FALSE while one lives, S_OK after, "
          "every reference given back",
          detail);
}

// Each way of storing, replacing and reading an object reference in startport, through the vtable
// and through IDispatch: while the Clicker holds the object its count is raised; once the object is
// replaced or the Clicker is released, the count is back where it started.
void reference_balance() {
    struct Case {
        const char* name;
        bool holds;  // whether the Clicker still holds `first` after the steps
        std::function<void(_Clicker*, Counted&, Counted&)> steps;
    };
    const Case cases[] = {
        {"Set startport through the vtable", true,
         [](_Clicker* c, Counted& first, Counted&) { Raw{c}.put(putref_startport, object_value(&first)); }},
        {"Set startport twice with the same object", true,
         [](_Clicker* c, Counted& first, Counted&) {
             Raw{c}.put(putref_startport, object_value(&first));
             Raw{c}.put(putref_startport, object_value(&first));
         }},
        {"Set startport, then a number", false,
         [](_Clicker* c, Counted& first, Counted&) {
             Raw{c}.put(putref_startport, object_value(&first));
             Raw{c}.put(put_startport, i2(5));
         }},
        {"Set startport, then another object", false,
         [](_Clicker* c, Counted& first, Counted& second) {
             Raw{c}.put(putref_startport, object_value(&first));
             Raw{c}.put(putref_startport, object_value(&second));
         }},
        {"Set startport, then lastport", false,
         [](_Clicker* c, Counted& first, Counted&) {
             Raw{c}.put(putref_startport, object_value(&first));
             VARIANT port = bstr(L"3");
             Raw{c}.put_ref(put_lastport, &port);
             VariantClear(&port);
         }},
        {"Set startport, then Empty", false,
         [](_Clicker* c, Counted& first, Counted&) {
             Raw{c}.put(putref_startport, object_value(&first));
             VARIANT empty;
             VariantInit(&empty);
             Raw{c}.put(put_startport, empty);
         }},
        {"Set startport, read back 100 times", true,
         [](_Clicker* c, Counted& first, Counted&) {
             Raw{c}.put(putref_startport, object_value(&first));
             for (int i = 0; i < 100; ++i) {
                 VARIANT v;
                 Raw{c}.get(get_startport, &v);
                 VariantClear(&v);
             }
         }},
        {"Set startport as IUnknown", true,
         [](_Clicker* c, Counted& first, Counted&) {
             VARIANT x;
             V_VT(&x) = VT_UNKNOWN;
             V_UNKNOWN(&x) = &first;
             Raw{c}.put(putref_startport, x);
         }},
        {"Set startport through IDispatch::Invoke", true,
         [](_Clicker* c, Counted& first, Counted&) {
             VARIANT x = object_value(&first);
             by_name(c, L"startport", DISPATCH_PROPERTYPUTREF, &x);
         }},
        {"Set startport through IDispatch::Invoke with a script's by-reference variable", true,
         [](_Clicker* c, Counted& first, Counted&) {
             VARIANT variable = object_value(&first);
             VARIANT x;
             V_VT(&x) = VT_BYREF | VT_VARIANT;
             V_VARIANTREF(&x) = &variable;
             by_name(c, L"startport", DISPATCH_PROPERTYPUTREF, &x);
         }},
        {"Set startport, read back through IDispatch::Invoke 100 times", true,
         [](_Clicker* c, Counted& first, Counted&) {
             Raw{c}.put(putref_startport, object_value(&first));
             for (int i = 0; i < 100; ++i) {
                 VARIANT v;
                 VariantInit(&v);
                 by_name(c, L"startport", DISPATCH_PROPERTYGET, nullptr, &v);
                 VariantClear(&v);
             }
         }},
        {"startport by value takes the default value, not the object", false,
         [](_Clicker* c, Counted& first, Counted&) {
             first.default_text = L"4";
             Raw{c}.put(put_startport, object_value(&first));
         }},
        {"startport by value with an object without a default member fails (13)", false,
         [](_Clicker* c, Counted& first, Counted&) { Raw{c}.put(put_startport, object_value(&first)); }},
        {"lastport with an object takes its default value, as startport's let does", false,
         [](_Clicker* c, Counted& first, Counted&) {
             first.default_text = L"4";
             VARIANT x = object_value(&first);
             Raw{c}.put_ref(put_lastport, &x);
         }},
        {"newparams and cur_clicker_params with an object fail (13)", false,
         [](_Clicker* c, Counted& first, Counted&) {
             VARIANT x = object_value(&first);
             Raw{c}.put_ref(put_newparams, &x);
             Raw{c}.put_ref(put_cur_clicker_params, &x);
         }},
    };
    for (const Case& k : cases) {
        Counted first, second;
        _Clicker* clicker = new_clicker();
        if (clicker == nullptr) {
            check(false, std::string("references: ") + k.name, "no object");
            continue;
        }
        k.steps(clicker, first, second);
        const long held_first = first.references, held_second = second.references;
        clicker->Release();
        const bool ok = (k.holds ? held_first > 1 : held_first == 1) && first.references == 1 && second.references == 1;
        check(ok, std::string("references: ") + k.name + ", then released with the Clicker",
              "held " + std::to_string(held_first) + "/" + std::to_string(held_second) + ", after release " +
                  std::to_string(first.references) + "/" + std::to_string(second.references));
    }
}

// Makes Clickers for a script: `maker.Create` is CoCreateInstance of the class.
class Maker final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1 || lstrcmpiW(names[0], L"Create") != 0) return DISP_E_UNKNOWNNAME;
        ids[0] = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id != 1) return DISP_E_MEMBERNOTFOUND;
        IDispatch* object = nullptr;
        const HRESULT hr = CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                            reinterpret_cast<void**>(&object));
        if (FAILED(hr)) return hr;
        if (result == nullptr) {
            object->Release();
        } else {
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = object;
        }
        return S_OK;
    }
};

// A minimal script host: runs VBScript in this process with two named objects, `counted` and
// `maker`.
class ScriptSite final : public IActiveScriptSite {
public:
    ScriptSite(IUnknown* counted, IUnknown* maker) : counted_(counted), maker_(maker) {}
    std::string error;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(IActiveScriptSite))) {
            *out = static_cast<IActiveScriptSite*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
        *lcid = 0x409;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        IUnknown* named = lstrcmpiW(name, L"counted") == 0 ? counted_
                          : lstrcmpiW(name, L"maker") == 0 ? maker_
                                                           : nullptr;
        if (named == nullptr) return TYPE_E_ELEMENTNOTFOUND;
        if ((mask & SCRIPTINFO_IUNKNOWN) != 0 && item != nullptr) {
            named->AddRef();
            *item = named;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override {
        *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* script_error) override {
        EXCEPINFO e{};
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        script_error->GetExceptionInfo(&e);
        script_error->GetSourcePosition(&context, &line, &column);
        error = "script error " + hex(e.scode) + " at line " + std::to_string(line + 1) + ": " +
                narrow(text(e.bstrDescription));
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrHelpFile);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

private:
    IUnknown* counted_;
    IUnknown* maker_;
};

// {B54F3741-5B07-11CF-A4B0-00AA004A55E8}
constexpr CLSID vbscript_engine = {0xb54f3741, 0x5b07, 0x11cf, {0xa4, 0xb0, 0x00, 0xaa, 0x00, 0x4a, 0x55, 0xe8}};

// A VBScript creates and releases 2000 Clickers: some after calling members, some holding a
// Scripting.Dictionary or the host's counted object in startport, some replacing it; it keeps one
// last Clicker alive until the engine closes. In the same process afterwards: the counted object is
// back at its own reference, and DllCanUnloadNow says S_FALSE while the script's last object lives
// and S_OK once the engine is closed. The script makes its Clickers with `maker.Create`, not
// CreateObject: Wine's VBScript keeps the reference to the class object that CreateObject obtains
// (its create_object never releases it), which would hold any server loaded for good.
void script_objects(CanUnload can_unload, const wchar_t* debug_script = nullptr) {
    const wchar_t* script =
        debug_script ? debug_script
                     : L"Dim i, c, d, x, created, keep\n"
                       L"Set d = CreateObject(\"Scripting.Dictionary\")\n"
                       L"created = 0\n"
                       L"For i = 1 To 2000\n"
                       L"    Set c = maker.Create\n"
                       L"    Select Case i Mod 6\n"
                       L"        Case 1\n"
                       L"            c.startport = i: c.get_barcode = 3: x = c.hello: x = c.log\n"
                       L"        Case 2\n"
                       L"            Set c.startport = d\n"
                       L"        Case 3\n"
                       L"            Set c.startport = counted\n"
                       L"        Case 4\n"
                       L"            Set c.startport = counted\n"
                       L"            c.startport = 7\n"
                       L"        Case 5\n"
                       L"            Set c.startport = counted\n"
                       L"            Set c.startport = d\n"
                       L"            On Error Resume Next\n"
                       L"            c.newparams = Null\n"
                       L"            If Err.Number <> 94 Then created = -100000\n"
                       L"            On Error GoTo 0\n"
                       L"    End Select\n"
                       L"    If c.hello = \"Clicker control successfully installed\" Then created = created + 1\n"
                       L"    Set c = Nothing\n"
                       L"Next\n"
                       L"Set keep = maker.Create\n"
                       L"Set keep.startport = counted\n";
    Counted counted;
    Maker maker;
    ScriptSite site(&counted, &maker);
    IActiveScript* engine = nullptr;
    IActiveScriptParse* parser = nullptr;
    HRESULT hr = CoCreateInstance(vbscript_engine, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                                  reinterpret_cast<void**>(&engine));
    if (SUCCEEDED(hr)) hr = engine->QueryInterface(__uuidof(IActiveScriptParse), reinterpret_cast<void**>(&parser));
    if (SUCCEEDED(hr)) hr = engine->SetScriptSite(&site);
    if (SUCCEEDED(hr)) hr = parser->InitNew();
    if (SUCCEEDED(hr)) hr = engine->AddNamedItem(L"counted", SCRIPTITEM_ISVISIBLE);
    if (SUCCEEDED(hr)) hr = engine->AddNamedItem(L"maker", SCRIPTITEM_ISVISIBLE);
    if (SUCCEEDED(hr)) hr = engine->SetScriptState(SCRIPTSTATE_STARTED);
    EXCEPINFO exception{};
    if (SUCCEEDED(hr)) hr = parser->ParseScriptText(script, nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &exception);
    const HRESULT ran = hr;
    long created = -1;
    IDispatch* globals = nullptr;
    if (SUCCEEDED(hr) && SUCCEEDED(engine->GetScriptDispatch(nullptr, &globals))) {
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(by_name(globals, L"created", DISPATCH_PROPERTYGET, nullptr, &v)) &&
            SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4)))
            created = V_I4(&v);
        VariantClear(&v);
        globals->Release();
    }
    const HRESULT script_alive = can_unload ? can_unload() : E_FAIL;
    const long held_by_script = counted.references;
    if (engine) engine->Close();
    if (parser) parser->Release();
    if (engine) engine->Release();
    const HRESULT after = can_unload ? can_unload() : E_FAIL;
    check(SUCCEEDED(ran) && site.error.empty() && created == 2000, "VBScript in this process creates 2000 Clickers",
          "engine " + hex(ran) + ", created " + std::to_string(created) + " " + site.error);
    check(script_alive == S_FALSE && held_by_script > 1 && after == S_OK && counted.references == 1,
          "after the script: DllCanUnloadNow S_FALSE while its last object lives, S_OK once closed; the object "
          "given to startport is back at its own reference",
          "DllCanUnloadNow " + hex(script_alive) + " then " + hex(after) + ", references " +
              std::to_string(held_by_script) + " then " + std::to_string(counted.references));
}

// The server lock and one live object each keep the server from unloading, alone and together.
void unload_rule(CanUnload can_unload) {
    IClassFactory* factory = nullptr;
    CoGetClassObject(CLSID_Clicker, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                     reinterpret_cast<void**>(&factory));
    if (factory == nullptr) {
        check(false, "class factory");
        return;
    }
    struct Step {
        const char* what;
        std::function<void()> act;
        HRESULT expected;
    };
    IUnknown* object = nullptr;
    // Each step acts, then names what is alive after it.
    const Step steps[] = {
        {"factory held", [] {}, S_FALSE},
        {"factory held, one unlock too many", [&] { factory->LockServer(FALSE); }, S_FALSE},
        {"factory held, locked", [&] { factory->LockServer(TRUE); }, S_FALSE},
        {"factory held, locked, one object",
         [&] { factory->CreateInstance(nullptr, IID__Clicker, reinterpret_cast<void**>(&object)); }, S_FALSE},
        {"locked, one object", [&] { factory->Release(); }, S_FALSE},
        {"locked", [&] { object->Release(); }, S_FALSE},
        {"nothing",
         [&] {
             CoGetClassObject(CLSID_Clicker, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                              reinterpret_cast<void**>(&factory));
             factory->LockServer(FALSE);
             factory->Release();
         },
         S_OK},
    };
    std::string detail;
    bool ok = true;
    for (const Step& s : steps) {
        s.act();
        const HRESULT hr = can_unload();
        detail += std::string(s.what) + " " + hex(hr) + "; ";
        ok = ok && hr == s.expected;
    }
    check(ok,
          "DllCanUnloadNow S_FALSE under a server lock, a live object or both (an unlock too many counting for "
          "nothing), S_OK after",
          detail);
}

void resources(const wchar_t* path) {
    // Pinned so that nothing unloads the module between the checks.
    HMODULE pinned = LoadLibraryW(path);
    CanUnload can_unload = loaded_can_unload();
    check(can_unload != nullptr && can_unload() == S_OK, "DllCanUnloadNow S_OK when nothing is alive");
    if (can_unload == nullptr) return;
    many_objects(can_unload);
    reference_balance();
    check(can_unload() == S_OK, "DllCanUnloadNow S_OK after the reference cases");
    script_objects(can_unload);
    unload_rule(can_unload);
    check(can_unload() == S_OK, "DllCanUnloadNow S_OK at the end");
    FreeLibrary(pinned);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--manifest") {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        without_registration(argv[2]);
        CoUninitialize();
        return report.finish("manifest");
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: early_bound PATH_OF_HARROWTALLY_DLL\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    _Clicker* clicker = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID__Clicker,
                                        reinterpret_cast<void**>(&clicker));
    check(SUCCEEDED(hr), "CoCreateInstance of the registered class", hex(hr));
    if (clicker) {
        type_library_slots(clicker);
        type_library_descriptions(clicker);
        slots_without_scanner(clicker);
        dispatch_errors(clicker);
        reference_chains(clicker);
        slots_with_scanner(clicker);
        if (const wchar_t* trace = _wgetenv(L"HARROWTALLY_TRACE")) traced_values(clicker, trace);
        clicker->Release();
    }
    server_rules(argv[1]);
    resources(argv[1]);
    CoUninitialize();
    return report.finish("early-bound");
}
