#pragma once
// The report of a Wine test program: one PASS or FAIL line per check, labelled with the
// architecture (HARROWTALLY_ARCH) and the program's group, and a summary line; tests/wine/run
// counts them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace wine_test {

class Report {
public:
    explicit Report(const char* group) : group_(group) {
        if (const char* a = std::getenv("HARROWTALLY_ARCH")) arch_ = a;
    }

    void check(bool ok, const std::string& name, const std::string& detail = {}) {
        std::printf("%s %s %s: %s%s%s\n", ok ? "PASS" : "FAIL", arch_.c_str(), group_, name.c_str(),
                    ok || detail.empty() ? "" : " -- ", ok ? "" : detail.c_str());
        std::fflush(stdout);
        ++(ok ? passed_ : failed_);
    }

    // Prints the summary under `label` and gives the program's exit status.
    int finish(const char* label) const {
        std::printf("%s: %d passed, %d failed\n", label, passed_, failed_);
        return failed_ == 0 ? 0 : 1;
    }

    const std::string& arch() const { return arch_; }

private:
    const char* group_;
    std::string arch_ = "?";
    int passed_ = 0, failed_ = 0;
};

// Every heap of the process is intact: the C runtime allocates from a heap of its own, not the
// process heap, so a write into a freed object shows only there (WINEDEBUG=warn+heap fills freed
// blocks and checks them).
inline bool heaps_valid() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    if (count == 0 || count > 256) return false;
    for (DWORD i = 0; i < count; ++i) {
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    }
    return true;
}

inline std::string hex(long code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lx", static_cast<unsigned long>(code));
    return buf;
}

}  // namespace wine_test
