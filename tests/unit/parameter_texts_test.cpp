#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>

#include "common/text.h"
#include "params/parameter_report.h"
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

// The plain form a host checks before sending anything: a two-digit count and exactly that many
// all-digit entries, nothing around them.
TEST(ParameterSetText, PlainFormIsExactlyTheCountAndItsEntriesInDigits) {
    struct Case {
        std::u16string text;
        std::optional<Entries> set;
        std::optional<std::vector<std::int16_t>> list;
    };
    const std::vector<Case> cases = {
        {u"00", Entries{}, std::vector<std::int16_t>{}},
        {u"0205011200", Entries{{5, 1}, {12, 0}}, std::nullopt},
        {u"020731", std::nullopt, std::vector<std::int16_t>{7, 31}},
        {u"0107", std::nullopt, std::vector<std::int16_t>{7}},
        {u"01071", std::nullopt, std::nullopt},
        {u"0205011200 ", std::nullopt, std::nullopt},
        {u"02 5011200", std::nullopt, std::nullopt},
        {u" 2050112", std::nullopt, std::nullopt},
        {u"0105+1", std::nullopt, std::nullopt},
        {u"", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string shown = to_utf8(c.text);
        EXPECT_EQ(plain_parameter_set(c.text), c.set) << shown;
        EXPECT_EQ(plain_parameter_list(c.text), c.list) << shown;
        if (c.list) {
            EXPECT_EQ(parameter_list_text(*c.list), c.text) << shown;
        }
    }
}

// A software version without the padding of its buffer; the information counts as answered when
// any getter reported a value.
TEST(ScannerInformation, VersionLosesItsPaddingAndAnyReportedGetterIsAnAnswer) {
    const std::vector<std::pair<std::u16string, std::u16string>> versions = {
        {u"V1.2", u"V1.2"},
        {std::u16string(u"V1.2  \0\0", 8), u"V1.2"},
        {u" V1 2 ", u" V1 2"},
        {std::u16string(u"\0 \0", 3), u""},
        {u"", u""},
        {std::u16string(u"A\0B\0", 4), std::u16string(u"A\0B", 3)},
    };
    for (const auto& [raw, trimmed] : versions) EXPECT_EQ(trimmed_version(raw), trimmed) << to_utf8(raw);

    EXPECT_FALSE((ScannerInfo{-1, -1, {}, -1, -1}).answered());
    EXPECT_TRUE((ScannerInfo{-1, -1, {}, -1, 0}).answered());
    EXPECT_TRUE((ScannerInfo{0, -8, {}, -1, -1}).answered());
}

}  // namespace
}  // namespace harrowtally::testing
