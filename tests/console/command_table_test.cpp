// The command table and the program's dispatch, run in this process: help, unknown names
// and options, operand counts, and the option checks commands make before any work.
#include <gtest/gtest.h>

#include <set>

#include "console/command_table.h"
#include "console/console_program.h"
#include "console/help_texts.h"
#include "console/captured_output.h"
#include "resources/console/resource.h"

using namespace Dossiq::Console;
using ConsoleTest::CapturedOutput;

namespace {

struct Ran {
    int code;
    std::wstring out;
    std::wstring err;
};

Ran RunInProcess(const std::vector<std::wstring>& args) {
    CapturedOutput out, err;
    const int code = RunConsole(args, CommandOutput(out, err));
    return {code, out.Text(), err.Text()};
}

std::wstring ErrorLine(const std::wstring& message) {
    return L"dossiq: " + message + L"\r\n";
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
        for (const wchar_t* help : {L"--help", L"/?"}) {
            const Ran run = RunInProcess({row.name, L"x", help});
            EXPECT_EQ(0, run.code);
            EXPECT_EQ(HelpText(row.helpId), run.out);
            EXPECT_EQ(L"", run.err);
        }
    }
}

// What is refused before a command does any work: the exit code and the one line it gets.
TEST(CommandTable, RefusesWhatDoesNotFitWithOneLine) {
    const struct {
        std::vector<std::wstring> args;
        int code;
        UINT id; // the message, with `argument` if any; 0: the command's usage text
        std::wstring argument;
    } cases[] = {
        {{L"frobnicate"}, 2, IDS_CONSOLE_UNKNOWN_COMMAND, L"frobnicate"},
        {{L"verify", L"--bogus", L"a.snx"}, 2, IDS_CONSOLE_UNKNOWN_OPTION, L"--bogus"},
        {{L"extract", L"a.snx", L"--to"}, 2, IDS_CONSOLE_OPTION_NEEDS_VALUE, L"--to"},
        {{L"verify"}, 2, IDS_CONSOLE_VERIFY_NEEDS_INPUT, {}},
        {{L"verify", L"--jobs", L"0", L"a.snx"}, 2, IDS_CONSOLE_JOBS_RANGE, {}},
        {{L"list", L"a.snx", L"b.snx"}, 2, IDS_CONSOLE_LIST_ONE, {}},
        {{L"extract"}, 2, IDS_CONSOLE_EXTRACT_ONE, {}},
        {{L"certs", L"x"}, 2, IDS_CONSOLE_CERTS_NO_OPERANDS, {}},
        {{L"extend"}, 2, IDS_CONSOLE_NO_CONTAINERS, {}},
        {{L"sign", L"a.snx"}, 2, 0, {}},
        {{L"sign", L"--sign", L"x"}, 2, 0, {}},
        // create names what to make and where before its operands.
        {{L"create", L"a"}, 2, IDS_CONSOLE_CREATE_NEEDS_KIND, {}},
        {{L"create", L"--sign", L"x", L"a"}, 2, IDS_CONSOLE_CREATE_NEEDS_OUTPUT, {}},
        {{L"create", L"--sign", L"x", L"-o", L"o"}, 2, IDS_CONSOLE_CREATE_NEEDS_INPUT, {}},
        // The timestamp and long-term options, read once for create and sign.
        {{L"create", L"--sign=x", L"-o", L"o", L"--timestamp", L"often", L"a"},
         2,
         IDS_CONSOLE_TIMESTAMP_MODE,
         {}},
        {{L"sign", L"--sign=x", L"--long-term", L"maybe", L"a"}, 2, IDS_CONSOLE_LONG_TERM_MODE, {}},
        {{L"sign", L"--sign=x", L"--timestamp=required", L"--timestamp-url=", L"a"},
         2,
         IDS_CONSOLE_TIMESTAMP_NEEDS_URL,
         {}},
        // Encrypting only, a required timestamp asks for no service.
        {{L"create", L"--encrypt-to=x", L"-o", L"o", L"--timestamp=required", L"--timestamp-url=",
          L"missing"},
         2,
         IDS_CONSOLE_CANNOT_FIND,
         L"missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Ran run = RunInProcess(c.args);
        EXPECT_EQ(c.code, run.code);
        EXPECT_EQ(L"", run.out);
        const std::wstring message = c.id == 0            ? HelpText(FindCommand(c.args[0])->helpId)
                                     : c.argument.empty() ? ConsoleText(c.id)
                                                          : ConsoleText(c.id, {c.argument});
        EXPECT_EQ(ErrorLine(message), run.err);
        EXPECT_GT(message.size(), 10u); // the texts are there to compare
    }
}

TEST(CommandTable, WithoutACommandTheMainHelpGoesToWhereItWasAskedFor) {
    const Ran none = RunInProcess({});
    EXPECT_EQ(2, none.code);
    EXPECT_EQ(HelpText(IDS_CONSOLE_MAIN_HELP), none.err);
    for (const wchar_t* help : {L"help", L"--help", L"/?", L"-?"}) {
        const Ran asked = RunInProcess({help});
        EXPECT_EQ(0, asked.code);
        EXPECT_EQ(HelpText(IDS_CONSOLE_MAIN_HELP), asked.out);
        EXPECT_EQ(L"", asked.err);
    }
}
