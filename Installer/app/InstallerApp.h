// The application object: prepares the process, runs the main window modally and ends the
// process when the window closes.
#pragma once

#include "unattended/RunOptions.h"
#include "workflows/InstallerParts.h"

class CInstallerApp
{
public:
    CInstallerApp() noexcept = default;
    // Reads the command line: without arguments, the window (InitInstance); with them, an
    // unattended run, the switches' help, or 87 for a wrong command line. The exit code.
    int Run(const CInstallerParts& parts) noexcept;
    // Never returns normally: the process ends right after the main window's modal loop, with
    // the window's exit code. With `passive`, the window runs those commands by itself.
    bool InitInstance(const CInstallerParts& parts, const RunOptions* passive = nullptr) noexcept;
};

// The program's own: RunCommand under the build's pins, and GetWindowsFamily.
CInstallerParts ProgramParts() noexcept;
