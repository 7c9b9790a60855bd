#include "com/registry_writer.h"

#include <olectl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "windows/owners.h"

namespace harrowtally::com {
namespace {

using windows::RegistryKey;

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

// The server the class's InprocServer32 names in `view` under `root`: nullopt when the class is not
// registered there, an empty path when the key holds no readable path.
std::optional<std::wstring> registered_server(HKEY root, REGSAM view) {
    const std::wstring server = classes_key(u"CLSID\\" + std::u16string(class_id) + u"\\InprocServer32");
    RegistryKey key;
    if (RegOpenKeyExW(root, server.c_str(), 0, KEY_QUERY_VALUE | view, key.out()) != ERROR_SUCCESS) return std::nullopt;
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS) {
        return std::wstring();
    }
    return std::wstring(path);
}

// Whether the other build's class is registered under the same root: then the keys both use stay.
// Where the system keeps one view for both (Wine's HKCU), the other view shows our own server.
bool other_build_registered(HKEY root, const std::wstring& module_path) {
    REGSAM view = 0;
    if (!other_view(view)) return false;
    const std::optional<std::wstring> server = registered_server(root, view);
    return server && (server->empty() || lstrcmpiW(server->c_str(), module_path.c_str()) != 0);
}

// Whether this build's view names another copy of the module: unregistering this one then leaves
// that registration alone.
bool another_copy_registered(HKEY root, const std::wstring& module_path) {
    const std::optional<std::wstring> server = registered_server(root, 0);
    return server && !server->empty() && lstrcmpiW(server->c_str(), module_path.c_str()) != 0;
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
void remove(HKEY root, const std::vector<RegistryEntry>& table, const std::wstring& module_path) {
    const bool keep_shared = other_build_registered(root, module_path);
    for (const std::u16string& key : keys_deepest_first(table)) {
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

std::vector<RegistryEntry> table_for(const std::wstring& path, Scope scope) {
    return registration_table(std::u16string(path.begin(), path.end()), own_bitness, scope);
}

HKEY root_of(Scope scope) {
    return scope == Scope::machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

}  // namespace

HRESULT register_server(const std::wstring& module_path, Scope scope) noexcept {
    try {
        if (module_path.empty()) return SELFREG_E_CLASS;
        const std::vector<RegistryEntry> table = table_for(module_path, scope);
        for (const RegistryEntry& entry : table) {
            if (write(root_of(scope), entry) != ERROR_SUCCESS) {
                remove(root_of(scope), table, module_path);
                return SELFREG_E_CLASS;
            }
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT unregister_server(const std::wstring& module_path, Scope scope) noexcept {
    try {
        // Only a module's own registration is undone: another copy's stays creatable.
        if (another_copy_registered(root_of(scope), module_path)) return S_OK;
        remove(root_of(scope), table_for(module_path, scope), module_path);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace harrowtally::com
