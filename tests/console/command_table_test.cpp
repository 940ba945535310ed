// The command table and the program's dispatch, run in this process: help, unknown names,
// operand counts, and the option checks commands make before any work.
#include <gtest/gtest.h>

#include <set>

#include "config/preferences.h"
#include "console/command_table.h"
#include "console/console_program.h"
#include "console/help_texts.h"
#include "resources/console/resource.h"

using namespace Dossiq::Console;

namespace {

class Captured : public Output {
public:
    bool Write(const std::wstring& more) override {
        text += more;
        return true;
    }
    bool IsConsole() const override { return false; }
    std::wstring text;
};

struct Ran {
    int code;
    std::wstring out;
    std::wstring err;
};

Ran RunInProcess(const std::vector<std::wstring>& args) {
    Captured out, err;
    const int code = RunConsole(args, CommandOutput(out, err));
    return {code, out.text, err.text};
}

} // namespace

TEST(CommandTable, EachRowAnswersHelpWithItsOwnUsage) {
    std::set<UINT> helpIds;
    for (const CommandRow& row : CommandTable()) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
        EXPECT_TRUE(helpIds.insert(row.helpId).second);
        // Every language's usage text names its command as typed.
        EXPECT_NE(std::wstring::npos,
                  HelpText(row.helpId).find(L"dossiq " + std::wstring(row.name)));
        const Ran run = RunInProcess({row.name, L"x", L"--help"});
        EXPECT_EQ(0, run.code);
        EXPECT_EQ(HelpText(row.helpId), run.out);
        EXPECT_EQ(L"", run.err);
    }
}

// What is refused before a command does any work: exit code 2 and one error line.
TEST(CommandTable, RefusesWhatDoesNotFitWithOneLine) {
    Dossiq::Config::Preferences::Instance().Load();
    const struct {
        std::vector<std::wstring> args;
        std::wstring message;
    } cases[] = {
        {{L"frobnicate"}, ConsoleText(IDS_CONSOLE_UNKNOWN_COMMAND, {L"frobnicate"})},
        {{L"verify", L"--bogus", L"a.snx"}, ConsoleText(IDS_CONSOLE_UNKNOWN_OPTION, {L"--bogus"})},
        {{L"verify"}, ConsoleText(IDS_CONSOLE_VERIFY_NEEDS_INPUT)},
        {{L"verify", L"--jobs", L"0", L"a.snx"}, ConsoleText(IDS_CONSOLE_JOBS_RANGE)},
        {{L"list", L"a.snx", L"b.snx"}, ConsoleText(IDS_CONSOLE_LIST_ONE)},
        {{L"extract"}, ConsoleText(IDS_CONSOLE_EXTRACT_ONE)},
        {{L"certs", L"x"}, ConsoleText(IDS_CONSOLE_CERTS_NO_OPERANDS)},
        {{L"extend"}, ConsoleText(IDS_CONSOLE_NO_CONTAINERS)},
        {{L"sign", L"a.snx"}, HelpText(IDS_CONSOLE_SIGN_HELP)},
        {{L"sign", L"--sign", L"x"}, HelpText(IDS_CONSOLE_SIGN_HELP)},
        // create names what to make and where before its operands.
        {{L"create", L"a"}, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_KIND)},
        {{L"create", L"--sign=x", L"a"}, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_OUTPUT)},
        {{L"create", L"--sign=x", L"-o", L"o"}, ConsoleText(IDS_CONSOLE_CREATE_NEEDS_INPUT)},
        // The timestamp and long-term options, read once for create and sign.
        {{L"create", L"--sign=x", L"-o", L"o", L"--timestamp=often", L"a"},
         ConsoleText(IDS_CONSOLE_TIMESTAMP_MODE)},
        {{L"sign", L"--sign=x", L"--long-term=maybe", L"a"},
         ConsoleText(IDS_CONSOLE_LONG_TERM_MODE)},
        {{L"sign", L"--sign=x", L"--timestamp=required", L"--timestamp-url=", L"a"},
         ConsoleText(IDS_CONSOLE_TIMESTAMP_NEEDS_URL)},
        // Encrypting only, a required timestamp asks for no service.
        {{L"create", L"--encrypt-to=x", L"-o", L"o", L"--timestamp=required", L"--timestamp-url=",
          L"missing"},
         ConsoleText(IDS_CONSOLE_CANNOT_FIND, {L"missing"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Ran run = RunInProcess(c.args);
        EXPECT_EQ(2, run.code);
        EXPECT_EQ(L"", run.out);
        EXPECT_EQ(L"dossiq: " + c.message + L"\r\n", run.err);
        EXPECT_GT(c.message.size(), 10u); // the texts are there to compare
    }
}

TEST(CommandTable, WithoutACommandTheMainHelpGoesWhereItWasAskedFor) {
    const Ran none = RunInProcess({});
    EXPECT_EQ(2, none.code);
    EXPECT_EQ(HelpText(IDS_CONSOLE_MAIN_HELP), none.err);
    for (const wchar_t* help : {L"help", L"/?"}) {
        const Ran asked = RunInProcess({help});
        EXPECT_EQ(0, asked.code);
        EXPECT_EQ(HelpText(IDS_CONSOLE_MAIN_HELP), asked.out);
        EXPECT_EQ(L"", asked.err);
    }
}
