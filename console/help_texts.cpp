#include "console/help_texts.h"

#include "config/localization.h"
#include "resources/console/resource.h"

std::wstring HelpText(UINT id) {
    return LoadLocalizedString(id) + LoadLocalizedString(IDS_CONSOLE_EXIT_CODES);
}

std::wstring ConsoleText(UINT id, const std::wstring& argument) {
    std::wstring text = LoadLocalizedString(id);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}
