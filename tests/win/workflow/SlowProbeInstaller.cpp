// The all-offers installer whose Windows-family probe answers only after the window has given
// up waiting for it, as a slow WMI service does.
#include "app/InstallerApp.h"
#include "probe/WindowsFamily.h"

namespace {
int SlowProbe()
{
    Sleep(8000);
    return GetWindowsFamily();
}

CInstallerApp theApp;
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    CInstallerParts parts = ProgramParts();
    parts.probeFamily = SlowProbe;
    return theApp.Run(parts);
}
