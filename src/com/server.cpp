// The in-process server: DllMain, the class factory, DllGetClassObject and DllCanUnloadNow, and
// the registration entry points (machine-wide, or per user through DllInstall "user"), which hand
// the module's path to the registry writer.
#include <oaidl.h>
#include <olectl.h>
#include <windows.h>

#include <new>
#include <string>

#include "com/clicker_object.h"
#include "com/com_owners.h"
#include "com/module_state.h"
#include "com/registry_writer.h"
#include "harrowtally_h.h"

namespace harrowtally::com {

namespace {

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object; references to it keep the module loaded like a lock.
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++module_state().locks); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--module_state().locks); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        Microsoft::WRL::ComPtr<ClickerObject> clicker;
        {
            // The type information and the shared services are not given back while the object
            // takes them and is counted.
            const LifetimeLock making;
            Microsoft::WRL::ComPtr<ITypeInfo> info;
            const HRESULT hr = clicker_type_info(info.GetAddressOf());
            if (FAILED(hr)) return hr;
            try {
                clicker = adopt(new ClickerObject(info.Get()));
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            } catch (...) {
                return E_UNEXPECTED;
            }
        }
        return clicker->QueryInterface(riid, object);
    }

    // Counted apart from the factory's references, and never below none: an unlock too many must not
    // let the module go while a host still holds the factory.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        std::atomic<long>& locks = module_state().server_locks;
        if (lock) {
            ++locks;
            return S_OK;
        }
        long held = locks.load();
        while (held > 0 && !locks.compare_exchange_weak(held, held - 1)) {
        }
        return S_OK;
    }
};

ClassFactory factory;

}  // namespace
}  // namespace harrowtally::com

using harrowtally::com::module_state;
using harrowtally::com::ModuleState;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // Thread notifications stay on: the static C and C++ runtime frees each thread's own data
        // when the thread ends.
        module_state().module = instance;
    }
    // Nothing is freed at DLL_PROCESS_DETACH: DllCanUnloadNow has given back what the objects
    // shared before COM unloads the module, and freeing libraries or COM objects here is not safe.
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Clicker)) return CLASS_E_CLASSNOTAVAILABLE;
    return harrowtally::com::factory.QueryInterface(riid, object);
}

// A yes is followed by FreeLibrary: what the objects shared is given back first, here rather than
// in DllMain, where freeing the scanner library and the type information is not safe. Objects are
// made under the same lock, so none appears between the count and the giving back.
HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    const harrowtally::com::LifetimeLock deciding;
    const ModuleState& state = module_state();
    if (state.objects != 0 || state.locks != 0 || state.server_locks != 0) return S_FALSE;
    harrowtally::com::release_shared_services();
    harrowtally::com::release_type_info();
    return S_OK;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    return harrowtally::com::register_server(harrowtally::com::module_path(), harrowtally::com::Scope::machine);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return harrowtally::com::unregister_server(harrowtally::com::module_path(), harrowtally::com::Scope::machine);
}

// regsvr32 /n /i:user registers for the current user alone (HKCU\Software\Classes), and /n /i (no
// text) for the machine; any other text is refused rather than taken for the machine.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command_line) {
    using harrowtally::com::Scope;
    Scope scope = Scope::machine;
    if (command_line != nullptr && *command_line != L'\0') {
        if (lstrcmpiW(command_line, L"user") != 0) return E_INVALIDARG;
        scope = Scope::user;
    }
    const std::wstring path = harrowtally::com::module_path();
    return install ? harrowtally::com::register_server(path, scope) : harrowtally::com::unregister_server(path, scope);
}

}  // extern "C"
