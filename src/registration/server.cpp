// The in-process server: DllMain, the class factory, DllGetClassObject and DllCanUnloadNow, and
// the registration entry points (machine-wide, or per user through DllInstall "user").
#include <oaidl.h>
#include <olectl.h>
#include <windows.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "clicker_object.h"
#include "harrowtally_h.h"
#include "module_state.h"
#include "owners.h"
#include "registration_table.h"

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
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT hr = clicker_type_info(info.GetAddressOf());
        if (FAILED(hr)) return hr;
        Microsoft::WRL::ComPtr<ClickerObject> clicker;
        try {
            // Adopts the reference the object is created with (MinGW's ComPtr::Attach would add one).
            *clicker.GetAddressOf() = new ClickerObject(info.Get());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
        return clicker->QueryInterface(riid, object);
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

using registration::Bitness;
using registration::Ownership;
using registration::RegistryEntry;
using registration::Scope;

constexpr Bitness own_bitness = sizeof(void*) == 8 ? Bitness::x64 : Bitness::x86;

std::wstring classes_key(const std::u16string& key) {
    return L"Software\\Classes\\" + std::wstring(key.begin(), key.end());
}

// The registry view of the other build on this system, when there is one: the 32-bit view for a
// 64-bit process, the 64-bit view for a 32-bit process on 64-bit Windows.
bool other_view(REGSAM& view) {
    if constexpr (own_bitness == Bitness::x64) {
        view = KEY_WOW64_32KEY;
        return true;
    } else {
        BOOL wow64 = FALSE;
        view = KEY_WOW64_64KEY;
        return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
    }
}

// Whether the other build's class is registered under the same root: then the keys both use stay.
// Where the system keeps one view for both (Wine's HKCU), the other view shows our own server.
bool other_build_registered(HKEY root) {
    REGSAM view = 0;
    if (!other_view(view)) return false;
    const std::wstring server = classes_key(u"CLSID\\" + std::u16string(registration::class_id) + u"\\InprocServer32");
    RegistryKey key;
    if (RegOpenKeyExW(root, server.c_str(), 0, KEY_QUERY_VALUE | view, key.out()) != ERROR_SUCCESS) return false;
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS) {
        return true;
    }
    return lstrcmpiW(path, module_path().c_str()) != 0;
}

// The registry views a row is removed from: its build's own, and for the keys both builds use also
// the other build's, where the system has one (there they stay from the other build, once
// unregistered, while this one was registered). Rows are written to the build's own view only,
// as an installer of that bitness writes them.
std::vector<REGSAM> views_of(Ownership ownership) {
    std::vector<REGSAM> views{0};
    REGSAM other = 0;
    if (ownership == Ownership::shared && other_view(other)) views.push_back(other);
    return views;
}

LSTATUS write(HKEY root, const RegistryEntry& entry) {
    RegistryKey key;
    LSTATUS status = RegCreateKeyExW(root, classes_key(entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, key.out(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    const auto* name = reinterpret_cast<const wchar_t*>(entry.name.c_str());
    const std::size_t bytes = (entry.value.size() + 1) * sizeof(char16_t);  // with the terminating null
    return RegSetValueExW(key.get(), entry.name.empty() ? nullptr : name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(entry.value.c_str()), static_cast<DWORD>(bytes));
}

// Removes a key that holds neither keys nor values: a folder the table's keys left behind.
bool remove_if_empty(HKEY root, const std::wstring& path, REGSAM view) {
    RegistryKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.out()) != ERROR_SUCCESS) return false;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || values != 0) {
        return false;
    }
    key.reset();
    return RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS;
}

// Deletes the keys the table names (a key that others gave subkeys of their own stays), and the
// emptied folders above them up to the top-level ones ("CLSID", "TypeLib"...). Keys both builds use
// stay while the other build is registered. A key that is not there is nothing to undo.
void remove(HKEY root, const std::vector<RegistryEntry>& table) {
    const bool keep_shared = other_build_registered(root);
    for (const std::u16string& key : registration::keys_deepest_first(table)) {
        const auto entry =
            std::find_if(table.begin(), table.end(), [&](const RegistryEntry& e) { return e.key == key; });
        if (keep_shared && entry->ownership == Ownership::shared) continue;
        for (const REGSAM view : views_of(entry->ownership)) {
            RegDeleteKeyExW(root, classes_key(key).c_str(), view, 0);
            for (auto slash = key.find_last_of(u'\\'); slash != std::u16string::npos && key.find(u'\\') < slash;
                 slash = key.find_last_of(u'\\', slash - 1)) {
                if (!remove_if_empty(root, classes_key(key.substr(0, slash)), view)) break;
            }
        }
    }
}

std::vector<RegistryEntry> table_for(Scope scope) {
    const std::wstring path = module_path();
    return registration::registration_table(std::u16string(path.begin(), path.end()), own_bitness, scope);
}

HKEY root_of(Scope scope) {
    return scope == Scope::machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HRESULT register_server(Scope scope) noexcept {
    try {
        if (module_path().empty()) return SELFREG_E_CLASS;
        const std::vector<RegistryEntry> table = table_for(scope);
        for (const RegistryEntry& entry : table) {
            if (write(root_of(scope), entry) != ERROR_SUCCESS) {
                remove(root_of(scope), table);
                return SELFREG_E_CLASS;
            }
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT unregister_server(Scope scope) noexcept {
    try {
        remove(root_of(scope), table_for(scope));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace
}  // namespace harrowtally::windows

using harrowtally::windows::module_state;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        module_state().module = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary (at process exit the platform's modules may be gone already).
        harrowtally::windows::release_type_info();
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
    return harrowtally::windows::register_server(harrowtally::registration::Scope::machine);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return harrowtally::windows::unregister_server(harrowtally::registration::Scope::machine);
}

// regsvr32 /n /i:user registers for the current user alone (HKCU\Software\Classes), and /n /i (no
// text) for the machine; any other text is refused rather than taken for the machine.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command_line) {
    using harrowtally::registration::Scope;
    Scope scope = Scope::machine;
    if (command_line != nullptr && *command_line != L'\0') {
        if (lstrcmpiW(command_line, L"user") != 0) return E_INVALIDARG;
        scope = Scope::user;
    }
    return install ? harrowtally::windows::register_server(scope) : harrowtally::windows::unregister_server(scope);
}

}  // extern "C"
