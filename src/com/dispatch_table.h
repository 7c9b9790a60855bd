#pragma once
// How IDispatch finds _Clicker's members: every name with its identifier, as the type library
// gives them, and the members that Invoke runs straight through the vtable.
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

#include "com/dispatch_ids.h"

namespace harrowtally::com {

class ClickerObject;

// A property get or a method that scripts call often. `call` runs it through the vtable with the
// caller's `arguments` (all `arguments` of them, positional, last first, as DISPPARAMS has them;
// a reference to a VARIANT, as scripts pass a variable, stands for its value) and leaves its value
// in `result` (empty on entry) when it succeeds.
struct FastMember {
    DISPID id;
    const wchar_t* name;
    INVOKEKIND kind;
    UINT arguments;
    HRESULT (*call)(ClickerObject& object, const VARIANTARG* arguments, VARIANT* result);
};

inline constexpr DISPID highest_dispatch_id = DISPID_CLICKER_EMPTYSCANNERIF;

struct DispatchTable {
    std::vector<std::pair<std::wstring, DISPID>> names;  // lower case
    // By identifier: the fast members that the type library confirms (same name, kind and number of
    // parameters); a member it does not confirm is left to the type library's Invoke.
    const FastMember* fast[highest_dispatch_id + 1] = {};

    // The identifier of a name as a caller spelt it (any case of its ASCII letters), or
    // DISPID_UNKNOWN: the caller then asks the type library, which also knows the restricted names.
    DISPID find(const wchar_t* spelt) const;
    const FastMember* fast_member(DISPID id) const { return id > 0 && id <= highest_dispatch_id ? fast[id] : nullptr; }
};

// Builds the table from the type information; on failure `table` is left as it was.
HRESULT build_dispatch_table(ITypeInfo* info, DispatchTable& table) noexcept;

}  // namespace harrowtally::com
