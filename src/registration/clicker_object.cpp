#include "clicker_object.h"

#include <new>
#include <string>

#include "com_variant.h"
#include "common/runtime_error.h"
#include "module_state.h"
#include "scanner/loaded_csp2.h"
#include "windows_platform.h"

namespace harrowtally::windows {
namespace {

// The collaborators every object shares: one scanner library per process (the library keeps the
// open port, so all objects must talk to the same one), the PC clock, the pause over the thread's
// message pump and the data-folder listing. Created at the first object and kept for the life of
// the process, like the scanner library they load.
struct SharedServices {
    LoadedCSP2 library{library_opener()};
    SystemClock clock;
    WindowsMessagePump pump;
    SettlingPause pause{pump};
    WindowsDirectoryListing listing;
};

ScannerServices services() {
    static SharedServices* shared = new SharedServices();
    ScannerServices s;
    s.library = &shared->library;
    s.clock = &shared->clock;
    s.pause = &shared->pause;
    s.listing = &shared->listing;
    s.number_format = user_number_format();
    return s;
}

template <typename Work>
HRESULT guarded(Work&& work) noexcept {
    try {
        work();
        return S_OK;
    } catch (const RuntimeError& e) {
        return report_runtime_error(e.number());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
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

template <typename Out, typename Work>
HRESULT guarded_out(Out* out, Work&& work) noexcept {
    if (out == nullptr) return E_POINTER;
    clear_out(out);
    return guarded(std::forward<Work>(work));
}

// By-reference arguments are only read.
template <typename In, typename Work>
HRESULT guarded_in(In* in, Work&& work) noexcept {
    if (in == nullptr) return E_POINTER;
    return guarded(std::forward<Work>(work));
}

// The result VARIANT is written only when the whole value is ready.
void give_variant(VARIANT* out, const Variant& value) {
    VARIANT ready;
    to_variant(value, &ready);
    *out = ready;
}

}  // namespace

HRESULT report_runtime_error(int number) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        const char* text = standard_error_text(number);
        std::wstring description(text, text + std::char_traits<char>::length(text));
        create->SetGUID(IID__Clicker);
        create->SetSource(const_cast<LPOLESTR>(L"Harrowtally"));
        create->SetDescription(description.data());
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

ClickerObject::ClickerObject(ITypeInfo* type_info) : type_info_(type_info), clicker_(services()) {
    type_info_->AddRef();
    ++module_state().objects;
}

ClickerObject::~ClickerObject() {
    type_info_->Release();
    --module_state().objects;
}

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
    type_info_->AddRef();
    *info = type_info_;
    return S_OK;
}

HRESULT ClickerObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(type_info_, names, count, ids);
}

HRESULT ClickerObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* exception, UINT* bad_argument) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    // Script hosts pass a variable by reference as a reference to its VARIANT. Every by-reference
    // parameter of _Clicker is only read, so the referenced value is handed on in its place: not
    // every type-library dispatcher converts such a reference to a reference of another type (BSTR*).
    constexpr UINT most_arguments = 4;
    VARIANTARG unwrapped[most_arguments];
    DISPPARAMS unwrapped_params;
    if (params != nullptr && params->cArgs <= most_arguments && params->rgvarg != nullptr) {
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
    return type_info_->Invoke(static_cast<_Clicker*>(this), id, flags, params, result, exception, bad_argument);
}

HRESULT ClickerObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, IID__Clicker) ? S_OK : S_FALSE;
}

HRESULT ClickerObject::get_startport(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.startport()); });
}

HRESULT ClickerObject::put_startport(VARIANT value) {
    return guarded([&] {
        Variant v = from_variant(value);
        // Assigning an object by value stores the value of its default member.
        if (v.type() == VarType::Object && v.as_object()) v = v.as_object()->default_value();
        clicker_.let_startport(v);
    });
}

HRESULT ClickerObject::putref_startport(VARIANT value) {
    return guarded([&] { clicker_.set_startport(from_variant(value)); });
}

HRESULT ClickerObject::get_get_barcode(short* value) {
    return guarded_out(value, [&] { *value = clicker_.get_barcode(); });
}

HRESULT ClickerObject::put_get_barcode(short value) {
    return guarded([&] { clicker_.let_get_barcode(value); });
}

HRESULT ClickerObject::open_clicker() {
    return guarded([&] { clicker_.open_clicker(); });
}

HRESULT ClickerObject::close_clicker() {
    return guarded([&] { clicker_.close_clicker(); });
}

HRESULT ClickerObject::get_serial(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.serial()); });
}

HRESULT ClickerObject::get_log(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.log()); });
}

HRESULT ClickerObject::put_lastport(VARIANT* pt) {
    return guarded_in(pt, [&] { clicker_.lastport(from_variant(*pt)); });
}

HRESULT ClickerObject::put_newparams(VARIANT* nparams) {
    return guarded_in(nparams, [&] { clicker_.newparams(from_variant(*nparams)); });
}

HRESULT ClickerObject::put_cur_clicker_params(VARIANT* sparams) {
    return guarded_in(sparams, [&] { clicker_.cur_clicker_params(from_variant(*sparams)); });
}

HRESULT ClickerObject::put_pnewdatetime(BSTR* newdt) {
    return guarded_in(newdt, [&] { clicker_.pnewdatetime(from_bstr(*newdt)); });
}

HRESULT ClickerObject::get_alldata(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.alldata()); });
}

HRESULT ClickerObject::get_comport(short* value) {
    return guarded_out(value, [&] { *value = clicker_.comport(); });
}

HRESULT ClickerObject::get_num_barcodes(short* value) {
    return guarded_out(value, [&] { *value = clicker_.num_barcodes(); });
}

HRESULT ClickerObject::get_hello(BSTR* value) {
    return guarded_out(value, [&] { *value = to_bstr(clicker_.hello()); });
}

HRESULT ClickerObject::get_num_files(short* value) {
    return guarded_out(value, [&] { *value = clicker_.num_files(); });
}

HRESULT ClickerObject::get_open_ok(VARIANT_BOOL* value) {
    return guarded_out(value, [&] { *value = clicker_.open_ok() ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT ClickerObject::get_empty_ok(VARIANT_BOOL* value) {
    return guarded_out(value, [&] { *value = clicker_.empty_ok() ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT ClickerObject::EmptyScanner() {
    return guarded([&] { clicker_.EmptyScanner(); });
}

HRESULT ClickerObject::reset_params() {
    return guarded([&] { clicker_.reset_params(); });
}

HRESULT ClickerObject::get_showparams(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.showparams()); });
}

HRESULT ClickerObject::get_SwVersion(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.SwVersion()); });
}

HRESULT ClickerObject::getdate() {
    return guarded([&] { clicker_.getdate(); });
}

HRESULT ClickerObject::setdate() {
    return guarded([&] { clicker_.setdate(); });
}

HRESULT ClickerObject::get_sbarcode(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.sbarcode()); });
}

HRESULT ClickerObject::get_stime(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.stime()); });
}

HRESULT ClickerObject::get_stype(VARIANT* value) {
    return guarded_out(value, [&] { give_variant(value, clicker_.stype()); });
}

}  // namespace harrowtally::windows
