#include "host/member_table.h"

#include "common/conversions.h"
#include "common/runtime_error.h"
#include "host/ascii_case.h"

namespace harrowtally::host {
namespace {

// Arguments are coerced to the parameter's type as a dispatch layer does: a Null cannot become a
// number or a text (13), other values convert as the runtime converts them (13, 6).
std::int16_t integer_argument(const Variant& v) {
    if (v.is_null()) throw RuntimeError(err::type_mismatch);
    return to_integer(v);
}

std::u16string text_argument(const Variant& v) {
    if (v.is_null()) throw RuntimeError(err::type_mismatch);
    return to_text(v);
}

Variant boolean(bool b) {
    return Variant::boolean(b);
}

// clang-format off
constexpr Member kMembers[] = {
    {"startport",
     [](Clicker& c) { return c.startport(); },
     [](Clicker& c, const Variant& v) { c.let_startport(v); }, nullptr},
    {"get_barcode",
     [](Clicker& c) { return Variant::integer(c.get_barcode()); },
     [](Clicker& c, const Variant& v) { c.let_get_barcode(integer_argument(v)); }, nullptr},
    {"open_clicker", nullptr, nullptr, [](Clicker& c) { c.open_clicker(); }},
    {"close_clicker", nullptr, nullptr, [](Clicker& c) { c.close_clicker(); }},
    {"serial", [](Clicker& c) { return c.serial(); }, nullptr, nullptr},
    {"log", [](Clicker& c) { return c.log(); }, nullptr, nullptr},
    {"lastport", nullptr, [](Clicker& c, const Variant& v) { c.lastport(v); }, nullptr},
    {"newparams", nullptr, [](Clicker& c, const Variant& v) { c.newparams(v); }, nullptr},
    {"cur_clicker_params", nullptr, [](Clicker& c, const Variant& v) { c.cur_clicker_params(v); }, nullptr},
    {"pnewdatetime", nullptr, [](Clicker& c, const Variant& v) { c.pnewdatetime(text_argument(v)); }, nullptr},
    {"alldata", [](Clicker& c) { return c.alldata(); }, nullptr, nullptr},
    {"comport", [](Clicker& c) { return Variant::integer(c.comport()); }, nullptr, nullptr},
    {"num_barcodes", [](Clicker& c) { return Variant::integer(c.num_barcodes()); }, nullptr, nullptr},
    {"hello", [](Clicker& c) { return Variant::string(c.hello()); }, nullptr, nullptr},
    {"num_files", [](Clicker& c) { return Variant::integer(c.num_files()); }, nullptr, nullptr},
    {"open_ok", [](Clicker& c) { return boolean(c.open_ok()); }, nullptr, nullptr},
    {"empty_ok", [](Clicker& c) { return boolean(c.empty_ok()); }, nullptr, nullptr},
    {"EmptyScanner", nullptr, nullptr, [](Clicker& c) { c.EmptyScanner(); }},
    {"reset_params", nullptr, nullptr, [](Clicker& c) { c.reset_params(); }},
    {"showparams", [](Clicker& c) { return c.showparams(); }, nullptr, nullptr},
    {"SwVersion", [](Clicker& c) { return c.SwVersion(); }, nullptr, nullptr},
    {"getdate", nullptr, nullptr, [](Clicker& c) { c.getdate(); }},
    {"setdate", nullptr, nullptr, [](Clicker& c) { c.setdate(); }},
    {"sbarcode", [](Clicker& c) { return c.sbarcode(); }, nullptr, nullptr},
    {"stime", [](Clicker& c) { return c.stime(); }, nullptr, nullptr},
    {"stype", [](Clicker& c) { return c.stype(); }, nullptr, nullptr},
};
// clang-format on

}  // namespace

std::span<const Member> members() {
    return kMembers;
}

const Member* find_member(std::string_view name) {
    for (const auto& member : kMembers) {
        if (equals_ignoring_case(member.name, name)) return &member;
    }
    return nullptr;
}

}  // namespace harrowtally::host
