#pragma once
// Bringing a package onto the machine: the working folder, the download into it, the
// archiver and the search for the setup program (its start is trust/TrustedStart.h's).

#include "net/FileDownload.h"
#include "workflows/DriverServiceProtocol.h"

#include <windows.h>

#include <string>

// The folder "KVZ7300" in the user's local application-data folder (created if missing),
// followed by `name` when it is not empty. Empty when the application-data folder is unknown.
std::wstring GetWorkFolderPath(const std::wstring& name);

struct FetchedPackage
{
    std::wstring url;       // the offer's download URL, wide
    std::wstring fileName;  // its last path segment, checked
    std::wstring localPath; // where it lies (or will lie) in the working folder
};

// Where the offered package goes: its name from the URL, checked, in the working folder.
// False when the name is refused or the folder is unknown.
bool PlanPackage(const DriverPackageOffer& offer, FetchedPackage& package);

// Downloads the planned package, telling `progress` of each new position.
bool DownloadPackage(const DriverPackageOffer& offer, const FetchedPackage& package,
                     const DownloadProgress& progress);

// Runs data\7za.exe to extract `archivePath` into the working folder and waits for it. False
// only when the archiver could not be started.
bool UnpackArchive(const std::wstring& archivePath);

// Full path of the first entry named `name` (case ignored) that `pattern` ("<folder>\*.*")
// enumerates; with `descend`, each subfolder met on the way is searched one level deep.
std::wstring SearchFileInFolder(const std::wstring& pattern, const std::wstring& name,
                                bool descend);

struct ProcessOutcome
{
    bool started = false;
    bool exitCodeKnown = false;
    DWORD exitCode = 0;
};

// Runs `commandLine` in a console window of its own and waits for it without time limit.
ProcessOutcome RunAndWait(const std::wstring& commandLine);
