// Members not built yet: they fail as an unsupported member until their own files replace this one.
#include "clicker/clicker.h"
#include "common/runtime_error.h"

namespace harrowtally {
Variant Clicker::alldata() {
    throw RuntimeError(err::no_such_member);
}
Variant Clicker::sbarcode() const {
    throw RuntimeError(err::no_such_member);
}
Variant Clicker::stime() const {
    throw RuntimeError(err::no_such_member);
}
Variant Clicker::stype() const {
    throw RuntimeError(err::no_such_member);
}
void Clicker::getdate() {
    throw RuntimeError(err::no_such_member);
}
void Clicker::setdate() {
    throw RuntimeError(err::no_such_member);
}
void Clicker::EmptyScanner() {
    throw RuntimeError(err::no_such_member);
}
void Clicker::clear_clicker(int) {
    throw RuntimeError(err::no_such_member);
}
}  // namespace harrowtally
