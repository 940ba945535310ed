// The containers the operands of a command name: files as given, folders searched for
// .snx, .pnx and .enx files (their subfolders too when recursive), sorted by name.
#pragma once

#include <string>
#include <vector>

#include "console/command_output.h"

namespace Dossiq::Console {

// Appends to `found`; false after naming on standard error an operand that cannot be found
// or a folder whose listing failed.
bool CollectContainers(const std::vector<std::wstring>& operands, bool recursive,
                       std::vector<std::wstring>& found, const CommandOutput& output);

} // namespace Dossiq::Console
