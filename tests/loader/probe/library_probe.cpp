// Loads the scanner library by its default name and search, as the component does, and prints
// what two calls of csp2Init(3) give: the result, or "error N".
#include <iostream>

#include "common/runtime_error.h"
#include "scanner/library_opener.h"
#include "scanner/loaded_csp2.h"

int main() {
    harrowtally::LoadedCSP2 library(harrowtally::platform_library_opener());
    for (int call = 0; call < 2; ++call) {
        try {
            std::cout << library.csp2Init(3) << "\n";
            library.csp2Restore();
        } catch (const harrowtally::RuntimeError& e) {
            std::cout << "error " << e.number() << "\n";
        }
    }
}
