// Creation and the simple accessors of the Clicker.
#include "clicker/clicker.h"

#include "common/conversions.h"

namespace harrowtally {

Clicker::Clicker(const ScannerServices& services) : services_(services) {}

void Clicker::let_startport(const Variant& value) {
    startport_ = value;
}

void Clicker::set_startport(const Variant& object_reference) {
    startport_ = object_reference;
}

Variant Clicker::serial() const {
    return Variant::string(serial_text_);
}

Variant Clicker::log() const {
    return Variant::string(log_text_);
}

void Clicker::lastport(const Variant& pt) {
    startport_ = pt;
}

void Clicker::newparams(const Variant& nparams) {
    newparams_text_ = to_text(nparams, services_.number_format);
}

void Clicker::cur_clicker_params(const Variant& sparams) {
    cur_params_text_ = to_text(sparams, services_.number_format);
}

void Clicker::pnewdatetime(const std::u16string& newdt) {
    newdatetime_text_ = newdt;
}

std::u16string Clicker::hello() const {
    return u"Clicker control successfully installed";
}

}  // namespace harrowtally
