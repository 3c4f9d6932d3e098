// What the main window runs: the real workflows and Windows-family probe in the program, and
// stand-ins for them in the test builds that keep the window busy or its probe hanging.
#pragma once

#include "workflows/Workflows.h"

struct CInstallerParts
{
    void (*runWifi)(CWorkflowHost& host) noexcept;
    void (*runPackage)(CWorkflowHost& host, Command command) noexcept;
    int (*probeFamily)();
};

// The program's own: RunWifiWorkflow, RunPackageWorkflow and GetWindowsFamily.
CInstallerParts ProgramParts() noexcept;
