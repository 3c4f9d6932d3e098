#pragma once
// What an unattended run holds before anything runs: its /log file and the machine-wide lock.

#include "unattended/RunOptions.h"

// Opens the run's /log file and takes the lock of unattended runs (held until the process
// ends). False, with the run's exit code, when either cannot be had: 87 for the log file, 1618
// while another run holds the lock, 1603 when it cannot be made. Logged.
bool PrepareUnattendedRun(const RunOptions& options, int& exitCode) noexcept;
