#pragma once
// The two unattended runs: /quiet without a window, its outcome on the console it was given and
// as the exit code; /passive through the window, which shows progress. Both run the selected
// commands one after another, as if clicked in the window's order, each started setup waited
// for; the caller holds the machine-wide lock of unattended runs (RunLock.h).

#include "unattended/RunOptions.h"
#include "workflows/InstallerParts.h"

#include <memory>

// The run's exit code (RunOptions.h).
int RunQuietly(const CInstallerParts& parts, const RunOptions& options) noexcept;

// The window a passive run shows: the workflows' host, told the run's exit code at its end.
class CPassiveHost : public CWorkflowHost
{
public:
    virtual ~CPassiveHost() = default;
    virtual void RunEnded(int exitCode) noexcept = 0;
};

// The passive run's commands on a worker of its own, which owns `host`, for a Windows of
// `family`: the one the window waited for, never a guess. A worker that cannot start is a run
// that failed.
void StartPassiveRun(const CInstallerParts& parts, const RunOptions& options, int family,
                     std::unique_ptr<CPassiveHost> host) noexcept;
