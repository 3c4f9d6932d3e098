#pragma once
// Bringing a package onto the machine: the working folder, the download into it, the
// archiver and the search for the setup program (its start is trust/TrustedStart.h's). Nothing
// is written, removed or started there through a reparse point (storage/SafeStorage.h).

#include "net/FileDownload.h"
#include "storage/SafeStorage.h"
#include "workflows/DriverServiceProtocol.h"

#include <windows.h>

#include <string>

// The folder "KVZ7300" in the user's local application-data folder (created if missing),
// followed by `name` when it is not empty. Empty when the application-data folder is unknown.
std::wstring GetWorkFolderPath(const std::wstring& name);

// Removes, once per process and best effort, what earlier runs left in the working folder
// (IsWorkFolderLeftover): a folder in use stays whole, a file in use stays. Left alone while
// another installer of this session runs. Every workflow waits for it before it plans.
void CleanWorkFolder() noexcept;

// CleanWorkFolder on a thread of its own, for the program's start.
void StartCleaningWorkFolder() noexcept;

struct FetchedPackage
{
    std::wstring url;       // the offer's download URL, wide
    std::wstring fileName;  // its last path segment, checked
    std::wstring localPath; // where it lies (or will lie) in the working folder
    CHeldPath held;         // the downloaded package, from its arrival until its start
};

// Where the offered package goes: its name from the URL, checked, in the working folder.
// False when the name is refused or the folder is unknown.
bool PlanPackage(const DriverPackageOffer& offer, FetchedPackage& package);

// Downloads the planned package, telling `progress` of each new position, and holds it. False
// when it did not arrive, or when the working folder, the package or its ".part" file is a
// reparse point. A package that arrived but cannot be held leaves `package.held` empty.
bool DownloadPackage(const DriverPackageOffer& offer, FetchedPackage& package,
                     const DownloadProgress& progress);

enum class UnpackResult
{
    Unpacked,
    ArchiverMissing, // data\7za.exe could not be started
    Failed,          // nothing to start: see UnpackPackage
};

// Unpacks the held archive with data\7za.exe into its package folder (PackageFolderName) of
// the working folder, made afresh for administrators only, and finds its Setup.exe there: a
// regular file in that folder or one of its immediate subfolders. `setup` is then its path,
// held by `held`. Failed when the folder cannot be made afresh, the archiver's exit code is not
// 0, no Setup.exe is found, or a reparse point lies in the way.
UnpackResult UnpackPackage(const FetchedPackage& package, CHeldPath& held, std::wstring& setup);

// Full path of the first regular file named `name` (case ignored) that `pattern`
// ("<folder>\*.*") enumerates; with `descend`, each subfolder met on the way is searched one
// level deep. Reparse points are neither matched nor entered.
std::wstring SearchFileInFolder(const std::wstring& pattern, const std::wstring& name,
                                bool descend);

struct ProcessOutcome
{
    bool started = false;
    DWORD startError = 0; // GetLastError of a start that failed
    bool exitCodeKnown = false;
    DWORD exitCode = 0;
};

// Runs `commandLine` in a console window of its own and waits for it without time limit.
ProcessOutcome RunAndWait(const std::wstring& commandLine);
