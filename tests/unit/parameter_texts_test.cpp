#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "common/text.h"
#include "params/parameter_texts.h"
#include "support/parameter_set_text.h"
#include "unit/param_test_support.h"

namespace harrowtally::testing {
namespace {

using Entries = std::vector<ParameterEntry>;

TEST(ParameterSetText, CheckedSetReadsFieldsLooselyAndRefusesWhatCannotBeAppliedWhole) {
    struct Case {
        std::u16string text;
        int error;  // 0: accepted
        Entries expected;
    };
    const std::vector<Case> cases = {
        {u"", 13, {}},
        {u"ab0501", 13, {}},
        {u" .0501", 13, {}},
        {u"1e0501", 13, {}},
        {u"&H0501", 13, {}},
        {u"00junk", 0, {}},
        {u"0", 0, {}},
        {u"-1", 0, {}},
        {u".50507", 0, {}},  // the count rounds half to even
        {u"1.0507", 0, {{5, 7}}},
        {u" 10507", 0, {{5, 7}}},
        {u"0205011200", 0, {{5, 1}, {12, 0}}},
        {u"0107 9xx", 0, {{7, 9}}},  // "07" and "7 " name the same parameter; the rest is ignored
        {u"01 7  ", 0, {{7, 0}}},    // two blanks read as 0
        {u"015a3b", 0, {{5, 3}}},    // reading stops at the letter
        {u"01xx99", 0, {{0, 99}}},   // no number reads as 0
        {u"01.51.", 0, {{0, 1}}},    // .5 rounds to 0
        {u"01&H&O", 0, {{0, 0}}},    // a radix prefix without digits is no number
        {u"01-905", 0, {{-9, 5}}},   // the number passes through as read
        {u"02050112", 5, {}},        // the count exceeds the complete entries
        {u"01050", 5, {}},
        {u"0105-5", 5, {}},      // a negative value
        {u"02 5 1 7-1", 5, {}},  // ... in the last entry
    };
    for (const auto& c : cases) {
        Entries got;
        EXPECT_EQ(error_of([&] { got = checked_parameter_set(c.text); }), c.error) << to_utf8(c.text);
        EXPECT_EQ(got, c.expected) << to_utf8(c.text);
    }
}

// Random texts: a well-formed set reads back to its own text; anything else is refused with 13 or
// 5, or gives exactly the entries its count asks for, each within a byte.
TEST(ParameterSetText, ReadsBackWellFormedSetsAndKeepsItsPromisesOnAnyText) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        const int count = round == 0 ? 99 : static_cast<int>(random() % 8);
        char head[8];
        std::snprintf(head, sizeof head, "%02d", count);
        std::string text = head;
        for (int k = 0; k < count; ++k) {
            char entry[8];
            std::snprintf(entry, sizeof entry, "%02u%02u", unsigned(random() % 100), unsigned(random() % 100));
            text += entry;
        }
        ASSERT_EQ(to_utf8(parameter_set_text(checked_parameter_set(ascii(text)))), text);
    }
    const std::u16string alphabet = u"0123456789 -+.,&HOex";
    int outcomes[3] = {0, 0, 0};  // accepted, 5, 13
    for (int round = 0; round < 20000; ++round) {
        std::u16string text(random() % 23, u' ');
        for (auto& ch : text) ch = alphabet[random() % alphabet.size()];
        Entries got;
        const int e = error_of([&] { got = checked_parameter_set(text); });
        const auto count = parse_number(parameter_count_text(text));
        ASSERT_EQ(e == 13, !count) << to_utf8(text);
        ++outcomes[e == 0 ? 0 : e == 5 ? 1 : 2];
        if (e != 0) continue;
        ASSERT_EQ(static_cast<long double>(got.size()), std::max<long double>(0, round_half_even(*count)));
        ASSERT_LE(static_cast<int>(got.size()), complete_set_entries(text));
        for (std::size_t k = 0; k < got.size(); ++k) {
            ASSERT_TRUE(got[k].value >= 0 && got[k].value <= 255) << to_utf8(text);
            ASSERT_EQ(got[k], read_set_entry(text, static_cast<int>(k) + 1)) << to_utf8(text);
        }
    }
    for (int n : outcomes) EXPECT_GT(n, 100);  // every branch above was reached
}

}  // namespace
}  // namespace harrowtally::testing
