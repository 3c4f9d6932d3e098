// The application object: prepares the process, runs the main window modally and ends the
// process when the window closes.
#pragma once

#include "app/InstallerParts.h"

class CInstallerApp
{
public:
    CInstallerApp() noexcept = default;
    // Never returns normally: the process ends right after the main window's modal loop.
    bool InitInstance(const CInstallerParts& parts) noexcept;
};
