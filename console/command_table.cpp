#include "console/command_table.h"

#include "console/commands.h"
#include "console/help_texts.h"
#include "resources/console/resource.h"

namespace Dossiq::Console {

namespace {

constexpr size_t kAny = static_cast<size_t>(-1);

} // namespace

const std::vector<CommandRow>& CommandTable() {
    // create checks its operands itself, after what it is asked to make.
    static const std::vector<CommandRow> table = {
        {L"verify",
         VerifyCommand,
         {L"--recursive", L"--json", L"--overwrite"},
         {L"--jobs", L"--report"},
         1,
         kAny,
         IDS_CONSOLE_VERIFY_NEEDS_INPUT,
         IDS_CONSOLE_VERIFY_HELP},
        {L"list", ListCommand, {}, {}, 1, 1, IDS_CONSOLE_LIST_ONE, IDS_CONSOLE_LIST_HELP},
        {L"extract",
         ExtractCommand,
         {L"--overwrite", L"--force"},
         {L"--to", L"--entry"},
         1,
         1,
         IDS_CONSOLE_EXTRACT_ONE,
         IDS_CONSOLE_EXTRACT_HELP},
        {L"create",
         CreateCommand,
         {L"--overwrite", L"--accept-recipient-warnings", L"--encrypt-for-me"},
         {L"--sign", L"--encrypt-to", L"-o", L"--output", L"--timestamp", L"--timestamp-url",
          L"--long-term"},
         0,
         kAny,
         0,
         IDS_CONSOLE_CREATE_HELP},
        {L"certs",
         CertsCommand,
         {},
         {},
         0,
         0,
         IDS_CONSOLE_CERTS_NO_OPERANDS,
         IDS_CONSOLE_CERTS_HELP},
        {L"extend",
         ExtendCommand,
         {L"--recursive"},
         {},
         1,
         kAny,
         IDS_CONSOLE_NO_CONTAINERS,
         IDS_CONSOLE_EXTEND_HELP},
        {L"sign",
         SignCommand,
         {},
         {L"--sign", L"-o", L"--output", L"--timestamp", L"--timestamp-url", L"--long-term"},
         1,
         1,
         0,
         IDS_CONSOLE_SIGN_HELP},
    };
    return table;
}

const CommandRow* FindCommand(const std::wstring& name) {
    for (const CommandRow& row : CommandTable()) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}

int RunCommand(const CommandRow& row, const std::vector<std::wstring>& args,
               const CommandOutput& output) {
    const Arguments arguments(args, row.flags, row.valued);
    if (arguments.WantsHelp()) {
        output.Out().Write(HelpText(row.helpId));
        return kExitOk;
    }
    if (!arguments.Error().empty()) {
        return output.Fail(kExitUsage, arguments.Error());
    }
    const size_t count = arguments.Operands().size();
    if (count < row.leastOperands || count > row.mostOperands) {
        return output.Fail(kExitUsage,
                           row.operandsId ? ConsoleText(row.operandsId) : HelpText(row.helpId));
    }
    return row.run(arguments, output);
}

} // namespace Dossiq::Console
