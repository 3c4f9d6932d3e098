#include "workflows/Workflows.h"

#include "localisation/ModulePath.h"
#include "localisation/WordTable.h"
#include "log/SupportLog.h"
#include "net/Sha256Hasher.h"
#include "probe/WindowsFamily.h"
#include "trust/ChildProcess.h"
#include "trust/ShippedPrograms.h"
#include "workflows/DriverService.h"
#include "workflows/PackageLayout.h"
#include "workflows/Staging.h"

#include <array>

namespace {

// A click during a run starts a worker that finds the flag set after this pause.
constexpr DWORD kStartDelayMs = 200;

// One run of each command at a time: set in one atomic exchange.
std::array<std::atomic<bool>, kCommandCount> g_busy{};

class CBusyRun
{
public:
    explicit CBusyRun(std::atomic<bool>& flag) noexcept
        : m_flag(flag), m_bOwner(!flag.exchange(true))
    {
    }
    ~CBusyRun()
    {
        if (m_bOwner)
            m_flag.store(false);
    }
    CBusyRun(const CBusyRun&) = delete;
    CBusyRun& operator=(const CBusyRun&) = delete;
    bool Owner() const noexcept { return m_bOwner; }

private:
    std::atomic<bool>& m_flag;
    bool m_bOwner;
};

// How long the full bar stays on screen after a download, so the user sees it complete.
constexpr DWORD kFullBarMs = 1000;

enum class Delivery
{
    Delivered,
    NotDelivered, // reported with the message dialog
    Refused,      // a name that starts nothing: reported as an untrusted installer
};

// Downloads the package with the command's bar on screen. The bar appears only once there is
// something to download under a checked name.
Delivery DownloadWithBar(CWorkflowHost& host, const CommandRow& row,
                         const DriverPackageOffer& offer, const StartPolicy& policy,
                         FetchedPackage& package)
{
    const Command kind = row.command;
    switch (PlanPackage(offer, row.start == PackageStart::Unpack, policy, package))
    {
    case PlanResult::Planned: break;
    case PlanResult::Refused: return Delivery::NotDelivered;
    case PlanResult::NotAProgram: return Delivery::Refused;
    }
    host.ShowProgressBar(kind);
    const bool fetched = DownloadPackage(
        offer, package, [&host, kind](int percent) { host.SetProgressBar(kind, percent); });
    if (fetched)
        Sleep(kFullBarMs);
    host.HideProgressBar(kind);
    return fetched ? Delivery::Delivered : Delivery::NotDelivered;
}

// A start that failed or was refused, on the status line.
DWORD ReportStart(CWorkflowHost& host, StartResult result)
{
    switch (result)
    {
    case StartResult::Started: break;
    case StartResult::Failed: host.ShowStatusText(host.GetWord(WordKeys[SETUP_NOT_STARTED])); break;
    case StartResult::Untrusted:
        host.ShowStatusText(host.GetWord(WordKeys[INSTALLER_UNTRUSTED]));
        break;
    }
    return kInstallerFailed;
}

// The outcome of a setup an unattended run waited for, naming the package it came from. The
// package has been held, shared for reading only, since it was checked: the bytes hashed now are
// the ones checked.
CommandOutcome WaitedFor(DWORD exitCode, const FetchedPackage& package)
{
    CommandOutcome outcome(exitCode);
    if (net::HashOpenFile(package.held.get(), outcome.sha256))
        outcome.package = package.fileName;
    else
        LogFailure(L"The package's SHA-256 could not be read again: " + package.localPath,
                   GetLastError());
    return outcome;
}

// Runs after the package arrived. An archiver that cannot be started ends the run silently.
CommandOutcome StartSetup(CWorkflowHost& host, const CommandRow& row, const FetchedPackage& package,
                          RunStyle style, const StartPolicy& policy)
{
    // The receiver and hotspot packages are their own setup programs.
    ProgramToStart program;
    program.path = package.localPath;
    program.held = package.held.get();
    program.tempFolder = package.folder.TempPath();
    if (style == RunStyle::Unattended)
    {
        program.arguments = row.quietArgs;
        program.bWait = true;
    }
    FileHandle unpacked;
    if (row.start == PackageStart::Unpack)
    {
        switch (UnpackPackage(package, unpacked, program.path))
        {
        case UnpackResult::Unpacked: program.held = unpacked.get(); break;
        case UnpackResult::ArchiverMissing: return kInstallerFailed;
        case UnpackResult::Failed:
            host.ShowStatusText(host.GetWord(WordKeys[row.missingSetupWord]));
            return kInstallerFailed;
        }
    }
    DWORD exitCode = 0;
    const StartResult result = StartProgramElevated(program, policy, &exitCode);
    if (result != StartResult::Started)
        return ReportStart(host, result);
    if (style == RunStyle::Unattended)
        return WaitedFor(exitCode, package);
    return exitCode;
}

// The shipped setup's file name, for the detection record.
std::wstring ShippedFileName(const ShippedProgram& program)
{
    const std::wstring path = program.relativePath;
    return path.substr(path.find_last_of(L'\\') + 1);
}

// Runs the setup shipped in data\ and reports its success on the status line.
CommandOutcome RunShippedSetup(CWorkflowHost& host, const CommandRow& row, RunStyle style) noexcept
{
    Sleep(kStartDelayMs);
    CBusyRun run(g_busy[IndexOf(row.command)]);
    if (!run.Owner())
        return kInstallerFailed;
    try
    {
        // Started from its checked copy; one that is not the shipped program is not there.
        ShippedCopy setup;
        if (CopyShippedProgram(g_shippedWifiSetup, setup) != ShippedCheck::Held)
            return kInstallerFailed;
        ChildProgram child;
        child.program = setup.path;
        child.arguments = style == RunStyle::Unattended ? row.quietArgs : L"";
        child.folder = setup.folder.Path();
        child.tempFolder = setup.folder.TempPath();
        child.bNewConsole = true;
        const std::wstring setupName = std::wstring(L"The ") + row.logName + L" setup";
        LogEvent(L"Starting the " + std::wstring(row.logName) + L" setup: " + setup.path);
        const ProcessOutcome outcome = RunChild(child, INFINITE);
        setup.held.reset();
        if (!outcome.started)
            LogFailure(setupName + L" did not start", outcome.startError);
        else if (outcome.exitCodeKnown)
            LogEvent(setupName + L" ended with exit code " + std::to_wstring(outcome.exitCode));
        else
            LogEvent(setupName + L"'s exit code is unknown");
        // An exit code that cannot be read is no success.
        if (!outcome.started || !outcome.exitCodeKnown)
            return kInstallerFailed;
        CommandOutcome result(outcome.exitCode);
        if (style == RunStyle::Unattended)
        {
            // The copy that ran had the digest the build recorded.
            result.package = ShippedFileName(g_shippedWifiSetup);
            result.sha256 = g_shippedWifiSetup.sha256;
        }
        if (outcome.exitCode != 0)
            return result;
        std::wstring text = host.GetWord(WordKeys[row.successWord]);
        if (row.hintWord != kNoWord && host.IsShown(row.hintCommand))
            text += L" " + host.GetWord(WordKeys[row.hintWord]);
        host.ShowStatusText(std::move(text));
        return result;
    }
    catch (...)
    {
        // Out of memory: the run ends without a report, and the flag is cleared.
        return kInstallerFailed;
    }
}

// Asks the driver service for the package, downloads it and starts its setup program.
CommandOutcome RunPackageWorkflow(CWorkflowHost& host, const CommandRow& row, RunStyle style,
                                  const StartPolicy& policy) noexcept
{
    Sleep(kStartDelayMs);
    CBusyRun run(g_busy[IndexOf(row.command)]);
    if (!run.Owner())
        return kInstallerFailed;
    bool delivered = false;
    try
    {
        // Only the Bluetooth driver differs by Windows family; asked afresh on every run.
        const int family = row.endpointQuery ? GetWindowsFamily() : 0;
        DriverPackageOffer offer;
        FetchedPackage package;
        switch (TakePackageFromLayout(row, family, package))
        {
        case LayoutTake::Taken:
            delivered = true;
            return StartSetup(host, row, package, style, policy);
        case LayoutTake::Offline: host.ShowNoInternetMessage(); return kSourceMissing;
        case LayoutTake::NotThere: break;
        }
        const auto askCredentials = [&host](const std::wstring& url) {
            return host.AskForProxyCredentials(url);
        };
        if (QueryDriverService(BuildDriverServiceUrl(row.command, family), offer, askCredentials))
        {
            switch (DownloadWithBar(host, row, offer, policy, package))
            {
            case Delivery::Delivered:
                delivered = true;
                return StartSetup(host, row, package, style, policy);
            case Delivery::Refused:
                delivered = true;
                return ReportStart(host, StartResult::Untrusted);
            case Delivery::NotDelivered: break;
            }
        }
    }
    catch (...)
    {
        // Out of memory: reported like a package that could not be fetched, unless it came.
    }
    if (!delivered)
        host.ShowNoInternetMessage();
    return kInstallerFailed;
}

} // namespace

CommandOutcome RunCommand(CWorkflowHost& host, Command command, RunStyle style,
                          const StartPolicy& policy) noexcept
{
    const CommandRow& row = RowOf(command);
    if (row.start == PackageStart::None)
        return RunShippedSetup(host, row, style);
    return RunPackageWorkflow(host, row, style, policy);
}
