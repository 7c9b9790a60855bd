#pragma once
// Process-wide state of the component: the module handle, the object and lock counts that decide
// DllCanUnloadNow, and the type information that IDispatch is implemented through.
#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <string>

namespace harrowtally::com {

struct DispatchTable;

struct ModuleState {
    HMODULE module = nullptr;
    // Held while an object is made and while DllCanUnloadNow decides and gives back what objects
    // share, so that neither happens in the middle of the other.
    SRWLOCK lifetime = SRWLOCK_INIT;
    std::atomic<long> objects{0};
    std::atomic<long> locks{0};         // references to the class factory
    std::atomic<long> server_locks{0};  // IClassFactory::LockServer's
};

ModuleState& module_state();

// Holds the module's lifetime lock for a scope.
class LifetimeLock {
public:
    LifetimeLock() { AcquireSRWLockExclusive(&module_state().lifetime); }
    ~LifetimeLock() { ReleaseSRWLockExclusive(&module_state().lifetime); }
    LifetimeLock(const LifetimeLock&) = delete;
    LifetimeLock& operator=(const LifetimeLock&) = delete;
};

// Counts one object for DllCanUnloadNow while it lives. Declared as an object's first member, it
// counts from before the object's other members are made until after they are gone.
class ObjectCount {
public:
    ObjectCount() { ++module_state().objects; }
    ~ObjectCount() { --module_state().objects; }
    ObjectCount(const ObjectCount&) = delete;
    ObjectCount& operator=(const ObjectCount&) = delete;
};

// Full path of Harrowtally.dll.
std::wstring module_path();

// The type information of _Clicker from the type library inside the module, with the dispatch table
// built from it: loaded at the first use, published only when both are complete, and kept until the
// module is unloaded. Returns the HRESULT of the load; a failed load is tried again at the next use.
HRESULT clicker_type_info(ITypeInfo** info);

// The dispatch table of the loaded type information; nullptr before clicker_type_info has succeeded.
const DispatchTable* clicker_dispatch_table() noexcept;

// Gives back the loaded type information and its table; called when the module is unloaded.
void release_type_info();

}  // namespace harrowtally::com
