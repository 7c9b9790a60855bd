// The registered component's IDispatch against its own type information: every member name in
// many spellings, and thousands of Invoke shapes (every identifier, every combination of flags,
// argument counts, named arguments and argument types), each given both to the object's Invoke
// and to ITypeInfo::Invoke on the same object. Any difference in the HRESULT, the result, the
// exception's code or the failing argument's index is a failure.
// Members never reach the scanner: startport is Null before every call, so a member that would
// open the port stops at once with error 94.
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "harrowtally_h.h"
#include "test_report.h"

using Microsoft::WRL::ComPtr;

namespace {

wine_test::Report report("dispatch probe");
using wine_test::hex;

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char code[12];
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(c));
            out += code;
        }
    }
    return out;
}

std::vector<std::wstring> member_names(ITypeInfo* info) {
    std::vector<std::wstring> names;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return names;
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) continue;
        BSTR name = nullptr;
        UINT count = 0;
        if (SUCCEEDED(info->GetNames(f->memid, &name, 1, &count)) && count == 1) names.emplace_back(name);
        SysFreeString(name);
        info->ReleaseFuncDesc(f);
    }
    info->ReleaseTypeAttr(attributes);
    return names;
}

// A name as callers spell it, rightly or not.
std::vector<std::wstring> spellings(const std::wstring& name) {
    std::wstring lower = name, upper = name, alternating = name, kelvin = name, dotless = name, long_s = name;
    for (std::size_t i = 0; i < name.size(); ++i) {
        lower[i] = static_cast<wchar_t>(towlower(name[i]));
        upper[i] = static_cast<wchar_t>(towupper(name[i]));
        alternating[i] = i % 2 ? lower[i] : upper[i];
        if (lower[i] == L'k') kelvin[i] = L'\x212A';
        if (lower[i] == L'i') dotless[i] = L'\x0131';
        if (lower[i] == L's') long_s[i] = L'\x017F';
    }
    return {name,        lower,           upper,       alternating,
            kelvin,      dotless,         long_s,      name + L"\x00AD",
            name + L" ", L" " + name,     L"_" + name, name.substr(0, name.size() - 1),
            name + L"s", name + L"\x0301"};
}

void compare_names(IDispatch* object, ITypeInfo* info) {
    std::vector<std::wstring> names;
    for (const std::wstring& member : member_names(info)) {
        for (const std::wstring& spelt : spellings(member)) names.push_back(spelt);
    }
    for (const wchar_t* other : {L"", L"value", L"_NewEnum", L"Item", L"startport2", L"\x212A", L"\x00AD"}) {
        names.emplace_back(other);
    }
    names.push_back(std::wstring(5000, L'a'));
    std::string differences;
    int compared = 0;
    for (const std::wstring& name : names) {
        LPOLESTR spelt = const_cast<LPOLESTR>(name.c_str());
        DISPID ours = 12345, theirs = 12345;
        const HRESULT our_hr = object->GetIDsOfNames(IID_NULL, &spelt, 1, 0x409, &ours);
        const HRESULT their_hr = info->GetIDsOfNames(&spelt, 1, &theirs);
        ++compared;
        if (our_hr != their_hr || (SUCCEEDED(our_hr) && ours != theirs)) {
            differences += narrow(name.substr(0, 40)) + ": " + hex(our_hr) + "/" + std::to_string(ours) + " vs " +
                           hex(their_hr) + "/" + std::to_string(theirs) + "; ";
        }
    }
    report.check(differences.empty() && compared > 400,
                 "GetIDsOfNames answers as the type information for " + std::to_string(compared) + " names",
                 differences.substr(0, 2000));
}

// The values an argument takes in the shapes: the put values keep startport Null.
struct Argument {
    const char* what;
    VARTYPE vt;
};

constexpr UINT unset = 77;  // a failing argument's index nobody wrote

struct Outcome {
    HRESULT hr;
    VARTYPE result_type;
    std::wstring result_text;
    SCODE scode;
    UINT bad_argument;

    bool operator==(const Outcome&) const = default;
    std::string text() const {
        return hex(hr) + " vt " + std::to_string(result_type) + " \"" + narrow(result_text.substr(0, 20)) +
               "\" scode " + hex(scode) + " arg " + std::to_string(static_cast<int>(bad_argument));
    }
};

class Probe {
public:
    Probe(_Clicker* clicker, ITypeInfo* info) : clicker_(clicker), info_(info) {
        V_VT(&null_) = VT_NULL;
        V_VT(&text_) = VT_BSTR;
        V_BSTR(&text_) = SysAllocString(L"Null");
        V_VT(&reference_) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&reference_) = &null_;
        text_reference_target_ = SysAllocString(L"x");
        V_VT(&text_reference_) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&text_reference_) = &text_reference_target_;
        V_VT(&number_) = VT_I4;
        V_I4(&number_) = 0;
    }
    ~Probe() {
        VariantClear(&text_);
        SysFreeString(text_reference_target_);
    }

    // One shape: the same DISPPARAMS (copied afresh) to the object and to the type information.
    Outcome call(bool through_type_info, DISPID id, WORD flags, UINT args, UINT named, DISPID name,
                 const VARIANT* value) {
        VARIANTARG arguments[2];
        for (UINT i = 0; i < args; ++i) arguments[i] = *value;
        DISPID names[2] = {name, name};
        DISPPARAMS params{args ? arguments : nullptr, named ? names : nullptr, args, named};
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        UINT bad = unset;
        reset();
        const HRESULT hr =
            through_type_info
                ? info_->Invoke(static_cast<_Clicker*>(clicker_), id, flags, &params, &result, &exception, &bad)
                : clicker_->Invoke(id, IID_NULL, 0x409, flags, &params, &result, &exception, &bad);
        Outcome o{hr, V_VT(&result), {}, exception.scode, bad};
        if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        VARIANT text;
        VariantInit(&text);
        if (SUCCEEDED(VariantChangeType(&text, &result, 0, VT_BSTR)) && V_BSTR(&text)) o.result_text = V_BSTR(&text);
        VariantClear(&text);
        VariantClear(&result);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        if (hr != DISP_E_EXCEPTION) o.scode = 0;
        if (hr != DISP_E_TYPEMISMATCH && hr != DISP_E_PARAMNOTFOUND && hr != DISP_E_BADVARTYPE) o.bad_argument = 0;
        return o;
    }

    const VARIANT* value(int which) const {
        const VARIANT* values[] = {&null_, &text_, &reference_, &text_reference_, &number_};
        return values[which];
    }
    static constexpr int values = 5;

private:
    void reset() {
        VARIANT null;
        V_VT(&null) = VT_NULL;
        clicker_->put_startport(null);
        SysReAllocString(&text_reference_target_, L"x");
    }

    _Clicker* clicker_;
    ITypeInfo* info_;
    VARIANT null_, text_, reference_, text_reference_, number_;
    BSTR text_reference_target_;
};

void compare_invocations(_Clicker* clicker, ITypeInfo* info) {
    std::vector<DISPID> ids;
    for (const std::wstring& name : member_names(info)) {
        LPOLESTR spelt = const_cast<LPOLESTR>(name.c_str());
        DISPID id = DISPID_UNKNOWN;
        if (SUCCEEDED(info->GetIDsOfNames(&spelt, 1, &id))) ids.push_back(id);
    }
    for (DISPID other : {DISPID_VALUE, DISPID_UNKNOWN, DISPID_NEWENUM, 999, 0x60000000}) ids.push_back(other);
    Probe probe(clicker, info);
    int compared = 0, differing = 0;
    std::string differences;
    const auto compare = [&](DISPID id, WORD flags, UINT args, UINT named, DISPID name, const VARIANT* value) {
        const Outcome ours = probe.call(false, id, flags, args, named, name, value);
        Outcome theirs = probe.call(true, id, flags, args, named, name, value);
        // Wine's dispatcher leaves the failing argument's index unset when it cannot convert a text
        // parameter; the documented answer, which the component gives, is that argument's index.
        if (theirs.hr == DISP_E_TYPEMISMATCH && theirs.bad_argument == unset) theirs.bad_argument = ours.bad_argument;
        ++compared;
        if (!(ours == theirs)) {
            if (++differing <= 12) {
                differences += "id " + std::to_string(id) + " flags " + std::to_string(flags) + " args " +
                               std::to_string(args) + "/" + std::to_string(named) + " name " + std::to_string(name) +
                               " vt " + std::to_string(value ? V_VT(value) : 0) + ": " + ours.text() + " vs " +
                               theirs.text() + "; ";
            }
        }
    };
    for (DISPID id : ids) {
        for (WORD flags = 1; flags <= 15; ++flags) {
            compare(id, flags, 0, 0, 0, nullptr);
            for (int v = 0; v < Probe::values; ++v) {
                for (UINT args = 1; args <= 2; ++args) {
                    compare(id, flags, args, 0, 0, probe.value(v));
                    compare(id, flags, args, 1, DISPID_PROPERTYPUT, probe.value(v));
                    compare(id, flags, args, 1, 0, probe.value(v));
                }
            }
        }
    }
    report.check(differing == 0 && compared > 5000,
                 "Invoke answers as the type information for " + std::to_string(compared) + " shapes",
                 std::to_string(differing) + " differ: " + differences);
}

}  // namespace

int wmain() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<_Clicker> clicker;
        HRESULT hr =
            CoCreateInstance(CLSID_Clicker, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(clicker.GetAddressOf()));
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(hr)) hr = clicker->GetTypeInfo(0, 0x409, info.GetAddressOf());
        report.check(SUCCEEDED(hr), "the registered class and its type information", hex(hr));
        if (SUCCEEDED(hr)) {
            compare_names(clicker.Get(), info.Get());
            compare_invocations(clicker.Get(), info.Get());
        }
    }
    CoUninitialize();
    return report.finish("dispatch probe");
}
