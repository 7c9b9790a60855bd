// The UTF-8 <-> UTF-16 codec: ill-formed input under both policies, and the edges of each
// sequence length in both directions.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "common/text.h"

namespace harrowtally {
namespace {

struct MalformedCase {
    const char* name;
    std::string utf8;
    std::u16string replaced;  // what the replacing decoder reads
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
    *os << c.name;
}

class MalformedUtf8 : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedUtf8, CostsOneReplacementPerMaximalSubpartAndIsRefusedStrictly) {
    EXPECT_EQ(from_utf8(GetParam().utf8), GetParam().replaced);
    EXPECT_EQ(from_utf8_strictly(GetParam().utf8), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedUtf8,
    ::testing::Values(MalformedCase{"latin1_byte_keeps_the_ascii_after_it", "caf\xE9 au lait", u"caf\uFFFD au lait"},
                      MalformedCase{"lone_continuation", "a\x80z", u"a\uFFFDz"},
                      MalformedCase{"continuations_each_count", "\x80\xBF\x80", u"\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"two_cut_at_end", "a\xC3", u"a\uFFFD"},
                      MalformedCase{"three_cut_at_end", "a\xE2\x82", u"a\uFFFD"},
                      MalformedCase{"four_cut_at_end", "a\xF0\x9F\x98", u"a\uFFFD"},
                      MalformedCase{"two_cut_by_ascii", "\xC3z", u"\uFFFDz"},
                      MalformedCase{"three_cut_by_ascii", "\xE2\x82z", u"\uFFFDz"},
                      MalformedCase{"four_cut_by_ascii", "\xF0\x9F\x98z", u"\uFFFDz"},
                      MalformedCase{"cut_by_a_lead", "\xE2\x82\xC3\xA9", u"\uFFFD\u00E9"},
                      MalformedCase{"overlong_two", "\xC0\x80", u"\uFFFD\uFFFD"},
                      MalformedCase{"overlong_two_c1", "\xC1\xBF", u"\uFFFD\uFFFD"},
                      MalformedCase{"overlong_three", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"overlong_four", "\xF0\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"high_surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"low_surrogate", "\xED\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"above_10ffff", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"f5_lead", "\xF5\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"f5_to_ff", "\xF5\xF8\xFC\xFE\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"mixed_subparts",
                                    "a\xF1\x80\x80\xE1\x80\xC2"
                                    "b\x80"
                                    "c\x80\xBF"
                                    "d",
                                    u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"}),
    [](const auto& info) { return std::string(info.param.name); });

// One character at each edge of the sequence lengths and around the surrogates, between two
// brackets so that a wrong length shows in what follows.
struct EdgeCase {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class Utf8Edge : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(Utf8Edge, ReadsAndWritesTheSameUnderBothPolicies) {
    const std::string utf8 = "<" + GetParam().utf8 + ">";
    const std::u16string utf16 = u"<" + GetParam().utf16 + u">";
    EXPECT_EQ(from_utf8(utf8), utf16);
    EXPECT_EQ(from_utf8_strictly(utf8), utf16);
    EXPECT_EQ(to_utf8(utf16), utf8);
    EXPECT_EQ(to_utf8_strictly(utf16), utf8);
    EXPECT_EQ(unicode::utf8_cut_short(utf8.substr(0, utf8.size() - 1)), 0u);
    EXPECT_EQ(unicode::utf8_cut_short(utf8.substr(0, utf8.size() - 2)), GetParam().utf8.size() - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Edge,
    ::testing::Values(EdgeCase{"u007f", "\x7F", u"\u007F"}, EdgeCase{"u0080", "\xC2\x80", u"\u0080"},
                      EdgeCase{"u07ff", "\xDF\xBF", u"\u07FF"}, EdgeCase{"u0800", "\xE0\xA0\x80", u"\u0800"},
                      EdgeCase{"ud7ff", "\xED\x9F\xBF", u"\uD7FF"}, EdgeCase{"ue000", "\xEE\x80\x80", u"\uE000"},
                      EdgeCase{"uffff", "\xEF\xBF\xBF", u"\uFFFF"},
                      EdgeCase{"u10000", "\xF0\x90\x80\x80", u"\U00010000"},
                      EdgeCase{"u10ffff", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf16ToUtf8, UnpairedSurrogatesAreReplacedOrRefused) {
    struct Case {
        std::u16string utf16;
        std::string replaced;
    };
    const Case cases[] = {
        {std::u16string(1, char16_t(0xD800)), "\xEF\xBF\xBD"},
        {std::u16string(1, char16_t(0xDBFF)) + u"z", "\xEF\xBF\xBDz"},
        {u"a" + std::u16string(1, char16_t(0xDC00)), "a\xEF\xBF\xBD"},
        // A low before a high pairs with neither; a high before a high leaves the first alone.
        {std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::u16string{char16_t(0xD800), char16_t(0xD83D), char16_t(0xDE00)}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(to_utf8(c.utf16), c.replaced) << c.replaced;
        EXPECT_EQ(to_utf8_strictly(c.utf16), std::nullopt) << c.replaced;
    }
}

// Every scalar value is written in the shortest form and reads back as itself, by both policies.
TEST(UnicodeScalars, EveryOneRoundTrips) {
    std::size_t failures = 0;
    for (char32_t c = 0; c <= 0x10FFFF && failures < 5; ++c) {
        if (unicode::is_surrogate(c)) continue;
        std::u16string utf16;
        unicode::append_utf16(utf16, c);
        std::string utf8;
        unicode::append_utf8(utf8, c);
        const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        const unicode::Decoded decoded = unicode::decode_utf8(utf8);
        const bool ok = utf8.size() == length && utf16.size() == (c < 0x10000 ? 1u : 2u) && decoded.valid &&
                        decoded.code_point == c && decoded.length == length && to_utf8(utf16) == utf8 &&
                        from_utf8_strictly(utf8) == utf16;
        if (!ok) ++failures;
        EXPECT_TRUE(ok) << "U+" << std::hex << static_cast<unsigned long>(c);
    }
}

TEST(Utf8CutShort, OnlyASequenceThatCouldStillBeWellFormedIsHeldBack) {
    struct Case {
        std::string utf8;
        std::size_t held;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 0},
        {"a\xC3", 1},
        {"a\xE2\x82", 2},
        {"a\xF0\x9F\x98", 3},
        {"\xF0\x9F\x98\x80", 0},
        {"\x80\x80\x80", 0},
        {"\xC0", 0},      // only overlong forms start with it
        {"\xE0\x80", 0},  // overlong already
        {"\xED\xA0", 0},  // a surrogate already
        {"\xF4\x90", 0},  // past U+10FFFF already
        {"\xFF", 0},
        {"\xE2\x82\xE2", 1},  // only the last one is cut short
    };
    for (const Case& c : cases) EXPECT_EQ(unicode::utf8_cut_short(c.utf8), c.held) << testing::PrintToString(c.utf8);
}

}  // namespace
}  // namespace harrowtally
