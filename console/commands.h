// The subcommands of dossiq.exe. Each takes the arguments after its name and returns the
// process exit code.
#pragma once

#include <string>
#include <vector>

namespace Dossiq::Console {

// Exit codes, the same for every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // a container did not pass, or the command could not do its work
constexpr int kExitUsage = 2;  // wrong arguments, or a file or folder that cannot be read

// Containers at least this large get a progress line on standard error.
constexpr unsigned long long kProgressThreshold = 10ull * 1024 * 1024;

int VerifyCommand(const std::vector<std::wstring>& args);
int ListCommand(const std::vector<std::wstring>& args);
int ExtractCommand(const std::vector<std::wstring>& args);
int CreateCommand(const std::vector<std::wstring>& args);
int CertsCommand(const std::vector<std::wstring>& args);
int ExtendCommand(const std::vector<std::wstring>& args);
int SignCommand(const std::vector<std::wstring>& args);

// Writes an error line "dossiq: ..." to standard error and returns `code`.
int Fail(int code, const std::wstring& message);
// Whether progress lines may be written: standard error is a console.
bool ShowsProgress();

} // namespace Dossiq::Console
