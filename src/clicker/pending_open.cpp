// Members not built yet: they fail as an unsupported member until their own file replaces this one.
#include "clicker/clicker.h"
#include "common/runtime_error.h"

namespace harrowtally {
void Clicker::open_clicker() {
    throw RuntimeError(err::no_such_member);
}
void Clicker::close_clicker() {
    throw RuntimeError(err::no_such_member);
}
}  // namespace harrowtally
