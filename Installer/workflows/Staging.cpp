#include "workflows/Staging.h"

#include "framework/FindHandle.h"
#include "framework/KernelHandle.h"
#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/FileDownload.h"
#include "net/TransferMath.h"
#include "workflows/CommandLine.h"
#include "workflows/PackageName.h"
#include "workflows/WorkFolderLayout.h"

#include <shlwapi.h>

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Removes the leftovers of earlier runs. A folder goes only when it can first be renamed
// aside: Windows refuses that while a file in it is open, as when a setup program that an
// earlier run started still runs from it, and nothing of such a folder is removed.
void RemoveLeftovers()
{
    // The first installer of the session cleans; a second one must not pull the folder away
    // from under the first one's download or setup program.
    static KernelHandle s_instance;
    s_instance.reset(CreateMutexW(nullptr, FALSE, L"Local\\KVZ7300.WorkFolder"));
    if (!s_instance)
    {
        LogFailure(L"Working folder not cleaned", GetLastError());
        return;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS)
    {
        LogEvent(L"Another installer is running: the working folder is not cleaned");
        return;
    }
    const std::wstring folder = GetWorkFolderPath(std::wstring());
    CHeldPath held;
    if (folder.empty() || !held.Hold(folder))
    {
        LogFailure(L"Working folder not cleaned: " + folder, GetLastError());
        return;
    }
    std::vector<std::pair<std::wstring, DWORD>> leftovers; // name, attributes
    WIN32_FIND_DATAW entry = {};
    FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (find)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (name != L"." && name != L".." && IsWorkFolderLeftover(name, isFolder))
                leftovers.emplace_back(name, entry.dwFileAttributes);
        } while (FindNextFileW(find.get(), &entry));
    }
    find.reset();
    for (const auto& [name, attributes] : leftovers)
    {
        const std::wstring path = folder + L"\\" + name;
        std::wstring doomed = path;
        // A link is removed where it is: Wine's MoveFileW would move the folder it points to.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        {
            doomed = folder + L"\\~" + name + L".removing";
            if (!MoveFileW(path.c_str(), doomed.c_str()))
            {
                LogFailure(L"Left an earlier run's folder in place: " + name, GetLastError());
                continue;
            }
        }
        const DWORD error = RemoveTree(doomed);
        if (error == ERROR_SUCCESS)
            LogEvent(L"Removed an earlier run's " + name);
        else
            LogFailure(L"Could not remove all of an earlier run's " + name, error);
    }
}

} // namespace

std::wstring GetWorkFolderPath(const std::wstring& name)
{
    wchar_t path[MAX_PATH] = {};
    const std::wstring base = LocalAppDataFolder();
    if (base.empty() || base.size() >= MAX_PATH)
        return std::wstring();
    base.copy(path, base.size());
    if (!PathAppendW(path, L"KVZ7300"))
        return std::wstring();
    CreateDirectoryW(path, nullptr); // an existing folder is fine
    if (!name.empty() && !PathAppendW(path, name.c_str()))
        return std::wstring();
    return path;
}

void CleanWorkFolder() noexcept
{
    static std::once_flag s_once;
    try
    {
        std::call_once(s_once, RemoveLeftovers);
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

bool PlanPackage(const DriverPackageOffer& offer, FetchedPackage& package)
{
    CleanWorkFolder();
    // The reply is JSON, so the URL is UTF-8; its name is hostile until checked.
    LogEvent(L"Package URL: " + EscapeForLog(offer.downloadUrl, 2048));
    std::wstring url = Utf8ToWide(offer.downloadUrl);
    const auto fileName = PackageFileNameFromUrl(url);
    // A package must not overwrite the support log.
    if (!fileName || IsReservedWorkFolderName(*fileName))
    {
        OutputDebugStringA("Refused the package name of the download URL\r\n");
        LogEvent(L"Refused the package name of the download URL");
        return false;
    }
    std::wstring localPath = GetWorkFolderPath(*fileName);
    if (localPath.empty())
        return false;
    LogEvent(L"Package file: " + localPath);
    package.url = std::move(url);
    package.fileName = *fileName;
    package.localPath = std::move(localPath);
    return true;
}

bool DownloadPackage(const DriverPackageOffer& offer, FetchedPackage& package,
                     const DownloadProgress& progress)
{
    // Neither the package nor its ".part" file may be a link the download would write through,
    // and the folder they lie in stays where it is until the package is held.
    CHeldPath folder;
    if (!folder.Hold(GetWorkFolderPath(std::wstring())) ||
        !IsFreeOfReparsePoints(package.localPath) ||
        !IsFreeOfReparsePoints(net::PartialPathFor(package.localPath)))
    {
        LogFailure(L"Refused to download through a reparse point: " + package.localPath,
                   GetLastError());
        return false;
    }
    if (!DownloadToFile(package.url, package.localPath, progress, offer.sha256))
        return false;
    OutputDebugStringW(package.localPath.c_str());
    if (!package.held.Hold(package.localPath))
        LogFailure(L"Nothing started: the downloaded package could not be held: " +
                       package.localPath,
                   GetLastError());
    return true;
}

ProcessOutcome RunAndWait(const std::wstring& commandLine)
{
    ProcessOutcome outcome;
    // CreateProcessW may write into the command line: give it a private copy.
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                        nullptr, nullptr, &startup, &info))
    {
        outcome.startError = GetLastError();
        return outcome;
    }
    KernelHandle process(info.hProcess);
    KernelHandle(info.hThread).reset();
    outcome.started = true;

    WaitForSingleObject(process.get(), INFINITE);
    outcome.exitCodeKnown = GetExitCodeProcess(process.get(), &outcome.exitCode) != FALSE;
    return outcome;
}

UnpackResult UnpackPackage(const FetchedPackage& package, CHeldPath& held, std::wstring& setup)
{
    const std::wstring folder = GetWorkFolderPath(PackageFolderName(package.fileName));
    if (folder.empty())
        return UnpackResult::Failed;
    if (!IsFreeOfReparsePoints(folder))
    {
        // Left for the next start to remove: the link itself, never what it points to.
        LogFailure(L"Not unpacked: a reparse point lies on the way to " + folder, GetLastError());
        return UnpackResult::Failed;
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        // A file of that name is some other download, not an earlier unpacking: it stays.
        LogEvent(L"Not unpacked: a file has the package folder's name: " + folder);
        return UnpackResult::Failed;
    }
    CHeldPath unpacked;
    if (!CreateAdminOnlyFolder(folder) || !unpacked.Hold(folder))
    {
        LogFailure(L"Not unpacked: the package folder could not be made afresh: " + folder,
                   GetLastError());
        return UnpackResult::Failed;
    }
    const std::wstring commandLine =
        BuildUnpackCommandLine(GetModuleRelativePath(L"data\\7za.exe"), package.localPath, folder);
    OutputDebugStringW(commandLine.c_str());
    LogEvent(L"Unpacking: " + commandLine);
    const ProcessOutcome outcome = RunAndWait(commandLine);
    if (!outcome.started)
    {
        LogFailure(L"The archiver did not start", outcome.startError);
        return UnpackResult::ArchiverMissing;
    }
    if (!outcome.exitCodeKnown || outcome.exitCode != 0)
    {
        // 1 is a warning, 2 and up errors: either way the files may not be the package's.
        LogEvent(L"Nothing started: the archiver ended with exit code " +
                 (outcome.exitCodeKnown ? std::to_wstring(outcome.exitCode) : L"unknown"));
        return UnpackResult::Failed;
    }
    LogEvent(L"The archiver ended with exit code 0");
    setup = SearchFileInFolder(folder + L"\\*.*", L"Setup.exe", true);
    if (setup.empty())
    {
        LogEvent(L"Nothing started: no Setup.exe in " + folder);
        return UnpackResult::Failed;
    }
    if (!held.Hold(setup))
    {
        LogFailure(L"Nothing started: refused " + setup, GetLastError());
        return UnpackResult::Failed;
    }
    return UnpackResult::Unpacked;
}

std::wstring SearchFileInFolder(const std::wstring& pattern, const std::wstring& name, bool descend)
{
    const std::size_t slash = pattern.find_last_of(L'\\');
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : pattern.substr(0, slash + 1);

    WIN32_FIND_DATAW entry = {};
    FindHandle find(FindFirstFileW(pattern.c_str(), &entry));
    if (!find)
        return std::wstring();
    do
    {
        const std::wstring entryName = entry.cFileName;
        if (entryName == L"." || entryName == L".." ||
            (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::wstring entryPath = folder + entryName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        {
            if (!descend)
                continue;
            std::wstring found = SearchFileInFolder(entryPath + L"\\*.*", name, false);
            if (!found.empty())
                return found;
        }
        else if (CompareStringOrdinal(entryName.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
        {
            return entryPath;
        }
    } while (FindNextFileW(find.get(), &entry));
    return std::wstring();
}
