#pragma once
// The four installation workflows. Each runs on a worker thread of its own and reaches the
// window only through the host below; the main window is the host in the program, a test
// double in the tests.

#include "trust/TrustedStart.h"
#include "workflows/Commands.h"

#include <windows.h>

#include <atomic>
#include <string>

class CWorkflowHost
{
public:
    // The only way from a worker to the window. All are callable from any thread and return
    // once the window has done what they ask.
    virtual void ShowStatusText(std::wstring text) = 0;
    virtual void ShowNoInternetMessage() = 0;
    // The command's progress bar: shown at 0, moved to `percent` (0..100), hidden.
    virtual void ShowProgressBar(Command command) = 0;
    virtual void SetProgressBar(Command command, int percent) = 0;
    virtual void HideProgressBar(Command command) = 0;
    virtual bool IsBluetoothShown() = 0;
    virtual std::wstring GetWord(std::wstring key) = 0;
    // Unattended runs (/quiet, /passive): a started setup gets the build's silent switches and
    // is waited for, and the run ends by telling its outcome: 0, the setup's own exit code, or
    // 1603 when the installer itself could not do the command.
    virtual bool IsUnattended() { return false; }
    virtual void ReportOutcome(DWORD /*exitCode*/) {}

protected:
    ~CWorkflowHost() = default;
};

// Runs data\WifiAutoInstallSetup.exe and reports its success on the status line.
void RunWifiWorkflow(CWorkflowHost& host) noexcept;
// Asks the driver service for the package, downloads it, and starts its setup program as
// `policy` allows; the Bluetooth driver is unpacked first and its Setup.exe started.
void RunPackageWorkflow(CWorkflowHost& host, Command command, const StartPolicy& policy) noexcept;
