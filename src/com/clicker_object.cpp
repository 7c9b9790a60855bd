#include "com/clicker_object.h"

#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "com/call_trace.h"
#include "com/com_owners.h"
#include "com/com_variant.h"
#include "com/dispatch_table.h"
#include "com/module_state.h"
#include "common/runtime_error.h"
#include "scanner/loaded_csp2.h"
#include "windows/directory_listing.h"
#include "windows/library_opener.h"
#include "windows/message_pump.h"
#include "windows/scanner_lock.h"

namespace harrowtally::com {
namespace {

// The collaborators every object shares: one scanner library per process (the library keeps the
// open port, so all objects must talk to the same one) and the lock that lets one connection at a
// time into it, whichever thread or object makes it; the PC clock, the pause over the thread's
// message pump and the data-folder listing. Created with the first object, and freed, the scanner
// library with them, when the module may unload (release_shared_services).
struct SharedServices {
    windows::WindowsScannerLock lock;
    LoadedCSP2 library{windows::library_opener()};
    ComponentTrace trace{library};  // HARROWTALLY_TRACE, read once here
    SystemClock clock;
    windows::WindowsMessagePump pump;
    SettlingPause pause{pump};
    windows::WindowsDirectoryListing listing;
};

std::mutex shared_guard;
std::unique_ptr<SharedServices> shared;

ScannerServices services() {
    const std::lock_guard<std::mutex> hold(shared_guard);
    if (!shared) shared = std::make_unique<SharedServices>();
    ScannerServices s;
    s.library = ScannerLibrary(&shared->trace.library(), &shared->lock);
    s.clock = &shared->clock;
    s.pause = &shared->pause;
    s.listing = &shared->listing;
    return s;
}

// The services with the object's own conversions in place of the given ones.
ScannerServices with_conversions(ScannerServices services, const PlatformConversions& conversions) {
    services.conversions = &conversions;
    return services;
}

// Runs a member's work and turns whatever it throws into the member's HRESULT. A failure that is
// not a runtime error of the core carries no error object of ours, so the thread's error object
// is cleared: a caller must not find the description of some earlier error with it. The object
// keeps itself alive meanwhile: a host may release its last reference while the settling pause
// dispatches its messages.
template <typename Work>
HRESULT run_guarded(_Clicker* self, Work&& work) noexcept {
    const Microsoft::WRL::ComPtr<_Clicker> alive(self);
    HRESULT failure = E_UNEXPECTED;
    try {
        work();
        return S_OK;
    } catch (const RuntimeError& e) {
        return report_runtime_error(e.number());
    } catch (const std::bad_alloc&) {
        failure = E_OUTOFMEMORY;
    } catch (...) {
        failure = E_UNEXPECTED;
    }
    SetErrorInfo(0, nullptr);
    return failure;
}

// A failure that is no runtime error of the core leaves no error object: a caller must not find
// the description of some earlier error with it.
HRESULT without_error_object(HRESULT failure) {
    SetErrorInfo(0, nullptr);
    return failure;
}

// A value as an assignment takes it, one way for every member that takes a VARIANT: an object
// stands for the value of its default member, followed at most eight deep.
Variant default_of(Variant v) {
    if (v.type() == VarType::Object && v.as_object()) v = v.as_object()->default_value();
    return v;
}
Variant let_value(const VARIANT& source) {
    return default_of(from_variant(source));
}

// Out parameters hold a defined value on failure too: empty, null or zero.
void clear_out(VARIANT* out) {
    VariantInit(out);
}
void clear_out(BSTR* out) {
    *out = nullptr;
}
void clear_out(short* out) {  // VARIANT_BOOL too
    *out = 0;
}

// Every member call of the vtable, however the host made it (early bound, or through Invoke's
// table or the type library), passes here with the member's name: one place to trace them all.
template <typename Work>
HRESULT guarded(_Clicker* self, const MemberCall& call, Work&& work) noexcept {
    return traced(call, [&] { return run_guarded(self, work); });
}

template <typename Out, typename Work>
HRESULT guarded_out(_Clicker* self, const MemberCall& call, Out* out, Work&& work) noexcept {
    return traced(call, [&] {
        if (out == nullptr) return without_error_object(E_POINTER);
        clear_out(out);
        return run_guarded(self, work);
    });
}

// By-reference arguments are only read.
template <typename In, typename Work>
HRESULT guarded_in(_Clicker* self, const MemberCall& call, In* in, Work&& work) noexcept {
    return traced(call, [&] {
        if (in == nullptr) return without_error_object(E_POINTER);
        return run_guarded(self, work);
    });
}

// The result VARIANT is written only when the whole value is ready.
void give_variant(VARIANT* out, const Variant& value) {
    VARIANT ready;
    to_variant(value, &ready);
    *out = ready;
}

}  // namespace

namespace {

// A failed member reaches a dispatch caller as DISP_E_EXCEPTION with the error object's content.
HRESULT as_exception(HRESULT failure, EXCEPINFO* exception) {
    if (exception != nullptr) {
        *exception = EXCEPINFO{};
        exception->scode = failure;
        Microsoft::WRL::ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.GetAddressOf()) == S_OK) {
            info->GetSource(&exception->bstrSource);
            info->GetDescription(&exception->bstrDescription);
            info->GetHelpFile(&exception->bstrHelpFile);
            info->GetHelpContext(&exception->dwHelpContext);
        }
    }
    return DISP_E_EXCEPTION;
}

// No member takes more than one argument (a put's value), and no script passes more than a few:
// a count above this is taken for what it most likely is, a count larger than its array, and is
// refused before any argument is read. Up to it, the arguments are checked and the call goes to
// whichever path answers it, so that a call with too many arguments gets the type library's answer.
constexpr UINT most_arguments = 32;

// A type a VARIANT argument may have: a known automation base type, with only the flag combinations
// a VARIANT can carry (a reference to a VARIANT, a reference, an array, a reference to an array).
bool is_argument_type(VARTYPE vt) {
    const VARTYPE base = vt & VT_TYPEMASK;
    const VARTYPE flags = vt & ~VT_TYPEMASK;
    if ((flags & ~(VT_BYREF | VT_ARRAY)) != 0) return false;  // VT_VECTOR and the reserved bit
    const bool known = base <= VT_DECIMAL || (base >= VT_I1 && base <= VT_UINT) || base == VT_RECORD;
    if (!known || base == 15) return false;
    if (base == VT_EMPTY || base == VT_NULL) return flags == 0;
    if (base == VT_VARIANT) return flags != 0;
    return true;
}

// An argument's type and pointers, and those of the values it refers to, as far as any path reads
// through references to VARIANTs (a longer chain is refused where the value is taken).
HRESULT check_argument(const VARIANTARG& argument) {
    const VARIANT* value = &argument;
    for (int depth = 0; depth <= most_reference_steps; ++depth) {
        const VARTYPE vt = V_VT(value);
        if (!is_argument_type(vt)) return DISP_E_BADVARTYPE;
        if ((vt & (VT_BYREF | VT_ARRAY)) != 0 && V_BYREF(value) == nullptr) return E_POINTER;
        // An array without dimensions is no array the platform describes.
        if ((vt & VT_ARRAY) != 0) {
            const SAFEARRAY* array = (vt & VT_BYREF) != 0 ? *V_ARRAYREF(value) : V_ARRAY(value);
            if (array != nullptr && array->cDims == 0) return E_INVALIDARG;
        }
        if (vt != (VT_BYREF | VT_VARIANT)) return S_OK;
        value = V_VARIANTREF(value);
    }
    return S_OK;
}

// One check of a call's shape and arguments in front of every path (the fast path, the
// by-reference puts, the type library's dispatcher): none of them is handed counts that disagree
// with the arrays, or a value it cannot read.
HRESULT check_call(const DISPPARAMS* params, UINT* bad_argument) {
    if (params == nullptr) return E_INVALIDARG;
    if ((params->cArgs > 0 && params->rgvarg == nullptr) ||
        (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) || params->cNamedArgs > params->cArgs) {
        return E_INVALIDARG;
    }
    if (params->cArgs > most_arguments) return DISP_E_BADPARAMCOUNT;
    for (UINT i = 0; i < params->cArgs; ++i) {
        if (const HRESULT hr = check_argument(params->rgvarg[i]); FAILED(hr)) {
            if (bad_argument != nullptr) *bad_argument = i;
            return hr;
        }
    }
    return S_OK;
}

// The value of a property put as scripts send it: one argument, named DISPID_PROPERTYPUT.
const VARIANT* put_argument(WORD flags, const DISPPARAMS* params) {
    if ((flags & DISPATCH_PROPERTYPUT) == 0 || params == nullptr || params->cArgs != 1 || params->cNamedArgs != 1 ||
        params->rgvarg == nullptr || params->rgdispidNamedArgs == nullptr ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return nullptr;
    }
    return &params->rgvarg[0];
}

// The puts whose parameter is a reference to a VARIANT; pnewdatetime's is a reference to a text.
struct VariantReferencePut {
    DISPID id;
    HRESULT (STDMETHODCALLTYPE ClickerObject::*put)(VARIANT*);
};
constexpr VariantReferencePut variant_reference_puts[] = {
    {DISPID_CLICKER_LASTPORT, &ClickerObject::put_lastport},
    {DISPID_CLICKER_NEWPARAMS, &ClickerObject::put_newparams},
    {DISPID_CLICKER_CUR_CLICKER_PARAMS, &ClickerObject::put_cur_clicker_params},
};

const VariantReferencePut* variant_reference_put(DISPID id) {
    for (const VariantReferencePut& p : variant_reference_puts) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

bool is_by_reference_put(DISPID id) {
    return id == DISPID_CLICKER_PNEWDATETIME || variant_reference_put(id) != nullptr;
}

// A script's placeholder for an argument it left out ("c.m(, x)").
bool is_missing(const VARIANTARG& argument) {
    return V_VT(&argument) == VT_ERROR && V_ERROR(&argument) == DISP_E_PARAMNOTFOUND;
}

// Whether a call gives a fast member as many positional arguments as it takes.
bool takes_as_given(const FastMember& member, const DISPPARAMS& params) {
    return params.cArgs == member.arguments && params.cNamedArgs == 0;
}

// The first argument left out, or none: no parameter of a fast member is optional.
std::optional<UINT> missing_argument(const DISPPARAMS& params) {
    for (UINT i = params.cArgs; i-- > 0;) {
        if (is_missing(params.rgvarg[i])) return i;
    }
    return std::nullopt;
}

}  // namespace

HRESULT report_runtime_error(int number) noexcept {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.GetAddressOf()))) {
        // Widened into a buffer of its own: reporting an error must not need memory of the C++ heap,
        // which may be what ran out.
        const char* text = standard_error_text(number);
        wchar_t description[128];
        std::size_t n = 0;
        for (; n + 1 < std::size(description) && text[n] != '\0'; ++n) {
            description[n] = static_cast<wchar_t>(static_cast<unsigned char>(text[n]));
        }
        description[n] = L'\0';
        create->SetGUID(IID__Clicker);
        create->SetSource(const_cast<LPOLESTR>(L"Harrowtally"));
        create->SetDescription(description);
        Microsoft::WRL::ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

void release_shared_services() {
    std::unique_ptr<SharedServices> gone;
    {
        const std::lock_guard<std::mutex> hold(shared_guard);
        if (module_state().objects == 0) gone = std::move(shared);
    }
    // Freed outside the guard: the scanner library's own unloading may take a while.
}

ClickerObject::ClickerObject(ITypeInfo* type_info) : ClickerObject(type_info, services()) {}

ClickerObject::ClickerObject(ITypeInfo* type_info, const ScannerServices& services)
    : type_info_(type_info), clicker_(with_conversions(services, conversions_)) {}

ClickerObject::~ClickerObject() = default;

HRESULT ClickerObject::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID__Clicker)) {
        *object = static_cast<_Clicker*>(this);
    } else if (IsEqualIID(riid, IID_ISupportErrorInfo)) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG ClickerObject::AddRef() {
    return ++references_;
}

ULONG ClickerObject::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT ClickerObject::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT ClickerObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return type_info_.CopyTo(info);
}

HRESULT ClickerObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return without_error_object(DISP_E_UNKNOWNINTERFACE);
    if (names == nullptr || ids == nullptr) return without_error_object(E_POINTER);
    if (count == 0) return without_error_object(E_INVALIDARG);  // nothing to look up, and no names[0]
    for (UINT i = 0; i < count; ++i) {
        if (names[i] == nullptr) return without_error_object(E_POINTER);
    }
    // A member's own name is looked up in the table, which is quicker; everything else (named
    // arguments, restricted members, names with letters outside ASCII) as the type library finds it.
    const DispatchTable* table = clicker_dispatch_table();
    if (table == nullptr) return without_error_object(E_UNEXPECTED);
    if (count == 1 && (ids[0] = table->find(names[0])) != DISPID_UNKNOWN) return S_OK;
    const HRESULT hr = DispGetIDsOfNames(type_info_.Get(), names, count, ids);
    return FAILED(hr) ? without_error_object(hr) : hr;
}

HRESULT ClickerObject::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* exception, UINT* bad_argument) {
    // Taken first, so it is given back last: the host may release its last reference while the
    // member runs (in the settling pause, or from a value's default member), and the call's locale
    // is put back into the object on the way out.
    const Microsoft::WRL::ComPtr<_Clicker> alive(static_cast<_Clicker*>(this));
    if (!IsEqualIID(riid, IID_NULL)) return without_error_object(DISP_E_UNKNOWNINTERFACE);
    if (const HRESULT shape = check_call(params, bad_argument); FAILED(shape)) return without_error_object(shape);
    // The host's values are read in the caller's locale for the whole call.
    const PlatformConversions::CallLocale call_locale(conversions_, lcid);
    const DispatchTable* table = clicker_dispatch_table();
    if (table == nullptr) return without_error_object(E_UNEXPECTED);
    // A fast member is called here only with all its arguments, in order; one left out is refused
    // as the platform's dispatcher refuses it for a parameter that is not optional. A call with
    // named arguments, or too few or many, gets the type library's own answer (DISP_E_BADPARAMCOUNT).
    if (const FastMember* member = table->fast_member(id); member != nullptr && takes_as_given(*member, *params)) {
        const WORD called_as = member->kind == INVOKE_FUNC ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
        if ((flags & called_as) != 0) {
            if (const auto missing = missing_argument(*params)) {
                if (bad_argument != nullptr) *bad_argument = *missing;
                return without_error_object(DISP_E_PARAMNOTOPTIONAL);
            }
            return invoke_fast(*member, params->rgvarg, result, exception);
        }
    }
    if (const VARIANT* value = put_argument(flags, params); value != nullptr && is_by_reference_put(id)) {
        return put_by_reference(id, *value, exception, bad_argument);
    }
    // Script hosts pass a variable by reference as a reference to its VARIANT. The remaining
    // parameters are taken by value, which the type library's dispatcher copies from what it is
    // given, so the referenced value is handed on in place of the reference: not every dispatcher
    // reads through such a reference. By-reference parameters get the caller's arguments as they are.
    VARIANTARG unwrapped[most_arguments];
    DISPPARAMS unwrapped_params;
    if (!is_by_reference_put(id)) {
        bool any = false;
        for (UINT i = 0; i < params->cArgs; ++i) {
            const VARIANTARG& arg = params->rgvarg[i];
            if (V_VT(&arg) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&arg) != nullptr &&
                (V_VT(V_VARIANTREF(&arg)) & VT_BYREF) == 0) {
                unwrapped[i] = *V_VARIANTREF(&arg);
                any = true;
            } else {
                unwrapped[i] = arg;
            }
        }
        if (any) {
            unwrapped_params = *params;
            unwrapped_params.rgvarg = unwrapped;
            params = &unwrapped_params;
        }
    }
    // The type library's dispatcher leaves the thread's error object as it finds it; a failure of
    // its own (not one of a member) must not come with an earlier error's description.
    const HRESULT hr =
        type_info_->Invoke(static_cast<_Clicker*>(this), id, flags, params, result, exception, bad_argument);
    return FAILED(hr) && hr != DISP_E_EXCEPTION ? without_error_object(hr) : hr;
}

// The puts whose parameter is a reference (lastport, newparams, cur_clicker_params, pnewdatetime)
// are called here with a pointer to the caller's own value, which they only read: the caller's
// variable is neither changed nor freed, whatever form it came in.
HRESULT ClickerObject::put_by_reference(DISPID id, const VARIANT& argument, EXCEPINFO* exception, UINT* bad_argument) {
    const Microsoft::WRL::ComPtr<_Clicker> alive(this);
    VARIANT* value = const_cast<VARIANT*>(&argument);
    HRESULT hr = S_OK;
    if (const VariantReferencePut* put = variant_reference_put(id)) {
        hr = (this->*put->put)(value);
    } else {
        // pnewdatetime: a text is read where it is; any other value is converted into a text of our own.
        if (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr) value = V_VARIANTREF(value);
        if (V_VT(value) == VT_BSTR) {
            hr = put_pnewdatetime(&V_BSTR(value));
        } else if (V_VT(value) == (VT_BYREF | VT_BSTR) && V_BSTRREF(value) != nullptr) {
            hr = put_pnewdatetime(V_BSTRREF(value));
        } else {
            // Any other value is taken as every member takes one and converted as the core converts
            // values. One that gives no text (Null, a DECIMAL the platform cannot hold, an object
            // without a default value) is the type mismatch the type library's dispatcher reports for
            // a text parameter.
            std::u16string text;
            const HRESULT converted = run_guarded(this, [&] { text = conversions_.to_text(let_value(*value)); });
            if (converted == E_OUTOFMEMORY) return without_error_object(converted);
            if (FAILED(converted)) {
                if (bad_argument != nullptr) *bad_argument = 0;
                return without_error_object(DISP_E_TYPEMISMATCH);
            }
            hr = guarded(this, MemberCall::put("pnewdatetime", value), [&] { clicker_.pnewdatetime(text); });
        }
    }
    return FAILED(hr) ? as_exception(hr, exception) : S_OK;
}

HRESULT ClickerObject::invoke_fast(const FastMember& member, const VARIANTARG* arguments, VARIANT* result,
                                   EXCEPINFO* exception) {
    VariantValue value;
    const HRESULT hr = member.call(*this, arguments, value.get());
    if (FAILED(hr)) {
        // A result the member gives on failure too (EmptyScannerIf's False) reaches the caller.
        if (result != nullptr && V_VT(value.get()) != VT_EMPTY) *result = value.release();
        return as_exception(hr, exception);
    }
    if (result != nullptr) *result = value.release();
    return S_OK;
}

HRESULT ClickerObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID__Clicker) ? S_OK : S_FALSE;
}

HRESULT ClickerObject::get_startport(VARIANT* value) {
    return guarded_out(this, MemberCall::get("startport"), value, [&] { give_variant(value, clicker_.startport()); });
}

HRESULT ClickerObject::put_startport(VARIANT value) {
    return guarded(this, MemberCall::put("startport", &value), [&] { clicker_.let_startport(let_value(value)); });
}

HRESULT ClickerObject::putref_startport(VARIANT value) {
    return guarded(this, MemberCall::putref("startport", &value), [&] {
        Variant v = from_variant(value);
        // Only an object reference can be set; a value is assigned with let.
        if (v.type() != VarType::Object) throw RuntimeError(err::type_mismatch);
        clicker_.set_startport(v);
    });
}

HRESULT ClickerObject::get_get_barcode(short* value) {
    return guarded_out(this, MemberCall::get("get_barcode"), value, [&] { *value = clicker_.get_barcode(); });
}

HRESULT ClickerObject::put_get_barcode(short value) {
    return guarded(this, MemberCall::put("get_barcode", value), [&] { clicker_.let_get_barcode(value); });
}

HRESULT ClickerObject::open_clicker() {
    return guarded(this, MemberCall::method("open_clicker"), [&] { clicker_.open_clicker(); });
}

HRESULT ClickerObject::close_clicker() {
    return guarded(this, MemberCall::method("close_clicker"), [&] { clicker_.close_clicker(); });
}

HRESULT ClickerObject::get_serial(VARIANT* value) {
    return guarded_out(this, MemberCall::get("serial"), value, [&] { give_variant(value, clicker_.serial()); });
}

HRESULT ClickerObject::get_log(VARIANT* value) {
    return guarded_out(this, MemberCall::get("log"), value, [&] { give_variant(value, clicker_.log()); });
}

HRESULT ClickerObject::put_lastport(VARIANT* pt) {
    return guarded_in(this, MemberCall::put("lastport", pt), pt, [&] { clicker_.lastport(let_value(*pt)); });
}

HRESULT ClickerObject::put_newparams(VARIANT* nparams) {
    return guarded_in(this, MemberCall::put("newparams", nparams), nparams,
                      [&] { clicker_.newparams(let_value(*nparams)); });
}

HRESULT ClickerObject::put_cur_clicker_params(VARIANT* sparams) {
    return guarded_in(this, MemberCall::put("cur_clicker_params", sparams), sparams,
                      [&] { clicker_.cur_clicker_params(let_value(*sparams)); });
}

HRESULT ClickerObject::put_pnewdatetime(BSTR* newdt) {
    return guarded_in(this, MemberCall::put("pnewdatetime", newdt), newdt,
                      [&] { clicker_.pnewdatetime(from_bstr(*newdt)); });
}

HRESULT ClickerObject::get_alldata(VARIANT* value) {
    return guarded_out(this, MemberCall::get("alldata"), value, [&] { give_variant(value, clicker_.alldata()); });
}

HRESULT ClickerObject::get_comport(short* value) {
    return guarded_out(this, MemberCall::get("comport"), value, [&] { *value = clicker_.comport(); });
}

HRESULT ClickerObject::get_num_barcodes(short* value) {
    return guarded_out(this, MemberCall::get("num_barcodes"), value, [&] { *value = clicker_.num_barcodes(); });
}

HRESULT ClickerObject::get_hello(BSTR* value) {
    return guarded_out(this, MemberCall::get("hello"), value, [&] { *value = to_bstr(clicker_.hello()); });
}

HRESULT ClickerObject::get_num_files(short* value) {
    return guarded_out(this, MemberCall::get("num_files"), value, [&] { *value = clicker_.num_files(); });
}

HRESULT ClickerObject::get_open_ok(VARIANT_BOOL* value) {
    return guarded_out(this, MemberCall::get("open_ok"), value,
                       [&] { *value = clicker_.open_ok() ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT ClickerObject::get_empty_ok(VARIANT_BOOL* value) {
    return guarded_out(this, MemberCall::get("empty_ok"), value,
                       [&] { *value = clicker_.empty_ok() ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT ClickerObject::EmptyScanner() {
    return guarded(this, MemberCall::method("EmptyScanner"), [&] { clicker_.EmptyScanner(); });
}

HRESULT ClickerObject::reset_params() {
    return guarded(this, MemberCall::method("reset_params"), [&] { clicker_.reset_params(); });
}

HRESULT ClickerObject::get_showparams(VARIANT* value) {
    return guarded_out(this, MemberCall::get("showparams"), value, [&] { give_variant(value, clicker_.showparams()); });
}

HRESULT ClickerObject::get_SwVersion(VARIANT* value) {
    return guarded_out(this, MemberCall::get("SwVersion"), value, [&] { give_variant(value, clicker_.SwVersion()); });
}

HRESULT ClickerObject::getdate() {
    return guarded(this, MemberCall::method("getdate"), [&] { clicker_.getdate(); });
}

HRESULT ClickerObject::setdate() {
    return guarded(this, MemberCall::method("setdate"), [&] { clicker_.setdate(); });
}

HRESULT ClickerObject::get_sbarcode(VARIANT* value) {
    return guarded_out(this, MemberCall::get("sbarcode"), value, [&] { give_variant(value, clicker_.sbarcode()); });
}

HRESULT ClickerObject::get_stime(VARIANT* value) {
    return guarded_out(this, MemberCall::get("stime"), value, [&] { give_variant(value, clicker_.stime()); });
}

HRESULT ClickerObject::get_stype(VARIANT* value) {
    return guarded_out(this, MemberCall::get("stype"), value, [&] { give_variant(value, clicker_.stype()); });
}

HRESULT ClickerObject::EmptyScannerIf(VARIANT count, VARIANT serial, VARIANT_BOOL* erased) {
    return guarded_out(this, MemberCall::method("EmptyScannerIf", &count, &serial), erased, [&] {
        // Both are copied before either's default member runs: host code may change or free what
        // the other one refers to.
        Variant saved_count = from_variant(count);
        Variant saved_serial = from_variant(serial);
        saved_serial = default_of(std::move(saved_serial));
        saved_count = default_of(std::move(saved_count));
        const bool emptied = clicker_.EmptyScannerIf(saved_count, saved_serial);
        *erased = emptied ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

}  // namespace harrowtally::com
