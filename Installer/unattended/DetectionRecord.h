#pragma once
// The record that deployment tools' detection rules look for after an unattended install:
// HKLM\SOFTWARE\KVZ7300\Installed\<selector>, in the 64-bit registry view on 64-bit Windows
// (DetectionValues.h).

#include "workflows/Commands.h"
#include "workflows/Workflows.h"

// Records the command's outcome when its setup installed the package (IsInstalledExitCode) and
// the outcome names it; anything else leaves an earlier record as it was. The record replaces
// the earlier one whole or not at all. The support log says what happened. False when a record
// was due and could not be written.
bool RecordInstall(const CommandRow& row, const CommandOutcome& outcome) noexcept;
