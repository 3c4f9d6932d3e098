#include "workflows/Staging.h"

#include "framework/FindHandle.h"
#include "framework/KernelHandle.h"
#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "net/FileDownload.h"
#include "workflows/CommandLine.h"
#include "workflows/PackageName.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <vector>

std::wstring GetWorkFolderPath(const std::wstring& name)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, path)))
        return std::wstring();
    if (!PathAppendW(path, L"KVZ7300"))
        return std::wstring();
    CreateDirectoryW(path, nullptr); // an existing folder is fine
    if (!name.empty() && !PathAppendW(path, name.c_str()))
        return std::wstring();
    return path;
}

bool PlanPackage(const DriverPackageOffer& offer, FetchedPackage& package)
{
    // The reply is JSON, so the URL is UTF-8; its name is hostile until checked.
    std::wstring url = Utf8ToWide(offer.downloadUrl);
    const auto fileName = PackageFileNameFromUrl(url);
    if (!fileName)
    {
        OutputDebugStringA("Refused the package name of the download URL\r\n");
        return false;
    }
    std::wstring localPath = GetWorkFolderPath(*fileName);
    if (localPath.empty())
        return false;
    package.url = std::move(url);
    package.fileName = *fileName;
    package.localPath = std::move(localPath);
    return true;
}

bool DownloadPackage(const DriverPackageOffer& offer, const FetchedPackage& package,
                     const DownloadProgress& progress)
{
    if (!DownloadToFile(package.url, package.localPath, progress, offer.sha256))
        return false;
    OutputDebugStringW(package.localPath.c_str());
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
        return outcome;
    KernelHandle process(info.hProcess);
    KernelHandle(info.hThread).reset();
    outcome.started = true;

    WaitForSingleObject(process.get(), INFINITE);
    outcome.exitCodeKnown = GetExitCodeProcess(process.get(), &outcome.exitCode) != FALSE;
    return outcome;
}

bool UnpackArchive(const std::wstring& archivePath)
{
    const std::wstring commandLine = BuildUnpackCommandLine(
        GetModuleRelativePath(L"data\\7za.exe"), archivePath, GetWorkFolderPath(std::wstring()));
    OutputDebugStringW(commandLine.c_str());
    // A failed extraction is not judged here: the search that follows finds no setup program.
    return RunAndWait(commandLine).started;
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
        if (entryName == L"." || entryName == L"..")
            continue;
        const std::wstring entryPath = folder + entryName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && descend)
        {
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
