#include "app/InstallerApp.h"

#include "app/InstallerDlg.h"
#include "BuildConfig.h"
#include "log/SupportLog.h"
#include "probe/FamilyProbe.h"
#include "probe/WindowsFamily.h"
#include "trust/TrustedStart.h"
#include "workflows/Staging.h"

#include <commctrl.h>

namespace {
// The settings key a framework would keep its own settings under; the installer stores
// nothing there itself.
[[maybe_unused]] constexpr const wchar_t* kSettingsKey = L"BrightfernKVZ7300Installer";

// Restart support only (no recovery), registered where the system has a restart manager.
void RegisterForRestart() noexcept
{
    using RegisterFn = HRESULT(WINAPI*)(PCWSTR, DWORD);
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto pRegister = hKernel ? reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(
                                         ::GetProcAddress(hKernel, "RegisterApplicationRestart")))
                                   : nullptr;
    if (pRegister)
        pRegister(L"", 0);
}
// The package workflows under the publishers this build pins.
void RunPackageWithBuildPins(CWorkflowHost& host, Command command) noexcept
{
    try
    {
        RunPackageWorkflow(host, command, StartPolicyFromList(KVZ_TRUSTED_PUBLISHERS));
    }
    catch (...)
    {
        // Out of memory before the run began: nothing was started.
    }
}
} // namespace

CInstallerParts ProgramParts() noexcept
{
    return {RunWifiWorkflow, RunPackageWithBuildPins, GetWindowsFamily};
}

bool CInstallerApp::InitInstance(const CInstallerParts& parts) noexcept
{
    // Asked before the window is built; the window waits for the answer only as long as it
    // is willing to, without blocking its thread.
    // This thread owns the window: it never waits for the log's lock.
    QueueLogLinesOfThisThread();
    const CFamilyProbe familyProbe(parts.probeFamily);
    HoldOwnImage();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    RegisterForRestart();
    StartCleaningWorkFolder();

    CInstallerDlg dlg(parts, familyProbe);
    dlg.DoModal();
    // Workers are never joined and may still be inside the window's operations: end them
    // with the process now, before the window object they point to is destroyed. Started
    // setup programs and the archiver are processes of their own and keep running.
    ::ExitProcess(0);
}
