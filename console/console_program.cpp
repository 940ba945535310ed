#include "console/console_program.h"

#include <exception>

#include "config/preferences.h"
#include "foundation/exception.h"
#include "foundation/text/readable_text.h"
#include "console/arguments.h"
#include "console/commands.h"
#include "console/console_output.h"
#include "console/help_texts.h"
#include "resources/console/resource.h"

using namespace Dossiq::Config;

namespace Dossiq::Console {

int Fail(int code, const std::wstring& message) {
    ConsoleOutput::Err().Write(L"dossiq: " + message + L"\r\n");
    return code;
}

bool ShowsProgress() {
    return ConsoleOutput::Err().IsConsole();
}

int RunConsole(int argc, wchar_t** argv) {
    try {
        // The language of the manager's preferences; without them the English texts serve.
        Preferences::Instance().Load();
        if (argc < 2) {
            ConsoleOutput::Err().Write(HelpText(IDS_CONSOLE_MAIN_HELP));
            return kExitUsage;
        }
        const std::wstring command = argv[1];
        const std::vector<std::wstring> args(argv + 2, argv + argc);
        if (Arguments::IsHelp(command) || command == L"help") {
            ConsoleOutput::Out().Write(HelpText(IDS_CONSOLE_MAIN_HELP));
            return kExitOk;
        }
        const struct {
            const wchar_t* name;
            int (*run)(const std::vector<std::wstring>&);
        } commands[] = {{L"verify", VerifyCommand},   {L"list", ListCommand},
                        {L"extract", ExtractCommand}, {L"create", CreateCommand},
                        {L"certs", CertsCommand},     {L"extend", ExtendCommand},
                        {L"sign", SignCommand}};
        for (const auto& entry : commands) {
            if (command == entry.name) {
                return entry.run(args);
            }
        }
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_UNKNOWN_COMMAND, {command}));
    } catch (const MHFX::Exception& e) {
        // A command lets no product exception out unnamed; this is the last net.
        return Fail(kExitUsage, MHFX::ReadableText(e.Message()));
    } catch (...) {
        return Fail(kExitUsage, ConsoleText(IDS_CONSOLE_INTERNAL_ERROR));
    }
}

} // namespace Dossiq::Console
