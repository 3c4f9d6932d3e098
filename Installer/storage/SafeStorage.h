#pragma once
// Opening, making, listing, renaming and removing files relative to a folder that is held
// open, never through a name whose folders someone else could change meanwhile, and never
// through a reparse point (junction, symbolic link, mount point).

#include "framework/FileHandle.h"

#include <windows.h>

#include <string>
#include <vector>

// ERROR_STOPPED_ON_SYMLINK, which MinGW's headers lack: why a link was not followed.
constexpr DWORD kReparsePointMet = 681;

// The user's local application-data folder (%LOCALAPPDATA%); empty when unknown.
std::wstring LocalAppDataFolder();

// Wine shows a Unix symbolic link only in the attributes of its path, and its handles reach
// what the link points to: there, the paths of links are asked as well.
bool RunsUnderWine() noexcept;

struct OpenRequest
{
    ACCESS_MASK access = 0;
    ULONG share = FILE_SHARE_READ;
    ULONG disposition = FILE_OPEN; // NtCreateFile's FILE_OPEN, FILE_CREATE, FILE_OPEN_IF
    ULONG options = 0;             // FILE_DIRECTORY_FILE, FILE_NON_DIRECTORY_FILE
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool bLinkItself = false; // a link is opened as itself (to rename or remove it), not refused
};

// Opens the entry `name` (one component) of the held folder `folder`: the entry itself, never
// what a link there points to. Empty, with GetLastError set, when it cannot be opened or is a
// reparse point (kReparsePointMet). `path` names the same entry for Wine's check.
FileHandle OpenInFolder(HANDLE folder, const std::wstring& name, const std::wstring& path,
                        const OpenRequest& request);

// The same for a path of several components below `folder` ("a\b\c.exe"), each folder on the
// way opened from the one before it.
FileHandle OpenBelow(HANDLE folder, const std::wstring& folderPath, const std::wstring& relative,
                     const OpenRequest& request);

// Makes the folder `name` afresh in `parent`: what lies there is removed first (RemoveTreeIn),
// then it is created and opened in one step, owned by Administrators with an access list that
// lets only Administrators and SYSTEM change it and what lies in it (Users read and run), and
// checked through the handle. The handle shares reading and writing but not deleting. Empty,
// with GetLastError set, when something stayed, the folder cannot be made so (an installer
// without administrator rights cannot give it that owner), or it reads back otherwise.
FileHandle CreateAdminOnlyFolderIn(HANDLE parent, const std::wstring& parentPath,
                                   const std::wstring& name);

// Whether only Administrators and SYSTEM may change the folder open as `folder` (its owner,
// and a protected access list that grants changes to nobody else).
bool IsAdminOnly(HANDLE folder);
// Whether only Administrators and SYSTEM may change the file open as `file` (it needs
// READ_CONTROL): its owner is one of them and its access list grants changes to nobody else.
// A file system without access lists (FAT) lets everybody.
bool OnlyAdministratorsMayChange(HANDLE file);

// Removes the entry `name` of `parent` with everything in it, never through a reparse point:
// a link is removed as a link. ERROR_SUCCESS when nothing is left (or nothing was there),
// else the first error met; the rest is removed all the same.
DWORD RemoveTreeIn(HANDLE parent, const std::wstring& parentPath, const std::wstring& name);

// Renames the file or folder open as `file` (with DELETE access) to `name` in `folder`.
bool RenameInto(HANDLE file, HANDLE folder, const std::wstring& name, bool replace);

struct FolderEntry
{
    std::wstring name;
    DWORD attributes = 0;
};

// The entries of the folder open as `folder` (with FILE_LIST_DIRECTORY), without "." and
// "..". False, with GetLastError set, when it cannot be listed.
bool ListFolder(HANDLE folder, std::vector<FolderEntry>& entries);

// `path` made absolute against the current folder (GetFullPathNameW), without trailing
// separators past a drive's root; empty when it cannot be.
std::wstring FullPath(const std::wstring& path);

// The name Windows gives the file open as `file` ("C:\...", or "\\?\UNC\..." for a share).
std::wstring PathOfHandle(HANDLE file);
