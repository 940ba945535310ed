// dossiq.exe's entry point.
#include "console/console_program.h"

using namespace Dossiq::Console;

int wmain(int argc, wchar_t** argv) {
    return RunConsole(argc, argv);
}
