#pragma once
// An unattended run without a window (/quiet): the selected commands one after another, every
// started setup waited for, nothing shown, the outcome as the exit code.

#include "app/InstallerParts.h"
#include "app/Unattended.h"

// Whether the run leaves `command` out (TakesPart), said in the log.
bool IsLeftOut(const RunOptions& options, Command command, int family);

// One command of an unattended run through `host`: its exit code, or 1633 where this Windows
// family rules it out. Logged.
int RunUnattendedCommand(const CInstallerParts& parts, Command command, int family,
                         CWorkflowHost& host);

// The run's exit code (Unattended.h). The caller holds the machine-wide lock of unattended runs.
int RunQuietly(const CInstallerParts& parts, const RunOptions& options) noexcept;
