// The argument reader every command's row uses, in this process.
#include <gtest/gtest.h>

#include "console/arguments.h"
#include "console/help_texts.h"
#include "resources/console/resource.h"

using namespace Dossiq::Console;

namespace {

using Words = std::vector<std::wstring>;

const std::set<std::wstring> kFlags = {L"--json", L"--recursive"};
const std::set<std::wstring> kValued = {L"--to", L"-o"};

} // namespace

TEST(Arguments, ReadsFlagsValuesOperandsAndHelp) {
    const struct {
        Words args;
        Words operands;
        Words to; // the values of --to
        bool json;
        bool help;
    } cases[] = {
        {{L"a", L"--json", L"b"}, {L"a", L"b"}, {}, true, false},
        {{L"--to", L"x", L"--to=y", L"a"}, {L"a"}, {L"x", L"y"}, false, false},
        {{L"--to=", L"-"}, {L"-"}, {L""}, false, false},
        // After "--" everything is an operand, a help word too.
        {{L"--", L"--json", L"--help"}, {L"--json", L"--help"}, {}, false, false},
        {{L"a", L"/?"}, {L"a"}, {}, false, true},
        {{L"-h"}, {}, {}, false, true},
        {{L"--to", L"--json"}, {}, {L"--json"}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Arguments arguments(c.args, kFlags, kValued);
        EXPECT_EQ(L"", arguments.Error());
        EXPECT_EQ(c.operands, arguments.Operands());
        EXPECT_EQ(c.to, arguments.Values(L"--to"));
        EXPECT_EQ(c.json, arguments.Has(L"--json"));
        EXPECT_EQ(c.help, arguments.WantsHelp());
    }
    const Arguments twice({L"-o", L"first", L"-o", L"last"}, kFlags, kValued);
    EXPECT_EQ(L"last", twice.Value(L"-o"));
    EXPECT_EQ(L"fallback", twice.Value(L"--to", L"fallback"));
}

TEST(Arguments, RefusesWhatTheOptionsDoNotFit) {
    const struct {
        Words args;
        std::wstring error;
    } cases[] = {
        {{L"--bogus", L"a"}, ConsoleText(IDS_CONSOLE_UNKNOWN_OPTION, {L"--bogus"})},
        // A flag takes no value.
        {{L"--json=yes"}, ConsoleText(IDS_CONSOLE_UNKNOWN_OPTION, {L"--json=yes"})},
        {{L"a", L"-o"}, ConsoleText(IDS_CONSOLE_OPTION_NEEDS_VALUE, {L"-o"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(c.error, Arguments(c.args, kFlags, kValued).Error());
    }
}
