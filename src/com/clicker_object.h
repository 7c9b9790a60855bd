#pragma once
// The COM object behind Harrowtally.Clicker: the vtable of the dual interface _Clicker over the core
// Clicker, IDispatch through the type library, and ISupportErrorInfo. Every method converts the
// host's values at the edge and turns a core runtime error into its HRESULT and IErrorInfo; no C++
// exception leaves a method.
#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include <atomic>

#include "clicker/clicker.h"
#include "com/module_state.h"
#include "com/platform_conversions.h"
#include "common/services.h"
#include "harrowtally_h.h"

namespace harrowtally::com {

struct FastMember;

class ClickerObject final : public _Clicker, public ISupportErrorInfo {
public:
    // An object over the process's shared scanner library, clock, pause and data-folder listing.
    explicit ClickerObject(ITypeInfo* type_info);
    // An object over the given services, which must outlive it; it converts the host's values with
    // its own platform conversions whatever the services name. Only C++ code linked with this
    // class can make one; the class factory always uses the shared services.
    ClickerObject(ITypeInfo* type_info, const ScannerServices& services);
    ClickerObject(const ClickerObject&) = delete;
    ClickerObject& operator=(const ClickerObject&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* bad_argument) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // _Clicker, in slot order
    HRESULT STDMETHODCALLTYPE get_startport(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_startport(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_startport(VARIANT value) override;
    HRESULT STDMETHODCALLTYPE get_get_barcode(short* value) override;
    HRESULT STDMETHODCALLTYPE put_get_barcode(short value) override;
    HRESULT STDMETHODCALLTYPE open_clicker() override;
    HRESULT STDMETHODCALLTYPE close_clicker() override;
    HRESULT STDMETHODCALLTYPE get_serial(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_log(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE put_lastport(VARIANT* pt) override;
    HRESULT STDMETHODCALLTYPE put_newparams(VARIANT* nparams) override;
    HRESULT STDMETHODCALLTYPE put_cur_clicker_params(VARIANT* sparams) override;
    HRESULT STDMETHODCALLTYPE put_pnewdatetime(BSTR* newdt) override;
    HRESULT STDMETHODCALLTYPE get_alldata(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_comport(short* value) override;
    HRESULT STDMETHODCALLTYPE get_num_barcodes(short* value) override;
    HRESULT STDMETHODCALLTYPE get_hello(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_num_files(short* value) override;
    HRESULT STDMETHODCALLTYPE get_open_ok(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_empty_ok(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE EmptyScanner() override;
    HRESULT STDMETHODCALLTYPE reset_params() override;
    HRESULT STDMETHODCALLTYPE get_showparams(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_SwVersion(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE getdate() override;
    HRESULT STDMETHODCALLTYPE setdate() override;
    HRESULT STDMETHODCALLTYPE get_sbarcode(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_stime(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE get_stype(VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE EmptyScannerIf(VARIANT count, VARIANT serial, VARIANT_BOOL* erased) override;

private:
    ~ClickerObject();
    HRESULT invoke_fast(const FastMember& member, const VARIANTARG* arguments, VARIANT* result, EXCEPINFO* exception);
    HRESULT put_by_reference(DISPID id, const VARIANT& argument, EXCEPINFO* exception, UINT* bad_argument);

    ObjectCount counted_;
    std::atomic<ULONG> references_{1};
    Microsoft::WRL::ComPtr<ITypeInfo> type_info_;
    // The object's own, so that Invoke can set the locale of each call for this object alone.
    PlatformConversions conversions_;
    Clicker clicker_;
};

// Sets the thread's IErrorInfo for a runtime error of the core and returns its HRESULT
// (0x800A0000 + number).
HRESULT report_runtime_error(int number) noexcept;

// Frees what the objects share, the loaded scanner library among it, while no object exists; the
// next object creates them again. Called when the module may unload, never from DllMain.
void release_shared_services();

}  // namespace harrowtally::com
