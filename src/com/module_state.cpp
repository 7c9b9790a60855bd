#include "com/module_state.h"

#include <wrl/client.h>

#include <memory>
#include <new>

#include "com/dispatch_table.h"
#include "windows/module_file.h"

#include "harrowtally_h.h"

namespace harrowtally::com {
namespace {

// The type information and its dispatch table, built together and published as one.
struct LoadedType {
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    DispatchTable table;
};

std::atomic<LoadedType*> loaded_type{nullptr};

HRESULT load_type(std::unique_ptr<LoadedType>& loaded) noexcept {
    Microsoft::WRL::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module_path().c_str(), REGKIND_NONE, library.GetAddressOf());
    if (FAILED(hr)) return hr;
    loaded.reset(new (std::nothrow) LoadedType);
    if (!loaded) return E_OUTOFMEMORY;
    hr = library->GetTypeInfoOfGuid(IID__Clicker, loaded->info.GetAddressOf());
    if (FAILED(hr)) return hr;
    return build_dispatch_table(loaded->info.Get(), loaded->table);
}

}  // namespace

ModuleState& module_state() {
    static ModuleState state;
    return state;
}

std::wstring module_path() {
    return windows::module_file(module_state().module);
}

HRESULT clicker_type_info(ITypeInfo** info) {
    LoadedType* current = loaded_type.load();
    if (current == nullptr) {
        std::unique_ptr<LoadedType> loaded;
        if (const HRESULT hr = load_type(loaded); FAILED(hr)) return hr;
        // Two threads may load at once: the first to publish keeps its copy, the other uses that one.
        if (loaded_type.compare_exchange_strong(current, loaded.get())) current = loaded.release();
    }
    return current->info.CopyTo(info);
}

const DispatchTable* clicker_dispatch_table() noexcept {
    const LoadedType* current = loaded_type.load();
    return current == nullptr ? nullptr : &current->table;
}

void release_type_info() {
    delete loaded_type.exchange(nullptr);
}

}  // namespace harrowtally::com
