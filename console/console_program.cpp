#include "console/console_program.h"

#include <exception>

#include "config/preferences.h"
#include "foundation/exception.h"
#include "foundation/text/readable_text.h"
#include "console/arguments.h"
#include "console/command_table.h"
#include "console/commands.h"
#include "console/console_output.h"
#include "console/help_texts.h"
#include "resources/console/resource.h"

using namespace Dossiq::Config;

namespace Dossiq::Console {

int RunConsole(const std::vector<std::wstring>& args, const CommandOutput& output) {
    try {
        // The language of the manager's preferences; without them the English texts serve.
        Preferences::Instance().Load();
        if (args.empty()) {
            output.Err().Write(HelpText(IDS_CONSOLE_MAIN_HELP));
            return kExitUsage;
        }
        const std::wstring& command = args.front();
        if (Arguments::IsHelp(command) || command == L"help") {
            output.Out().Write(HelpText(IDS_CONSOLE_MAIN_HELP));
            return kExitOk;
        }
        if (const CommandRow* row = FindCommand(command)) {
            return RunCommand(*row, {args.begin() + 1, args.end()}, output);
        }
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_UNKNOWN_COMMAND, {command}));
    } catch (const MHFX::Exception& e) {
        // A command lets no product exception out unnamed; this is the last net.
        return output.Fail(kExitUsage, MHFX::ReadableText(e.Message()));
    } catch (...) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_INTERNAL_ERROR));
    }
}

int RunConsole(int argc, wchar_t** argv) {
    ConsoleOutput out(STD_OUTPUT_HANDLE);
    ConsoleOutput err(STD_ERROR_HANDLE);
    const CommandOutput output(out, err);
    try {
        return RunConsole(std::vector<std::wstring>(argv + (argc > 0 ? 1 : 0), argv + argc),
                          output);
    } catch (...) {
        return output.Fail(kExitUsage, ConsoleText(IDS_CONSOLE_INTERNAL_ERROR));
    }
}

} // namespace Dossiq::Console
