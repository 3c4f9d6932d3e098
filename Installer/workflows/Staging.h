#pragma once
// Bringing a package onto the machine: the working folder, the download into it with its
// progress bar, the archiver, the search for the setup program and its elevated start.

#include "workflows/DriverServiceProtocol.h"

#include <windows.h>

#include <string>

// The folder "KVZ7300" in the user's local application-data folder (created if missing),
// followed by `name` when it is not empty. Empty when the application-data folder is unknown.
std::wstring GetWorkFolderPath(const std::wstring& name);

struct FetchedPackage {
    std::wstring fileName;  // the download URL's last path segment
    std::wstring localPath; // where it now lies in the working folder
};

// Downloads the offered package into the working folder under a checked name, showing
// `progressBar` during the download (and at 100 for a second after it). False, with the bar
// hidden again, when the name is refused or the download fails.
bool FetchPackage(const DriverPackageOffer& offer, HWND progressBar, FetchedPackage& package);

// Runs data\7za.exe to extract `archivePath` into the working folder and waits for it. False
// only when the archiver could not be started.
bool UnpackArchive(const std::wstring& archivePath);

// Full path of the first entry named `name` (case ignored) that `pattern` ("<folder>\*.*")
// enumerates; with `descend`, each subfolder met on the way is searched one level deep.
std::wstring SearchFileInFolder(const std::wstring& pattern, const std::wstring& name, bool descend);

// Starts `path` with the "runas" verb and does not wait for it.
void LaunchElevated(const std::wstring& path);

struct ProcessOutcome {
    bool started = false;
    bool exitCodeKnown = false;
    DWORD exitCode = 0;
};

// Runs `commandLine` in a console window of its own and waits for it without time limit.
ProcessOutcome RunAndWait(const std::wstring& commandLine);
