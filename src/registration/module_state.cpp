#include "module_state.h"

#include <wrl/client.h>

#include "harrowtally_h.h"

namespace harrowtally::windows {
namespace {

// The type information once loaded; a failed load is tried again at the next creation.
std::atomic<ITypeInfo*> loaded_type_info{nullptr};

}  // namespace

ModuleState& module_state() {
    static ModuleState state;
    return state;
}

std::wstring module_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module_state().module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT clicker_type_info(ITypeInfo** info) {
    Microsoft::WRL::ComPtr<ITypeInfo> result = loaded_type_info.load();
    if (!result) {
        Microsoft::WRL::ComPtr<ITypeLib> library;
        HRESULT hr = LoadTypeLibEx(module_path().c_str(), REGKIND_NONE, library.GetAddressOf());
        if (FAILED(hr)) return hr;
        hr = library->GetTypeInfoOfGuid(IID__Clicker, result.GetAddressOf());
        if (FAILED(hr)) return hr;
        // Two threads may load at once: the first to store keeps its copy, the other uses that one.
        ITypeInfo* expected = nullptr;
        if (loaded_type_info.compare_exchange_strong(expected, result.Get())) {
            result->AddRef();  // the reference held by loaded_type_info
        } else {
            result = expected;
        }
    }
    *info = result.Detach();
    return S_OK;
}

void release_type_info() {
    // Taken over by a ComPtr, which gives the reference back as it goes.
    Microsoft::WRL::ComPtr<ITypeInfo> held;
    *held.GetAddressOf() = loaded_type_info.exchange(nullptr);
}

}  // namespace harrowtally::windows
