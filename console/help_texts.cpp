#include "console/help_texts.h"

#include "config/localization.h"
#include "resources/console/resource.h"

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
        text.replace(at, 2, argument);
        at += argument.size();
    }
    return text;
}
