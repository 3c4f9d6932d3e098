#pragma once
// The two unattended runs: /quiet without a window, its outcome on the console it was given and
// as the exit code; /passive through the window, which shows progress. Both run the selected
// commands one after another, as if clicked in the window's order, each started setup waited
// for; the caller holds the machine-wide lock of unattended runs (RunLock.h).

#include "app/InstallerParts.h"
#include "unattended/RunOptions.h"

// The run's exit code (RunOptions.h).
int RunQuietly(const CInstallerParts& parts, const RunOptions& options) noexcept;

// The passive run's commands through the window's `host`, on the caller's worker. The Windows
// family is asked here, however long it takes: the window's own wait may have given up. The
// run's exit code.
int RunPassively(const CInstallerParts& parts, const RunOptions& options,
                 CWorkflowHost& host) noexcept;
