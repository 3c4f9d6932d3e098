#pragma once
// The installer runs with administrator rights but keeps its files in the user's profile,
// which programs without those rights can change. What it writes, moves, removes or starts
// there is never reached through a reparse point (junction, symbolic link, mount point), and
// what it unpacks lies in folders that only administrators can change.

#include "framework/FileHandle.h"

#include <windows.h>

#include <string>
#include <vector>

// The user's local application-data folder (%LOCALAPPDATA%); empty when unknown.
std::wstring LocalAppDataFolder();

// True when no component of `path` below the user's local application-data folder, `path`
// itself included, is a reparse point. Components that do not exist (yet) count as free. False,
// with GetLastError set, for a path outside local application data or with empty, "." or ".."
// components, and for a component that cannot be examined. Call it before creating, writing,
// moving or removing anything there.
bool IsFreeOfReparsePoints(const std::wstring& path);

// Keeps every component of a path below local application data open, so that none can be
// renamed, removed or swapped for a link while held: folders shared for reading and writing,
// a file at the end for reading only, so it cannot be changed either.
class CHeldPath
{
public:
    // Holds `path` (and lets go of what was held before). False, holding nothing and with
    // GetLastError set, when a component is missing, is a reparse point or cannot be opened, or
    // when IsFreeOfReparsePoints refuses the path itself.
    bool Hold(const std::wstring& path);
    explicit operator bool() const noexcept { return !m_handles.empty(); }

private:
    std::vector<FileHandle> m_handles;
};

// Makes the folder `path` afresh: whatever lies there is removed first (RemoveTree), then the
// folder is created and opened in one step (so the handle is the folder made, whatever another
// program does to the name), owned by Administrators, with an access list protected from
// inheritance that lets Administrators and SYSTEM change it and everything in it, and Users
// and Authenticated Users only read and run. The handle shares reading and writing but not
// deleting: the folder cannot be renamed or removed while it is open. Empty, with GetLastError
// set, when something stayed, a folder above is a reparse point, the folder cannot be created
// (an installer without administrator rights cannot give it that owner), or its owner and
// access list read back through the handle are not the administrators' own.
FileHandle CreateAdminOnlyFolder(const std::wstring& path);

// Removes the file or folder `path` with everything in it, never descending into or through a
// reparse point: a link met on the way is removed as a link, what it points to stays. The
// folders above `path` must be free of reparse points. ERROR_SUCCESS when nothing is left
// (or nothing was there), else the first error met; the rest is removed all the same.
DWORD RemoveTree(const std::wstring& path);
