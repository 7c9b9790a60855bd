#include "host/text/terminal_text.h"

#include <gtest/gtest.h>

#include "host/words/words.h"

namespace harrowtally::host {
namespace {

struct EscapeCase {
    std::u16string text;
    Escapes escapes;
    std::string shown;
};

TEST(TerminalText, EscapesWhatATerminalWouldActOnOrCannotShow) {
    const Escapes utf8{}, ascii{.ascii_only = true}, typed{.backslash = true};
    const std::vector<EscapeCase> cases = {
        {u"4006381333931", utf8, "4006381333931"},
        {u"C:\\TMP", utf8, "C:\\TMP"},
        {u"C:\\TMP", typed, "C:\\x5CTMP"},
        {u"\x1B[2J\x07", utf8, "\\x1B[2J\\x07"},
        {u"a\x7F"
         u"b",
         utf8, "a\\x7Fb"},
        {u"\x9D"
         u"0;title\x9C",
         utf8, "\\x9D0;title\\x9C"},
        {u"\x90q\x85\xA0", utf8, "\\x90q\\x85\xC2\xA0"},
        {u"\u00E9\u20AC", utf8, "\xC3\xA9\xE2\x82\xAC"},
        // An ASCII terminal: the byte the scanner sent for each character.
        {u"\u00E9\u20AC\u0178", ascii, "\\xE9\\x80\\x9F"},
        // Characters no scanner byte stands for.
        {u"\u4E2D", ascii, "\\u4E2D"},
        {u"\U0001F600", utf8, "\xF0\x9F\x98\x80"},
        {u"\U0001F600", ascii, "\\uD83D\\uDE00"},
        {std::u16string(1, char16_t(0xD800)) + u"x", utf8, "\\uD800x"},
        {std::u16string(1, char16_t(0xDC00)), utf8, "\\uDC00"},
        {std::u16string(2, u'\0'), utf8, "\\x00\\x00"},
    };
    for (const auto& c : cases) EXPECT_EQ(terminal_text(c.text, c.escapes), c.shown) << c.shown;
}

TEST(DurationWords, LeavesOutZeroParts) {
    const std::vector<std::pair<std::int64_t, std::string>> cases = {
        {0, "0 seconds"},
        {1, "1 second"},
        {-45, "45 seconds"},
        {60, "1 minute"},
        {3601, "1 hour 1 second"},
        {90061, "1 day 1 hour 1 minute 1 second"},
        {849957000, "9837 days 11 hours 10 minutes"},
    };
    for (const auto& [seconds, words] : cases) EXPECT_EQ(duration_words(seconds), words) << seconds;
}

}  // namespace
}  // namespace harrowtally::host
