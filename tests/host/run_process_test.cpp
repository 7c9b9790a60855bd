// Children run by the end-to-end tests: their exit status as they gave it, and a sanitizer's report
// in a status of its own.
#include <gtest/gtest.h>

#include "support/run_process.h"

namespace harrowtally::testing {
namespace {

TEST(RunProcess, LeakInTheChildIsNotTakenForItsOwnExitStatus) {
    const auto clean = run_process({EXIT_ONE});
    EXPECT_EQ(clean.exit_status, 1) << clean.err;
#if defined(__SANITIZE_ADDRESS__)
    const auto leaking = run_process({EXIT_ONE, "leak"}, {{"ASAN_OPTIONS", "detect_leaks=1"}});
    EXPECT_EQ(leaking.exit_status, kSanitizerExitStatus) << leaking.err;
    EXPECT_NE(leaking.err.find("LeakSanitizer"), std::string::npos) << leaking.err;
#else
    GTEST_SKIP() << "leaks are reported only in the sanitizer build";
#endif
}

}  // namespace
}  // namespace harrowtally::testing
