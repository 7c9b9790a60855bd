#include "com/registration_table.h"

#include <algorithm>

namespace harrowtally::com {

std::vector<RegistryEntry> registration_table(std::u16string_view module_path, Bitness bitness, Scope scope) {
    const std::u16string path(module_path);
    const std::u16string folder = path.substr(0, path.find_last_of(u'\\') + 1);
    const std::u16string clsid = u"CLSID\\" + std::u16string(class_id);
    const std::u16string library = u"TypeLib\\" + std::u16string(library_id) + u"\\1.0";
    const std::u16string interface_key = u"Interface\\" + std::u16string(interface_id);
    const std::u16string platform = bitness == Bitness::x64 ? u"win64" : u"win32";
    constexpr char16_t class_name[] = u"Harrowtally Clicker";
    // The automation marshaler, which carries _Clicker across apartments and processes by its type library.
    constexpr char16_t automation_marshaler[] = u"{00020424-0000-0000-C000-000000000046}";
    const bool surrogate = bitness == Bitness::x86 && scope == Scope::machine;
    constexpr Ownership own = Ownership::own, shared = Ownership::shared;

    std::vector<RegistryEntry> table = {
        {clsid, u"", class_name, own},
        {clsid + u"\\InprocServer32", u"", path, own},
        {clsid + u"\\InprocServer32", u"ThreadingModel", u"Apartment", own},
        {clsid + u"\\ProgID", u"", prog_id, own},
        {clsid + u"\\TypeLib", u"", library_id, own},
        {clsid + u"\\Version", u"", u"1.0", own},
        {prog_id, u"", class_name, shared},
        {std::u16string(prog_id) + u"\\CLSID", u"", class_id, shared},
        {library, u"", u"Harrowtally", shared},
        {library + u"\\FLAGS", u"", u"0", shared},
        {library + u"\\HELPDIR", u"", folder, shared},
        // The library's own locale, and the neutral one under which the marshaler looks it up.
        {library + u"\\409\\" + platform, u"", path, own},
        {library + u"\\0\\" + platform, u"", path, own},
        {interface_key, u"", u"_Clicker", shared},
        {interface_key + u"\\ProxyStubClsid", u"", automation_marshaler, shared},
        {interface_key + u"\\ProxyStubClsid32", u"", automation_marshaler, shared},
        {interface_key + u"\\TypeLib", u"", library_id, shared},
        {interface_key + u"\\TypeLib", u"Version", u"1.0", shared},
    };
    if (surrogate) {
        const std::u16string app_id = u"AppID\\" + std::u16string(class_id);
        table.insert(table.begin() + 1, {clsid, u"AppID", class_id, own});
        table.push_back({app_id, u"", class_name, own});
        table.push_back({app_id, u"DllSurrogate", u"", own});
    }
    return table;
}

std::vector<std::u16string> keys_deepest_first(const std::vector<RegistryEntry>& table) {
    std::vector<std::u16string> keys;
    for (const RegistryEntry& entry : table) {
        if (std::find(keys.begin(), keys.end(), entry.key) == keys.end()) keys.push_back(entry.key);
    }
    const auto depth = [](const std::u16string& key) { return std::count(key.begin(), key.end(), u'\\'); };
    std::stable_sort(keys.begin(), keys.end(),
                     [&](const std::u16string& a, const std::u16string& b) { return depth(a) > depth(b); });
    return keys;
}

}  // namespace harrowtally::com
