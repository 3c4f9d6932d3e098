#include "app/InstallerApp.h"

#include <windows.h>

namespace
{
CInstallerApp theApp;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    theApp.InitInstance(ProgramParts());
    return 0;
}
