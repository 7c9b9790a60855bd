#pragma once
// Process-wide state of the component: the module handle, the object and lock counts that decide
// DllCanUnloadNow, and the type information that IDispatch is implemented through.
#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <string>

namespace harrowtally::windows {

struct ModuleState {
    HMODULE module = nullptr;
    std::atomic<long> objects{0};
    std::atomic<long> locks{0};
};

ModuleState& module_state();

// Full path of Harrowtally.dll.
std::wstring module_path();

// The type information of _Clicker from the type library inside the module, loaded at the first
// use and kept until the module is unloaded. Returns the HRESULT of the load.
HRESULT clicker_type_info(ITypeInfo** info);

// Gives back the loaded type information; called when the module is unloaded.
void release_type_info();

}  // namespace harrowtally::windows
