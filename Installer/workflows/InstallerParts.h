// What the window and the unattended runs run: the real workflows and Windows-family probe in
// the program, and stand-ins for them in the test builds that keep the window busy or its probe
// hanging.
#pragma once

#include "workflows/Workflows.h"

struct CInstallerParts
{
    // The command's outcome (RunCommand).
    CommandOutcome (*runCommand)(CWorkflowHost& host, Command command, RunStyle style) noexcept;
    int (*probeFamily)();
    // The publishers `runCommand` pins (KVZ_TRUSTED_PUBLISHERS form): with `self` among them,
    // the installer's own signer is read at start.
    const char* publisherPins = "";
};
