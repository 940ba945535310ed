// VantorManager's entry point.
#include <windows.h>

#include "manager/manager_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    return Dossiq::Manager::RunManager(::GetCommandLineW(), showCommand);
}
