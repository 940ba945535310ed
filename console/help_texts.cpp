#include "console/help_texts.h"

#include "config/localization.h"
#include "foundation/text/readable_text.h"
#include "resources/console/resource.h"

using namespace Dossiq::Config;

namespace Dossiq::Console {

std::wstring HelpText(UINT id) {
    return LoadLocalizedString(id) + LoadLocalizedString(IDS_CONSOLE_EXIT_CODES);
}

std::wstring ConsoleText(UINT id, std::initializer_list<std::wstring> arguments) {
    std::wstring text = LoadLocalizedString(id);
    size_t at = 0;
    for (const std::wstring& argument : arguments) {
        at = text.find(L"%s", at);
        if (at == std::wstring::npos) {
            break;
        }
        // Arguments are names and paths, often a stranger's: never passed through raw.
        const std::wstring shown = MHFX::ReadableText(argument);
        text.replace(at, 2, shown);
        at += shown.size();
    }
    return text;
}

} // namespace Dossiq::Console
