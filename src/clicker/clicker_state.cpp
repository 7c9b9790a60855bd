// Creation and the simple accessors of the Clicker.
#include "clicker/clicker.h"

#include <utility>

namespace harrowtally {

Clicker::Clicker(const ScannerServices& services) : services_(services) {}

// The old value goes only once the new one is stored whole: releasing an object the old value held
// may run the host's code, which may assign startport again.
void Clicker::store_startport(const Variant& value) {
    const Variant old = std::exchange(startport_, value);
}

void Clicker::let_startport(const Variant& value) {
    store_startport(value);
}

void Clicker::set_startport(const Variant& object_reference) {
    store_startport(object_reference);
}

Variant Clicker::serial() const {
    return Variant::string(serial_text_);
}

Variant Clicker::log() const {
    return Variant::string(log_text_);
}

void Clicker::lastport(const Variant& pt) {
    store_startport(pt);
}

void Clicker::newparams(const Variant& nparams) {
    newparams_text_ = services_.conversions->to_text(nparams);
}

void Clicker::cur_clicker_params(const Variant& sparams) {
    cur_params_text_ = services_.conversions->to_text(sparams);
}

void Clicker::pnewdatetime(const std::u16string& newdt) {
    newdatetime_text_ = newdt;
}

std::u16string_view Clicker::hello() const {
    return u"Clicker control successfully installed";
}

}  // namespace harrowtally
