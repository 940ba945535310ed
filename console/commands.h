// The subcommands of dossiq.exe. Each gets its arguments already read by its row of the
// command table (help asked for, unknown options and the operand count are handled there),
// writes through `output` and returns the process exit code.
#pragma once

#include "console/arguments.h"
#include "console/command_output.h"

namespace Dossiq::Console {

// Exit codes, the same for every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // a container did not pass, or the command could not do its work
constexpr int kExitUsage = 2;  // wrong arguments, or a file or folder that cannot be read

// Containers at least this large get a progress line on standard error.
constexpr unsigned long long kProgressThreshold = 10ull * 1024 * 1024;

int VerifyCommand(const Arguments& arguments, const CommandOutput& output);
int ListCommand(const Arguments& arguments, const CommandOutput& output);
int ExtractCommand(const Arguments& arguments, const CommandOutput& output);
int CreateCommand(const Arguments& arguments, const CommandOutput& output);
int CertsCommand(const Arguments& arguments, const CommandOutput& output);
int ExtendCommand(const Arguments& arguments, const CommandOutput& output);
int SignCommand(const Arguments& arguments, const CommandOutput& output);

} // namespace Dossiq::Console
