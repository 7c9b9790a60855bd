// The in-process server: DllMain, the class factory, DllGetClassObject and DllCanUnloadNow, and
// the registration entry points (machine-wide, or per user through DllInstall "user").
#include <oaidl.h>
#include <olectl.h>
#include <windows.h>

#include <new>
#include <string>

#include "clicker_object.h"
#include "harrowtally_h.h"
#include "module_state.h"

namespace harrowtally::windows {

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
        ITypeInfo* info = nullptr;
        HRESULT hr = clicker_type_info(&info);
        if (FAILED(hr)) return hr;
        ClickerObject* clicker = nullptr;
        try {
            clicker = new ClickerObject(info);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        } catch (...) {
            hr = E_UNEXPECTED;
        }
        info->Release();
        if (clicker == nullptr) return hr;
        hr = clicker->QueryInterface(riid, object);
        clicker->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++module_state().locks;
        } else {
            --module_state().locks;
        }
        return S_OK;
    }
};

ClassFactory factory;

std::wstring guid_text(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

constexpr wchar_t prog_id[] = L"Harrowtally.Clicker";
constexpr wchar_t class_name[] = L"Harrowtally Clicker";

struct Scope {
    HKEY classes_root;  // HKLM or HKCU, with the "Software\Classes" below it
};

LSTATUS set_value(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                     &handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status;
}

void delete_tree(HKEY root, const std::wstring& key) {
    RegDeleteTreeW(root, key.c_str());
    RegDeleteKeyW(root, key.c_str());
}

std::wstring classes(const std::wstring& key) {
    return L"Software\\Classes\\" + key;
}

SYSKIND own_syskind() {
    return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}

HRESULT unregister(HKEY root, bool per_user) {
    const std::wstring clsid = guid_text(CLSID_Clicker);
    delete_tree(root, classes(L"CLSID\\" + clsid));
    delete_tree(root, classes(prog_id));
    // A type library that is not registered is nothing to undo, so the result is not examined.
    if (!per_user) UnRegisterTypeLib(LIBID_Harrowtally, 1, 0, 0x409, own_syskind());
    delete_tree(root, classes(L"Interface\\" + guid_text(IID__Clicker)));
    delete_tree(root, classes(L"TypeLib\\" + guid_text(LIBID_Harrowtally)));
    return S_OK;
}

// The entries RegisterTypeLib makes for our library and its dual interface, written under the
// user's classes. Written by hand because the platform's per-user call is not available everywhere
// and some implementations of it write to the machine's keys.
LSTATUS register_type_library_for_user(HKEY root, const std::wstring& path) {
    const std::wstring library = classes(L"TypeLib\\" + guid_text(LIBID_Harrowtally) + L"\\1.0");
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    const std::wstring interface_key = classes(L"Interface\\" + guid_text(IID__Clicker));
    constexpr wchar_t automation_marshaler[] = L"{00020424-0000-0000-C000-000000000046}";
    return set_value(root, library, nullptr, L"Harrowtally") |
           set_value(root, library + L"\\409\\" + (own_syskind() == SYS_WIN64 ? L"win64" : L"win32"), nullptr, path) |
           set_value(root, library + L"\\FLAGS", nullptr, L"0") |
           set_value(root, library + L"\\HELPDIR", nullptr, folder) |
           set_value(root, interface_key, nullptr, L"_Clicker") |
           set_value(root, interface_key + L"\\ProxyStubClsid", nullptr, automation_marshaler) |
           set_value(root, interface_key + L"\\ProxyStubClsid32", nullptr, automation_marshaler) |
           set_value(root, interface_key + L"\\TypeLib", nullptr, guid_text(LIBID_Harrowtally)) |
           set_value(root, interface_key + L"\\TypeLib", L"Version", L"1.0");
}

HRESULT do_register(HKEY root, bool per_user) {
    const std::wstring path = module_path();
    if (path.empty()) return SELFREG_E_CLASS;
    const std::wstring clsid = guid_text(CLSID_Clicker);
    const std::wstring clsid_key = classes(L"CLSID\\" + clsid);
    const LSTATUS failed = set_value(root, clsid_key, nullptr, class_name) |
                           set_value(root, clsid_key + L"\\InprocServer32", nullptr, path) |
                           set_value(root, clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment") |
                           set_value(root, clsid_key + L"\\ProgID", nullptr, prog_id) |
                           set_value(root, clsid_key + L"\\TypeLib", nullptr, guid_text(LIBID_Harrowtally)) |
                           set_value(root, clsid_key + L"\\Version", nullptr, L"1.0") |
                           set_value(root, classes(prog_id), nullptr, class_name) |
                           set_value(root, classes(std::wstring(prog_id) + L"\\CLSID"), nullptr, clsid);
    if (failed != ERROR_SUCCESS) {
        unregister(root, per_user);
        return SELFREG_E_CLASS;
    }
    HRESULT hr = S_OK;
    if (per_user) {
        if (register_type_library_for_user(root, path) != ERROR_SUCCESS) hr = SELFREG_E_TYPELIB;
    } else {
        ITypeLib* library = nullptr;
        hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (SUCCEEDED(hr)) {
            std::wstring writable_path = path;
            hr = RegisterTypeLib(library, writable_path.data(), nullptr);
            library->Release();
        }
    }
    if (FAILED(hr)) {
        unregister(root, per_user);
        return SELFREG_E_TYPELIB;
    }
    return S_OK;
}

}  // namespace
}  // namespace harrowtally::windows

using harrowtally::windows::module_state;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module_state().module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Clicker)) return CLASS_E_CLASSNOTAVAILABLE;
    return harrowtally::windows::factory.QueryInterface(riid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return module_state().objects == 0 && module_state().locks == 0 ? S_OK : S_FALSE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    return harrowtally::windows::do_register(HKEY_LOCAL_MACHINE, false);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return harrowtally::windows::unregister(HKEY_LOCAL_MACHINE, false);
}

// regsvr32 /n /i:user registers for the current user alone (HKCU\Software\Classes); any other
// command line registers for the machine.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command_line) {
    const bool per_user = command_line != nullptr && lstrcmpiW(command_line, L"user") == 0;
    const HKEY root = per_user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    return install ? harrowtally::windows::do_register(root, per_user)
                   : harrowtally::windows::unregister(root, per_user);
}

}  // extern "C"
