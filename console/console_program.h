// dossiq.exe's work: the subcommand named first on the command line, its exit code returned.
#pragma once

#include <string>
#include <vector>

#include "console/command_output.h"

namespace Dossiq::Console {

// The program on its console streams; no exception leaves it.
int RunConsole(int argc, wchar_t** argv);
// `args` without the program's name, written through `output`.
int RunConsole(const std::vector<std::wstring>& args, const CommandOutput& output);

} // namespace Dossiq::Console
