// The all-offers installer with a pinned publisher, for bench/download.sh: a build with pins
// takes packages over plain http without a sha256 (the signature vouches for them), which one
// without pins refuses before a byte is fetched. Signed copies run the unattended tests of
// `self` (tests/win/workflow).
#include "app/InstallerApp.h"
#include "probe/WindowsFamily.h"
#include "workflows/Workflows.h"

namespace {
CommandOutcome RunPinned(CWorkflowHost& host, Command command, RunStyle style) noexcept
{
    try
    {
        return RunCommand(host, command, style, StartPolicyFromList("self"));
    }
    catch (...)
    {
        // Out of memory before the run began: nothing was started.
        return kInstallerFailed;
    }
}

CInstallerApp theApp;
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return theApp.Run({RunPinned, GetWindowsFamily, "self"});
}
