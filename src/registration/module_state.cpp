#include "module_state.h"

#include "harrowtally_h.h"

namespace harrowtally::windows {

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
    // Loaded once; a failed load is tried again at the next creation.
    static ITypeInfo* loaded = nullptr;
    if (loaded == nullptr) {
        ITypeLib* library = nullptr;
        HRESULT hr = LoadTypeLibEx(module_path().c_str(), REGKIND_NONE, &library);
        if (FAILED(hr)) return hr;
        hr = library->GetTypeInfoOfGuid(IID__Clicker, &loaded);
        library->Release();
        if (FAILED(hr)) return hr;
    }
    loaded->AddRef();
    *info = loaded;
    return S_OK;
}

}  // namespace harrowtally::windows
