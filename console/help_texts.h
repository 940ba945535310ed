// The usage texts of dossiq.exe and its subcommands, in the user's language.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace Dossiq::Console {

// Usage text `id` (IDS_CONSOLE_*_HELP) followed by the exit codes.
std::wstring HelpText(UINT id);

// Message `id` with each %s replaced by the next of `arguments`, spelled out (ReadableText).
std::wstring ConsoleText(UINT id, std::initializer_list<std::wstring> arguments = {});

} // namespace Dossiq::Console
