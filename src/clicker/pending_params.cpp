// Members not built yet: they fail as an unsupported member until their own files replace this one.
#include "clicker/clicker.h"
#include "common/runtime_error.h"

namespace harrowtally {
void Clicker::reset_params() {
    throw RuntimeError(err::no_such_member);
}
Variant Clicker::showparams() {
    throw RuntimeError(err::no_such_member);
}
std::int16_t Clicker::num_files() {
    throw RuntimeError(err::no_such_member);
}
Variant Clicker::SwVersion() {
    throw RuntimeError(err::no_such_member);
}
}  // namespace harrowtally
