#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/text.h"
#include "params/parameter_texts.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

using Entries = std::vector<ParameterEntry>;

TEST(ParameterSetText, EntryFieldsByLeadingNumberReading) {
    struct Case {
        std::u16string text;
        int k;
        ParameterEntry expected;
    };
    const std::vector<Case> cases = {
        {u"0205011200", 1, {5, 1}}, {u"0205011200", 2, {12, 0}},
        {u"0107 9", 1, {7, 9}},     // "07" and "7 " name the same parameter
        {u"01 7  ", 1, {7, 0}},     // a field of two blanks reads as 0
        {u"015a3b", 1, {5, 3}},     // reading stops at the letter
        {u"01xx99", 1, {0, 99}},    // a field without a number reads as 0
        {u"01.51.", 1, {0, 1}},     // halves to even: .5 gives 0
        {u"01-5-3", 1, {-5, -3}},   // signs are read; the check decides about them
        {u"01&H&O", 1, {0, 0}},     // a radix prefix without digits is no number
        {u"0105", 1, {5, 0}},       // the value lies beyond the end
        {u"01059", 1, {5, 9}},      // a value cut short
        {u"02050112", 2, {12, 0}},  // the second value is missing
        {u"020501", 2, {0, 0}},     // a whole entry beyond the end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read_set_entry(c.text, c.k), c.expected) << to_utf8(c.text) << " entry " << c.k;
    }
}

TEST(ParameterSetText, CheckAcceptsOnlySetsThatCanBeAppliedWhole) {
    struct Case {
        std::u16string text;
        int error;  // 0: accepted
        Entries expected;
    };
    const std::vector<Case> cases = {
        {u"", 13, {}},
        {u"x", 13, {}},
        {u"ab0501", 13, {}},
        {u" .0501", 13, {}},
        {u"1e0501", 13, {}},
        {u"&H0501", 13, {}},
        {u"00", 0, {}},
        {u"0", 0, {}},
        {u"00junk", 0, {}},
        {u"-1", 0, {}},
        {u"010501", 0, {{5, 1}}},
        {u"0205011200", 0, {{5, 1}, {12, 0}}},
        {u"0105017", 0, {{5, 1}}},  // characters after the last entry are ignored
        {u" 10507", 0, {{5, 7}}},   // a blank before the count
        {u"1 0507", 0, {{5, 7}}},
        {u"1.0507", 0, {{5, 7}}},
        {u".50507", 0, {}},         // count .5 rounds to 0
        {u"01-905", 0, {{-9, 5}}},  // the number passes through as read
        {u"010599", 0, {{5, 99}}},
        {u"02050112", 5, {}},  // count beyond the complete entries
        {u"0105", 5, {}},
        {u"010501 ", 0, {{5, 1}}},
        {u"0105-5", 5, {}},     // negative value
        {u"0205011-1", 5, {}},  // the bad value is in the last entry
        {u"02 5 1 7-1", 5, {}},
    };
    for (const auto& c : cases) {
        Entries got;
        const int e = error_of([&] { got = checked_parameter_set(c.text); });
        EXPECT_EQ(e, c.error) << to_utf8(c.text);
        if (e == 0) {
            EXPECT_EQ(got, c.expected) << to_utf8(c.text);
        }
    }
}

TEST(ParameterSetText, CountUsesTheLocaleDecimalSeparator) {
    const NumberFormat comma{u',', u'.'};
    EXPECT_EQ(read_parameter_count(u"1,0507", comma), 1);
    EXPECT_EQ(error_of([&] { read_parameter_count(u"1,0507", NumberFormat{u'.', u' '}); }), 13);
}

TEST(ParameterListText, EntriesReadStrictly) {
    struct Case {
        std::u16string text;
        int k;
        int expected;  // -1000 - error number on failure
    };
    const std::vector<Case> cases = {
        {u"0205 7", 1, 5}, {u"0205 7", 2, 7}, {u"0205", 2, -1013}, {u"02x5", 1, -1013},
        {u"0105x", 1, 5},  {u"025 ", 1, 5},   {u"02-1", 1, -1},    {u"020", 1, 0},
        {u"01.5", 1, 0},   {u"011.", 1, 1},   {u"01  ", 1, -1013}, {u"01", 1, -1013},
    };
    for (const auto& c : cases) {
        int got = 0;
        const int e = error_of([&] { got = read_list_entry(c.text, c.k); });
        if (c.expected <= -1000) {
            EXPECT_EQ(e, -(c.expected + 1000)) << to_utf8(c.text) << " entry " << c.k;
        } else {
            EXPECT_EQ(e, 0) << to_utf8(c.text) << " entry " << c.k;
            EXPECT_EQ(got, c.expected) << to_utf8(c.text) << " entry " << c.k;
        }
    }
}

TEST(ParameterSetText, WellFormedSetsReadBackToTheirText) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> count_of(0, 99), field(0, 99);
    for (int round = 0; round < 300; ++round) {
        const int count = round == 0 ? 99 : count_of(random) % (round % 5 == 0 ? 100 : 8);
        char buf[8];
        std::snprintf(buf, sizeof buf, "%02d", count);
        std::string text = buf;
        Entries expected;
        for (int k = 0; k < count; ++k) {
            const int number = field(random), value = field(random);
            std::snprintf(buf, sizeof buf, "%02d%02d", number, value);
            text += buf;
            expected.push_back({static_cast<std::int16_t>(number), value});
        }
        const std::u16string wide = ascii(text);
        const Entries read = checked_parameter_set(wide);
        ASSERT_EQ(read, expected) << text;
        ASSERT_EQ(parameter_set_text(read), wide);
    }
}

// Arbitrary texts: the check either rejects with 13 or 5, or gives exactly the entries the set
// asks for, each a byte value, never more than the text holds.
TEST(ParameterSetText, CheckHoldsItsPromisesOnArbitraryTexts) {
    const std::u16string alphabet = u"0123456789 -+.,&HOeEdx\t";
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> length_of(0, 22), pick(0, alphabet.size() - 1);
    int accepted = 0, rejected = 0;
    for (int round = 0; round < 20000; ++round) {
        std::u16string text(length_of(random), u' ');
        for (auto& ch : text) ch = alphabet[pick(random)];
        Entries got;
        const int e = error_of([&] { got = checked_parameter_set(text); });
        const auto count = parse_number(parameter_count_text(text));
        if (!count) {
            ASSERT_EQ(e, 13) << to_utf8(text);
            continue;
        }
        ASSERT_TRUE(e == 0 || e == 5) << to_utf8(text) << " gave " << e;
        if (e == 5) {
            ++rejected;
            continue;
        }
        ++accepted;
        ASSERT_LE(static_cast<int>(got.size()), complete_set_entries(text)) << to_utf8(text);
        ASSERT_EQ(static_cast<long double>(got.size()), std::max<long double>(0, round_half_even(*count)))
            << to_utf8(text);
        for (std::size_t k = 0; k < got.size(); ++k) {
            ASSERT_GE(got[k].value, 0) << to_utf8(text);
            ASSERT_LE(got[k].value, 255) << to_utf8(text);
            ASSERT_EQ(got[k], read_set_entry(text, static_cast<int>(k) + 1)) << to_utf8(text);
        }
    }
    // The alphabet reaches every outcome, so none of the branches above went untried.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(rejected, 100);
}

}  // namespace
}  // namespace harrowtally::testing
