// dossiq.exe's subcommands as one table: a row names the command, its options (flags, and
// options taking a value), how many operands it takes and its usage text, so that reading
// the arguments, answering --help and refusing what does not fit is written once.
#pragma once

#include <windows.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "console/arguments.h"
#include "console/command_output.h"

namespace Dossiq::Console {

struct CommandRow {
    const wchar_t* name;
    int (*run)(const Arguments& arguments, const CommandOutput& output);
    std::set<std::wstring> flags;
    std::set<std::wstring> valued;
    size_t leastOperands;
    size_t mostOperands;
    UINT operandsId; // the error when the operand count does not fit; 0: the usage text
    UINT helpId;
};

const std::vector<CommandRow>& CommandTable();
// The row of the command `name`, null for none.
const CommandRow* FindCommand(const std::wstring& name);

// Reads `args` by the row, answers help and refuses what does not fit, else runs the command.
int RunCommand(const CommandRow& row, const std::vector<std::wstring>& args,
               const CommandOutput& output);

} // namespace Dossiq::Console
