#pragma once
// The working folder "KVZ7300" (in the user's local application data; under LocalSystem in
// ProgramData): the one place that knows its name, makes it and opens files in it. The
// installer runs with administrator rights, and the folders above it are the user's, so the
// folder is the root of everything the installer writes or starts: only Administrators and
// SYSTEM may change it, it is held open from start-up until the process ends (nobody can
// rename or replace it meanwhile), and everything below it is opened relative to held
// handles, never by a path walked again.

#include "framework/FileHandle.h"
#include "storage/SafeStorage.h"

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Tells what a storage step did: `error` 0 for an event, else the code of what failed.
using StorageReport = std::function<void(const std::wstring& what, unsigned long error)>;

// Opens or makes the working folder and holds it until the process ends; once per process
// (later calls give the first one's answer). A folder of that name that is not the
// administrators' own (made by the user, a link, a file) is renamed aside, never followed,
// and the folder made anew. False when there is none: nothing is then written or started.
bool HoldWorkFolder() noexcept;

// What HoldWorkFolder did (set aside, made, refused), for the log once it can be written.
std::vector<std::pair<std::wstring, unsigned long>> TakeWorkFolderNotes();

// The held working folder's path as Windows names it ("C:\...\KVZ7300"); empty when there is
// none. Paths below it name what is held: they are handed to started programs and the log.
std::wstring WorkFolderPath();

// The same once a HoldWorkFolder call has held it, without trying to: for the log, so that a
// program that only borrows this code (a test of it) never holds the folder by logging.
std::wstring HeldWorkFolderPath();

// Where the working folder is, without opening or making it: for the log's readers and tests.
std::wstring ExpectedWorkFolderPath();

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
// missing, never through a reparse point, refused when it has more than one link. Below the
// working folder (the support log), opened from its held handle.
FileHandle OpenSharedLogFile(const std::wstring& path);

// Opens the absolute local-drive path `full` ("C:\a\b") as `request` asks, walking from the
// drive's root with no reparse point on any component; ERROR_BAD_PATHNAME for other paths.
FileHandle OpenWithoutLinks(const std::wstring& full, const OpenRequest& request);

// The file /log names, opened once for the run: `path` made absolute, on a local drive, and
// no folder on its way nor the file itself a reparse point. Empty, with GetLastError set,
// otherwise (ERROR_BAD_PATHNAME for a remote, device or "\\?\" path).
FileHandle OpenCommandLineLogFile(const std::wstring& path);

// Opens `path` for a download: written, read and renamed by this handle only (others may
// read), created or emptied, never through a reparse point, refused when it has more than one
// link (checked before it is emptied). Below the working folder, opened from its held handle.
FileHandle CreateDownloadFile(const std::wstring& path);

// Renames the file `file` is open on (with DELETE access) to `target` in the same folder,
// replacing a file there.
bool RenameOpenFile(HANDLE file, const std::wstring& target);

// Opens `path` for reading, shared for reading only, so nobody can write, rename or delete the
// file while it is held; never through a reparse point, one link only. With `expected`, only
// when it is still that file. Below the working folder, opened from its held handle.
FileHandle OpenHeldForReading(const std::wstring& path, const FileIdentity* expected = nullptr);

// Whether this process runs as LocalSystem, as deployment tools run installers.
bool RunsAsLocalSystem();

// A folder of the working folder for one package or program copy, made afresh for
// administrators only, with the folder its program gets as TEMP and TMP inside. Both are held
// from their creation until the object goes, so neither can be renamed away and replaced.
class CPackageFolder
{
public:
    // False, with GetLastError set, when there is no working folder, `name` is (long or short)
    // one of the log's names, what was there cannot be removed, or the folder made is not the
    // administrators' own.
    bool Create(const std::wstring& name);
    explicit operator bool() const noexcept { return static_cast<bool>(m_folder); }

    const std::wstring& Path() const noexcept { return m_path; }
    const std::wstring& TempPath() const noexcept { return m_temp; }
    std::wstring Entry(const std::wstring& name) const { return m_path + L"\\" + name; }
    HANDLE Handle() const noexcept { return m_folder.get(); }

    // Creates the file `name` in the folder for writing (this handle only), refusing anything
    // already there.
    FileHandle CreateNewFile(const std::wstring& name) const;

    // Whether every entry below the folder is a plain folder or a file with one name;
    // `offending` names the first that is not (or a folder that could not be listed). `found`
    // is then the first regular file named `name` (case ignored) in the folder or one of its
    // immediate subfolders, in the order they list their entries; empty when there is none.
    bool CheckUnpackedTree(const std::wstring& name, std::wstring& found,
                           std::wstring& offending) const;

private:
    std::wstring m_path;
    std::wstring m_temp;
    FileHandle m_folder;
    FileHandle m_tempFolder;
};
