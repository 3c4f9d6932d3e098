#include "workflows/Staging.h"

#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/FileDownload.h"
#include "net/Sha256Hasher.h"
#include "net/TransferMath.h"
#include "storage/PathComponents.h"
#include "storage/WorkFolderLayout.h"
#include "trust/ChildProcess.h"
#include "trust/ProgramKind.h"
#include "trust/ShippedPrograms.h"
#include "workflows/ChildCommandLine.h"
#include "workflows/PackageName.h"

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

// An archive that unpacks for longer than this is not a driver package.
constexpr DWORD kUnpackTimeoutMs = 15 * 60 * 1000;

bool IsPlainHttp(const std::wstring& url)
{
    return net::FetchesOverPlainHttp(url);
}

void Report(const std::wstring& what, unsigned long error)
{
    if (error == 0)
        LogEvent(what);
    else
        LogFailure(what, error);
}

} // namespace

std::wstring GetWorkFolderPath(const std::wstring& name)
{
    const std::wstring folder = ExpectedWorkFolderPath();
    if (folder.empty() || name.empty())
        return folder;
    return folder + L"\\" + name;
}

void CleanWorkFolder() noexcept
{
    static std::once_flag s_once;
    try
    {
        std::call_once(s_once, [] { RemoveWorkFolderLeftovers(Report); });
    }
    catch (...)
    {
        // Out of memory: the leftovers stay, as any that are in use do.
    }
}

void StartCleaningWorkFolder() noexcept
{
    try
    {
        std::thread(CleanWorkFolder).detach();
    }
    catch (...)
    {
        // No thread: the first workflow cleans before it plans.
    }
}

PlanResult PlanPackage(const DriverPackageOffer& offer, bool unpack, const StartPolicy& policy,
                       FetchedPackage& package)
{
    CleanWorkFolder();
    // The reply is JSON, so the URL is UTF-8; its name is hostile until checked.
    LogEvent(L"Package URL: " + RedactedForLog(offer.downloadUrl, 2048));
    std::wstring url = Utf8ToWide(offer.downloadUrl);
    const auto fileName = PackageFileNameFromUrl(url);
    if (!fileName)
    {
        OutputDebugStringA("Refused the package name of the download URL\r\n");
        LogEvent(L"Refused the package name of the download URL");
        return PlanResult::Refused;
    }
    if (!unpack && ProgramKindOfName(*fileName) == ProgramKind::Refused)
    {
        LogEvent(L"Not downloaded: the package is its own setup program, and " + *fileName +
                 L" names no program the installer starts");
        return PlanResult::NotAProgram;
    }
    // Over plain http anyone on the way decides what arrives: only a digest from the driver
    // service or a pinned publisher's signature vouches for it.
    if (IsPlainHttp(url) && !offer.sha256 && policy.pins.empty())
    {
        LogEvent(L"Not downloaded: the package comes over plain http, and neither a sha256 in "
                 L"the reply nor a pinned publisher vouches for it");
        return PlanResult::Refused;
    }
    if (!package.folder.Create(PackageFolderName(*fileName)))
    {
        LogFailure(L"Not downloaded: the package folder could not be made afresh for " + *fileName,
                   GetLastError());
        return PlanResult::Refused;
    }
    package.url = std::move(url);
    package.fileName = *fileName;
    package.localPath = package.folder.Entry(*fileName);
    LogEvent(L"Package file: " + package.localPath);
    return PlanResult::Planned;
}

bool DownloadPackage(const DriverPackageOffer& offer, FetchedPackage& package,
                     const DownloadProgress& progress)
{
    if (!net::DownloadToFile(package.url, package.localPath, progress, offer.sha256,
                             net::kDownloadLimits, &package.held))
        return false;
    OutputDebugStringW(package.localPath.c_str());
    return true;
}

UnpackResult UnpackPackage(const FetchedPackage& package, FileHandle& held, std::wstring& setup)
{
    ShippedCopy archiver;
    switch (CopyShippedProgram(g_shippedArchiver, archiver))
    {
    case ShippedCheck::Held: break;
    case ShippedCheck::Missing: return UnpackResult::ArchiverMissing;
    case ShippedCheck::Changed: return UnpackResult::Failed;
    }
    const std::wstring& folder = package.folder.Path();
    ChildProgram child;
    child.program = archiver.path;
    child.arguments = BuildUnpackArguments(package.localPath, folder);
    child.folder = archiver.folder.Path();
    child.tempFolder = archiver.folder.TempPath();
    child.bNewConsole = true;
    const std::wstring commandLine = QuoteArgument(child.program) + L" " + child.arguments;
    OutputDebugStringW(commandLine.c_str());
    LogEvent(L"Unpacking: " + commandLine);
    const ProcessOutcome outcome = RunChild(child, kUnpackTimeoutMs);
    archiver.held.reset();
    if (!outcome.started)
    {
        LogFailure(L"The archiver did not start", outcome.startError);
        return UnpackResult::ArchiverMissing;
    }
    if (outcome.timedOut)
    {
        LogEvent(L"Nothing started: the archiver was stopped after " +
                 std::to_wstring(kUnpackTimeoutMs / 1000) + L" s");
        return UnpackResult::Failed;
    }
    if (!outcome.exitCodeKnown || outcome.exitCode != 0)
    {
        // 1 is a warning, 2 and up errors: either way the files may not be the package's.
        LogEvent(L"Nothing started: the archiver ended with exit code " +
                 (outcome.exitCodeKnown ? std::to_wstring(outcome.exitCode) : L"unknown"));
        return UnpackResult::Failed;
    }
    LogEvent(L"The archiver ended with exit code 0");
    std::wstring offending;
    if (!package.folder.CheckUnpackedTree(L"Setup.exe", setup, offending))
    {
        LogEvent(L"Nothing started: a link or a file with more than one name was unpacked: " +
                 offending);
        return UnpackResult::Failed;
    }
    // The archive itself is no setup program, whatever its name.
    if (setup.empty() ||
        CompareStringOrdinal(setup.c_str(), -1, package.localPath.c_str(), -1, TRUE) == CSTR_EQUAL)
    {
        LogEvent(L"Nothing started: no Setup.exe in " + folder);
        setup.clear();
        return UnpackResult::Failed;
    }
    held = OpenHeldForReading(setup);
    if (!held)
    {
        LogFailure(L"Nothing started: refused " + setup, GetLastError());
        return UnpackResult::Failed;
    }
    return UnpackResult::Unpacked;
}
