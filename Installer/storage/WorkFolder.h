#pragma once
// The working folder, "%LOCALAPPDATA%\KVZ7300": the one place that knows its name, makes it
// and opens files in it. The installer runs with administrator rights, but the folder lies in
// the user's profile, which any program of the user can change: nothing there is reached
// through a link, the files written there have one name only, and what is started from there
// lies in a folder that only administrators can change, held open until its program runs.

#include "framework/FileHandle.h"
#include "storage/SafeStorage.h"

#include <windows.h>

#include <functional>
#include <string>

// The working folder, made if missing; empty when local application data is unknown.
std::wstring WorkFolderPath();

// The support log, or (`old`) the file a full one moves to; empty when unknown.
std::wstring SupportLogFile(bool old = false);

// Tells what a storage step did: `error` 0 for an event, else the code of what failed.
using StorageReport = std::function<void(const std::wstring& what, unsigned long error)>;

// Removes, best effort, what earlier runs left (IsWorkFolderLeftover): a folder in use stays
// whole, a file in use stays. Left alone while another installer of this session runs.
void RemoveWorkFolderLeftovers(const StorageReport& report);

// Which file a handle is open on, whatever its name.
struct FileIdentity
{
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const FileIdentity& other) const
    {
        return volume == other.volume && indexHigh == other.indexHigh && indexLow == other.indexLow;
    }
};

// The file `file` is open on; false when it is a reparse point or has more than one name
// (a hard link would let a write here change a file elsewhere).
bool IdentifySingleFile(HANDLE file, FileIdentity& identity);

// Opens `path` to append lines from several threads and processes: shared, created if
// missing, never through a reparse point, refused when it has more than one link.
FileHandle OpenSharedLogFile(const std::wstring& path);

// Opens `path` for a download: written, read and renamed by this handle only (others may
// read), created or emptied, never through a reparse point, refused when it has more than one
// link (checked before it is emptied).
FileHandle CreateDownloadFile(const std::wstring& path);

// Renames the file `file` is open on (with DELETE access) to `target`, replacing a file there.
bool RenameOpenFile(HANDLE file, const std::wstring& target);

// Opens `path` for reading, shared for reading only, so nobody can write, rename or delete the
// file while it is held; never through a reparse point, one link only. With `expected`, only
// when it is still that file.
FileHandle OpenHeldForReading(const std::wstring& path, const FileIdentity* expected = nullptr);

// A folder of the working folder for one package, made afresh for administrators only, with
// the folder its setup program gets as TEMP and TMP inside. Both, and the working folder, are
// held from their creation until the object goes, so none can be renamed away and replaced;
// owner and access list are checked through the held handle.
class CPackageFolder
{
public:
    // False, with GetLastError set, when `name` is (long or short) one of the log's names, a
    // reparse point lies in the way, what was there cannot be removed, or the folder made is
    // not the administrators' own.
    bool Create(const std::wstring& name);
    explicit operator bool() const noexcept { return static_cast<bool>(m_folder); }

    const std::wstring& Path() const noexcept { return m_path; }
    const std::wstring& TempPath() const noexcept { return m_temp; }
    std::wstring Entry(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
    std::wstring m_temp;
    CHeldPath m_workFolder;
    FileHandle m_folder;
    FileHandle m_tempFolder;
};
