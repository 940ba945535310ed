// dossiq.exe's work: the subcommand named first on the command line, its exit code returned.
#pragma once

namespace Dossiq::Console {

int RunConsole(int argc, wchar_t** argv);

} // namespace Dossiq::Console
