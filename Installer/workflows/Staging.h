#pragma once
// Bringing a package onto the machine: a folder of its own in the working folder, the download
// into it, the archiver and the search for the setup program (its start is
// trust/TrustedStart.h's). What the elevated installer starts lies where only administrators
// can change it, or is held from the check until it runs (storage/WorkFolder.h).

#include "framework/FileHandle.h"
#include "net/FileDownload.h"
#include "storage/WorkFolder.h"
#include "trust/TrustedStart.h"
#include "workflows/DriverServiceProtocol.h"

#include <windows.h>

#include <string>

// Where the working folder is (ExpectedWorkFolderPath), followed by `name` when it is not
// empty: for the tests and the log's readers; empty when the application-data folder is
// unknown.
std::wstring GetWorkFolderPath(const std::wstring& name);

// Removes, once per process and best effort, what earlier runs left in the working folder
// (RemoveWorkFolderLeftovers). Every workflow waits for it before it plans.
void CleanWorkFolder() noexcept;

// CleanWorkFolder on a thread of its own, for the program's start.
void StartCleaningWorkFolder() noexcept;

struct FetchedPackage
{
    std::wstring url;       // the offer's download URL, wide
    std::wstring fileName;  // its last path segment, checked
    CPackageFolder folder;  // made afresh for this run, held
    std::wstring localPath; // where it lies (or will lie) in its folder
    // The package from its first byte until its program has it open.
    FileHandle held;
};

enum class PlanResult
{
    Planned,
    Refused,    // reported like a download that failed: the name, the folder, plain http
    NotAProgram // a package that is its own setup program, under a name that starts nothing
};

// Where the offered package goes: its name from the URL, checked, in a folder of its own made
// afresh. A package that is its own setup program (not `unpack`) must be named as a program;
// a plain-http URL needs the reply's sha256 or pinned publishers to vouch for what arrives.
PlanResult PlanPackage(const DriverPackageOffer& offer, bool unpack, const StartPolicy& policy,
                       FetchedPackage& package);

// Downloads the planned package, telling `progress` of each new position, and holds it. False
// when it did not arrive whole and unchanged.
bool DownloadPackage(const DriverPackageOffer& offer, FetchedPackage& package,
                     const DownloadProgress& progress);

enum class UnpackResult
{
    Unpacked,
    ArchiverMissing, // data\7za.exe is not there or could not be started
    Failed,          // nothing to start: see UnpackPackage
};

// Unpacks the held archive with data\7za.exe into its package folder and finds its Setup.exe
// there: a regular file in that folder or one of its immediate subfolders. `setup` is then its
// path, held by `held`. Failed when the archiver is not the one shipped, its exit code is not 0
// (an encrypted archive fails at once) or it runs too long, the unpacked tree holds a reparse
// point or a file with another name, or no Setup.exe is found.
UnpackResult UnpackPackage(const FetchedPackage& package, FileHandle& held, std::wstring& setup);
