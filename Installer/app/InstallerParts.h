// What the main window runs: the real workflows and Windows-family probe in the program, and
// stand-ins for them in the test builds that keep the window busy or its probe hanging.
#pragma once

#include "workflows/Workflows.h"

struct CInstallerParts
{
    void (*runWifi)(CWorkflowHost& host) noexcept;
    void (*runPackage)(CWorkflowHost& host, Command command) noexcept;
    int (*probeFamily)();
    // The publishers `runPackage` pins (KVZ_TRUSTED_PUBLISHERS form): with `self` among them,
    // the installer's own signer is read at start.
    const char* publisherPins = "";
};

// The program's own: RunWifiWorkflow, RunPackageWorkflow under the build's pins and
// GetWindowsFamily.
CInstallerParts ProgramParts() noexcept;
