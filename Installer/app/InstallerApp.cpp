#include "app/InstallerApp.h"

#include "app/InstallerDlg.h"
#include "app/OfferSwitches.h"
#include "app/WindowStyle.h"
#include "BuildConfig.h"
#include "framework/AsciiCase.h"
#include "framework/ComApartment.h"
#include "log/SupportLog.h"
#include "net/ProxySetup.h"
#include "probe/FamilyProbe.h"
#include "probe/WindowsFamily.h"
#include "res/resource.h"
#include "storage/WorkFolder.h"
#include "trust/TrustedStart.h"
#include "unattended/LayoutRun.h"
#include "unattended/RunLock.h"
#include "unattended/RunOptions.h"
#include "unattended/UnattendedRun.h"
#include "workflows/PackageLayout.h"
#include "workflows/Staging.h"

#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <functional>
#include <vector>

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
// The workflows under the publishers this build pins.
CommandOutcome RunWithBuildPins(CWorkflowHost& host, Command command, RunStyle style) noexcept
{
    try
    {
        return RunCommand(host, command, style, StartPolicyFromList(KVZ_TRUSTED_PUBLISHERS));
    }
    catch (...)
    {
        // Out of memory before the run began: nothing was started.
        return kInstallerFailed;
    }
}
constexpr const wchar_t* kHelpCaption = L"KVZ-7300 installer";

std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; argv && i < count; ++i)
        args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

bool AsksForQuiet(const std::vector<std::wstring>& args)
{
    for (const std::wstring& arg : args)
    {
        const std::wstring name = arg.size() > 1 ? FoldedAsciiCase(arg.substr(1)) : L"";
        // A layout is made without a window, too.
        if (name == L"quiet" || name == L"q" || name.rfind(L"layout", 0) == 0)
            return true;
    }
    return false;
}

// A banner that takes longer than this does not hold the family up any further.
constexpr std::chrono::milliseconds kProbeAfterBannerMs(500);
} // namespace

CInstallerParts ProgramParts() noexcept
{
    return {RunWithBuildPins, GetWindowsFamily, KVZ_TRUSTED_PUBLISHERS};
}

bool CInstallerApp::InitInstance(const CInstallerParts& parts, const RunOptions* passive) noexcept
{
    // This thread owns the window: it never waits for the log's lock.
    QueueLogLinesOfThisThread();
    // Both on workers of their own while the window is built: the banner is drawn, then the
    // family asked, which the window waits for only as long as it is willing to. One after the
    // other: they load GDI+ and WMI, a dozen DLLs, which the process loads one at a time while
    // the window's thread needs the same lock to build the window; side by side they held it
    // up longer.
    const CBannerTile banner(IDB_BANNER, kWindowBlue);
    std::function<void()> afterBanner;
    try
    {
        afterBanner = [banner] { banner.WaitFor(kProbeAfterBannerMs); };
    }
    catch (...)
    {
        // Out of memory: the family is asked at once.
    }
    const CFamilyProbe familyProbe(parts.probeFamily, std::move(afterBanner));

    // The window's thread lives in an apartment: the accessibility annotations are COM's.
    const ComApartment apartment(COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    RegisterForRestart();
    StartCleaningWorkFolder();

    CInstallerDlg dlg(parts, familyProbe, banner, passive);
    dlg.DoModal();
    // Workers are never joined and may still be inside the window's operations: end them
    // with the process now, before the window object they point to is destroyed. Started
    // setup programs and the archiver are processes of their own and keep running.
    ::ExitProcess(static_cast<UINT>(dlg.ExitCode()));
}

int CInstallerApp::Run(const CInstallerParts& parts) noexcept
{
    try
    {
        // Before anything else, in every mode: `self` is whoever signed the file that started
        // this process, held from here on, not whatever lies under its name later; and the
        // working folder everything is written to and started from, held until the end.
        ReadSelfKeyAtStart(StartPolicyFromList(parts.publisherPins));
        HoldWorkFolder();
        for (const auto& [what, error] : TakeWorkFolderNotes())
        {
            if (error == 0)
                LogEvent(what);
            else
                LogFailure(what, error);
        }
        const std::vector<std::wstring> args = Arguments();
        // InitInstance ends the process with the window's exit code.
        if (args.empty())
        {
            UseLayoutSource(L"", false);
            InitInstance(parts);
            return kExitSuccess;
        }
        RunOptions options;
        std::wstring wrong;
        if (ParseRunOptions(args, OfferedCommands(), options, wrong))
        {
            net::SetProxyFromSwitch(options.proxy);
            if (options.mode != RunMode::Help && options.mode != RunMode::Layout)
                UseLayoutSource(options.sourceFolder, options.bOffline);
            switch (options.mode)
            {
            case RunMode::Interactive: InitInstance(parts); return kExitSuccess;
            case RunMode::Help:
                MessageBoxW(nullptr, HelpText().c_str(), kHelpCaption, MB_OK | MB_ICONINFORMATION);
                return kExitSuccess;
            case RunMode::Quiet:
            case RunMode::Passive:
            case RunMode::Layout: break;
            }
            int refused = kExitSuccess;
            if (!PrepareUnattendedRun(options, refused))
                return refused;
            if (options.mode == RunMode::Layout)
                return MakeLayout(parts, options);
            if (options.mode == RunMode::Quiet)
                return RunQuietly(parts, options);
            InitInstance(parts, &options);
            return kExitSuccess;
        }
        LogEvent(L"Wrong command line: " + wrong + L" (exit code 87)");
        if (!AsksForQuiet(args))
            MessageBoxW(nullptr, (L"This switch is not known or not complete: " + wrong).c_str(),
                        kHelpCaption, MB_OK | MB_ICONERROR);
        return kExitBadCommandLine;
    }
    catch (...)
    {
        return kExitFailed;
    }
}
