#pragma once
// /layout: every package of the selected commands, for every Windows family the driver service
// tells apart, downloaded with every check of an install and laid out in one folder with this
// program, its data\ and a manifest, so that installs can run from there without the service
// (workflows/PackageLayout.h). No window; one line per package on the console, as quiet runs
// print theirs. The caller holds the machine-wide lock of unattended runs.

#include "unattended/RunOptions.h"
#include "workflows/InstallerParts.h"

// 0 when everything is in place, 1603 when anything is not (what could be laid out stays).
int MakeLayout(const CInstallerParts& parts, const RunOptions& options) noexcept;
