// Exits with status 1, as the command line does when a step failed; with an argument it first
// loses a block of memory, which a leak checker reports at exit.
#include <cstdlib>

namespace {
void* volatile lost = nullptr;
}  // namespace

int main(int argc, char**) {
    if (argc > 1) {
        lost = std::malloc(64);
        lost = nullptr;
    }
    return 1;
}
