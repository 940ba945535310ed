// The usage texts of dossiq.exe and its subcommands, in the user's language.
#pragma once

#include <windows.h>

#include <string>

// Usage text `id` (IDS_CONSOLE_*_HELP) followed by the exit codes.
std::wstring HelpText(UINT id);

// Message `id` with its %s replaced by `argument`.
std::wstring ConsoleText(UINT id, const std::wstring& argument = {});
