#pragma once
// Where a loaded module's file is: the component's registration and its search for the scanner
// library both start from it.
#include <windows.h>

#include <string>

namespace harrowtally::windows {

// The full path of a loaded module's file (empty when the system cannot tell).
std::wstring module_file(HMODULE module);

// The folder of the module that contains this code, with a trailing backslash.
std::wstring own_module_folder();

}  // namespace harrowtally::windows
