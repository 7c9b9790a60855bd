#pragma once
// Every registry value the component's registration writes, as data: regsvr32 (machine or per user)
// writes and removes exactly these, and an installer can write the same rows. No Windows header, so
// that tools on any system can read the table.
#include <string>
#include <string_view>
#include <vector>

#include "component_ids.h"

namespace harrowtally::com {

enum class Bitness { x86, x64 };
enum class Scope { machine, user };

// Who else uses a key: `own` keys belong to this build alone (its class in its registry view, its
// type library file); `shared` keys serve the 32-bit and 64-bit builds alike (the ProgID, the
// type library's version key, the interface) and stay while the other build is registered.
enum class Ownership { own, shared };

struct RegistryEntry {
    std::u16string key;    // below the classes root: HKLM or HKCU "Software\Classes"
    std::u16string name;   // empty: the key's default value
    std::u16string value;  // always a REG_SZ
    Ownership ownership;
};

inline constexpr char16_t class_id[] = u"" HARROWTALLY_CLASS_ID_TEXT;
inline constexpr char16_t library_id[] = u"" HARROWTALLY_LIBRARY_ID_TEXT;
inline constexpr char16_t interface_id[] = u"" HARROWTALLY_INTERFACE_ID_TEXT;
inline constexpr char16_t prog_id[] = u"Harrowtally.Clicker";

// The rows for the component at `module_path` (a Windows path, "C:\...\Harrowtally.dll"), keys
// written before the keys below them. The 32-bit build registered for the machine also names an
// AppID with an empty DllSurrogate, so that 64-bit hosts can use it in the system's surrogate.
std::vector<RegistryEntry> registration_table(std::u16string_view module_path, Bitness bitness, Scope scope);

// The keys named by `table` (each once), the deepest first: the order in which they are removed.
std::vector<std::u16string> keys_deepest_first(const std::vector<RegistryEntry>& table);

}  // namespace harrowtally::com
