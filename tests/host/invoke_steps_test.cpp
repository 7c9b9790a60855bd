#include "host/commands/invoke_steps.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "common/date_value.h"
#include "host/command_line/command.h"
#include "host/command_line/command_line.h"

namespace harrowtally::host {
namespace {

struct LiteralCase {
    std::string text;
    Variant expected;
};

TEST(StepParser, ValuesReadAsVBScriptLiterals) {
    const std::vector<LiteralCase> cases = {
        {"3", Variant::integer(3)},
        {"-32768", Variant::integer(-32768)},
        {"+32767", Variant::integer(32767)},
        {"32768", Variant::long_(32768)},
        {"-32769", Variant::long_(-32769)},
        {"2147483647", Variant::long_(2147483647)},
        {"2147483648", Variant::double_(2147483648.0)},
        {"99999999999999999999", Variant::double_(1e20)},
        {"007", Variant::integer(7)},
        {"1.5", Variant::double_(1.5)},
        {"-.5", Variant::double_(-0.5)},
        {"2.", Variant::double_(2.0)},
        {"1e3", Variant::double_(1000.0)},
        {"1.5E-2", Variant::double_(0.015)},
        {" 42 ", Variant::integer(42)},
        {"\"text\"", Variant::string(u"text")},
        {"\"\"", Variant::string(u"")},
        {"\"say \"\"hi\"\"\"", Variant::string(u"say \"hi\"")},
        {"\"12\"", Variant::string(u"12")},
        {"\" padded \"", Variant::string(u" padded ")},
        {"\"caf\xC3\xA9\"", Variant::string(u"caf\u00E9")},
        {"\"caf\xE9 au lait\"", Variant::string(u"caf\uFFFD au lait")},
        {"caf\xE9 au lait", Variant::string(u"caf\uFFFD au lait")},
        {"True", Variant::boolean(true)},
        {"FALSE", Variant::boolean(false)},
        {"null", Variant::null()},
        {"Empty", Variant()},
        {"#2026-12-06 14:30:05#", Variant::date(date_serial(2026, 12, 6) + time_serial(14, 30, 5))},
        {"#1899-12-29 12:00:00#", Variant::date(-1.5)},
        {"abc", Variant::string(u"abc")},
        {"12abc", Variant::string(u"12abc")},
        {"1,5", Variant::string(u"1,5")},
        {"1e", Variant::string(u"1e")},
        {"-", Variant::string(u"-")},
        {"&H10", Variant::string(u"&H10")},
        {"", Variant::string(u"")},
        {"Truely", Variant::string(u"Truely")},
    };
    for (const auto& c : cases) {
        const Variant got = parse_value(c.text);
        EXPECT_EQ(got.type(), c.expected.type()) << c.text;
        EXPECT_TRUE(got == c.expected) << c.text;
    }
}

TEST(StepParser, MalformedLiteralsAndNamesAreUsageErrors) {
    const char* malformed[] = {
        "",
        "=3",
        "1abc",
        "_x",
        "hello world",
        "open-clicker",
        "--typed",
        "startport=\"abc",
        "startport=\"a\"b\"",
        "startport=\"",
        "startport=#2026-12-06#",
        "startport=#2026-13-01 00:00:00#",
        "startport=#2026-02-29 00:00:00#",
        "startport=#2026-12-06 24:00:00#",
        "startport=#2026-12-06 14:30:05",
        "startport=#abc#",
    };
    for (const char* text : malformed) EXPECT_THROW(parse_step(text), UsageError) << text;
}

TEST(StepParser, StepsSplitAtTheFirstEqualsSign) {
    const Step read = parse_step("Comport");
    EXPECT_EQ(read.name, "Comport");
    EXPECT_FALSE(read.value.has_value());

    const Step assign = parse_step("newparams=a=b");
    EXPECT_EQ(assign.name, "newparams");
    ASSERT_TRUE(assign.value.has_value());
    EXPECT_TRUE(*assign.value == Variant::string(u"a=b"));
}

TEST(CommandLine, OptionsComeBeforeTheCommand) {
    const CommandLine line = parse_command_line({"--typed", "--library", "/x/lib.so", "invoke", "hello", "--typed"});
    EXPECT_TRUE(line.options.typed);
    EXPECT_EQ(line.options.library, "/x/lib.so");
    EXPECT_EQ(line.command, "invoke");
    EXPECT_EQ(line.args, (std::vector<std::string>{"hello", "--typed"}));

    EXPECT_EQ(parse_command_line({"--library=/y.so", "invoke"}).options.library, "/y.so");
    EXPECT_TRUE(parse_command_line({"--help", "--bogus"}).help);
    EXPECT_TRUE(parse_command_line({"--verbose", "download"}).options.verbose);

    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--typed"},
        {"--library"},
        {"--library="},
        {"--library", ""},
        {"--loud", "invoke", "hello"},
        {"--typed", "--typed", "invoke", "hello"},
        {"--library", "/x.so", "--library=/y.so", "invoke", "hello"},
    };
    for (const auto& args : wrong) EXPECT_THROW(parse_command_line(args), UsageError) << args.size();
}

enum Access { kRead = 1, kAssign = 2, kCall = 4 };

// The automation interface as its IDL declares it: each member's name with the access its
// declarations give (propget: read; propput or propputref: assign; neither: call).
std::map<std::string, int> declared_interface() {
    std::ifstream idl(HARROWTALLY_IDL);
    std::map<std::string, int> members;
    const std::regex declaration(R"re(\[id\(DISPID_\w+\)((?:, \w+)*)[^\]]*\]\s*HRESULT (\w+)\()re");
    std::stringstream text;
    text << idl.rdbuf();
    const std::string all = text.str();
    for (std::sregex_iterator it(all.begin(), all.end(), declaration), end; it != end; ++it) {
        const std::string attributes = (*it)[1];
        const int access = attributes.find("propget") != std::string::npos   ? kRead
                           : attributes.find("propput") != std::string::npos ? kAssign
                                                                             : kCall;
        members[(*it)[2]] |= access;
    }
    return members;
}

int access_of(const Member& m) {
    return (m.get ? kRead : 0) | (m.let ? kAssign : 0) | (m.call ? kCall : 0);
}

TEST(MemberTable, HoldsExactlyTheDeclaredInterfaceWithItsAccess) {
    const std::map<std::string, int> declared = declared_interface();
    ASSERT_EQ(declared.size(), 27u) << "the IDL at " << HARROWTALLY_IDL << " was not read whole";
    EXPECT_EQ(members().size(), declared.size());
    for (const auto& [name, access] : declared) {
        const Member* m = find_member(name);
        ASSERT_NE(m, nullptr) << name;
        EXPECT_EQ(m->name, name);
        EXPECT_EQ(access_of(*m), access) << name;
    }
}

TEST(MemberTable, NamesMatchWithoutRegardToCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"EMPTYSCANNER", "EmptyScanner"},
        {"swversion", "SwVersion"},
        {"Open_Clicker", "open_clicker"},
        {"StartPort", "startport"},
        {"LOG", "log"},
    };
    for (const auto& [asked, found] : cases) {
        const Member* m = find_member(asked);
        ASSERT_NE(m, nullptr) << asked;
        EXPECT_STREQ(m->name, found);
    }
    for (const char* unknown : {"", "logs", "open", "clear_clicker", "startport_"}) {
        EXPECT_EQ(find_member(unknown), nullptr) << unknown;
    }
}

}  // namespace
}  // namespace harrowtally::host
