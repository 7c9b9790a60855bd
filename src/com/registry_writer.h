#pragma once
// Writes and removes the registration table's rows in the registry, for regsvr32 and DllInstall:
// machine-wide (HKLM) or for the current user (HKCU).
#include <windows.h>

#include <string>

#include "com/registration_table.h"

namespace harrowtally::com {

// Writes every row for the component at `module_path`; a row that cannot be written undoes the
// rows already written and gives SELFREG_E_CLASS.
HRESULT register_server(const std::wstring& module_path, Scope scope) noexcept;

// Removes the rows; keys that both builds use stay while the other build is registered.
HRESULT unregister_server(const std::wstring& module_path, Scope scope) noexcept;

}  // namespace harrowtally::com
