// dossiq.exe's work: the subcommand named first on the command line, its exit code returned.
#pragma once

int RunConsole(int argc, wchar_t** argv);
