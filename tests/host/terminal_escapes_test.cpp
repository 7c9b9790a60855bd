// What a terminal must not be given as it is: invisible format characters and separators in texts,
// anything in a file name, and escape sequences where the terminal cannot take them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <optional>

#include "host/platform/terminal.h"
#include "host/text/terminal_text.h"

namespace harrowtally::host {
namespace {

const Escapes kUtf8{}, kAscii{.ascii_only = true};

TEST(TerminalText, EscapesInvisibleCharactersAndSeparators) {
    const std::vector<std::pair<std::u16string, std::string>> cases = {
        {u"a\u00ADb\u061C", "a\\xADb\\u061C"},
        {u"\u200B\u200F\u202A\u202E", "\\u200B\\u200F\\u202A\\u202E"},
        {u"x\u2028y\u2029", "x\\u2028y\\u2029"},
        {u"\u2060\u2066\u206F\uFEFF\uFFF9", "\\u2060\\u2066\\u206F\\uFEFF\\uFFF9"},
        {u"\U000E0001\U000E007F", "\\uDB40\\uDC01\\uDB40\\uDC7F"},
        {u"\U0001D173", "\\uD834\\uDD73"},
        // Their neighbours are shown.
        {u"\u00AC\u00AE\u200A\u2010\u2027\u2030\u205F\uFFFC", "\u00AC\u00AE\u200A\u2010\u2027\u2030\u205F\uFFFC"},
        {u"\U0001D172\U0001D17B\U000E0100", "\U0001D172\U0001D17B\U000E0100"},
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(terminal_text(text, kUtf8), shown) << shown;
}

struct PathCase {
    std::string bytes;
    Escapes escapes;
    std::string shown;
};

TEST(TerminalPath, DecodesUtf8AndEscapesEveryOtherByte) {
    const std::vector<PathCase> cases = {
        {"/opt/ht/libcsp2a.so", kUtf8, "/opt/ht/libcsp2a.so"},
        {"/tmp/caf\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", kUtf8, "/tmp/caf\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"/tmp/\x1B[2J\x07", kUtf8, "/tmp/\\x1B[2J\\x07"},
        {"/tmp/\xFF\xFE.so", kUtf8, "/tmp/\\xFF\\xFE.so"},
        {"a\xC2\xAD"
         "b\xC2\x9B",
         kUtf8, "a\\xADb\\x9B"},
        {"\xE2\x80\x8B\xE2\x80\xAE", kUtf8, "\\u200B\\u202E"},
        {"\xF3\xA0\x80\x81", kUtf8, "\\uDB40\\uDC01"},
        // Not UTF-8: overlong forms, surrogates, beyond U+10FFFF, cut short, a stray continuation.
        {"\xC0\xAF\xE0\x80\xAF", kUtf8, "\\xC0\\xAF\\xE0\\x80\\xAF"},
        {"\xED\xA0\x80", kUtf8, "\\xED\\xA0\\x80"},
        {"\xF4\x90\x80\x80", kUtf8, "\\xF4\\x90\\x80\\x80"},
        {"ab\xE2\x82", kUtf8, "ab\\xE2\\x82"},
        {"\xE2\x82x", kUtf8, "\\xE2\\x82x"},
        {"\x80z", kUtf8, "\\x80z"},
        // An ASCII terminal: characters as terminal_text writes them.
        {"caf\xC3\xA9\xE4\xB8\xAD", kAscii, "caf\\xE9\\u4E2D"},
    };
    for (const auto& c : cases) EXPECT_EQ(terminal_path(c.bytes, c.escapes), c.shown) << c.shown;
}

// TERM for the duration of a test, restored afterwards.
class TermVariable {
public:
    explicit TermVariable(const std::optional<std::string>& value) {
        if (const char* before = std::getenv("TERM")) before_ = before;
        if (value) {
            ::setenv("TERM", value->c_str(), 1);
        } else {
            ::unsetenv("TERM");
        }
    }
    ~TermVariable() {
        if (before_) {
            ::setenv("TERM", before_->c_str(), 1);
        } else {
            ::unsetenv("TERM");
        }
    }

private:
    std::optional<std::string> before_;
};

TEST(TerminalEscapesAllowed, OnlyOnATerminalThatTakesThem) {
    int master = -1, terminal = -1;
    ASSERT_EQ(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const int file = ::open("/dev/null", O_WRONLY);
    ASSERT_GE(file, 0);
    struct Case {
        int fd;
        std::optional<std::string> term;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {terminal, "xterm-256color", true}, {terminal, "dumb", false},       {terminal, "", false},
        {terminal, std::nullopt, false},    {file, "xterm-256color", false},
    };
    for (const auto& c : cases) {
        const TermVariable term(c.term);
        EXPECT_EQ(terminal_escapes_allowed(c.fd), c.allowed) << c.fd << " " << c.term.value_or("(unset)");
    }
    for (const int fd : {master, terminal, file}) ::close(fd);
}

}  // namespace
}  // namespace harrowtally::host
