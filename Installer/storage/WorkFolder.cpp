#include "storage/WorkFolder.h"

#include "framework/FindHandle.h"
#include "framework/KernelHandle.h"
#include "storage/PathComponents.h"
#include "storage/WorkFolderLayout.h"

#include <shlobj.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace {

struct CWorkRoot
{
    FileHandle handle;
    std::wstring path;
    std::mutex notesMutex;
    std::vector<std::pair<std::wstring, unsigned long>> notes;

    void Note(std::wstring what, unsigned long error)
    {
        std::lock_guard<std::mutex> lock(notesMutex);
        notes.emplace_back(std::move(what), error);
    }
};

CWorkRoot& Root()
{
    static CWorkRoot* s_root = new CWorkRoot; // held until the process ends, whatever ends first
    return *s_root;
}

} // namespace

bool RunsAsLocalSystem()
{
    KernelHandle token;
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    DWORD systemSize = sizeof(system);
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size) &&
           CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize) &&
           EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, system);
}

namespace {

std::wstring ProgramDataFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, path)))
        return std::wstring();
    return path;
}

std::wstring BaseFolder()
{
    static const std::wstring s_base =
        WorkFolderBase(RunsAsLocalSystem(), LocalAppDataFolder(), ProgramDataFolder());
    return s_base;
}

bool IsFolder(HANDLE handle)
{
    FILE_BASIC_INFO basic = {};
    return GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof(basic)) &&
           (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Renames what holds the working folder's name (a link itself, never what it points to) to a
// free name beside it.
bool SetAside(HANDLE base, const std::wstring& basePath, CWorkRoot& root)
{
    const std::wstring path = basePath + L"\\" + kWorkFolderName;
    if (RunsUnderWine())
    {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        {
            // Wine's handles reach only what a link points to: renaming one would move that.
            root.Note(L"The working folder is a link that cannot be set aside here: " + path,
                      kReparsePointMet);
            return false;
        }
    }
    OpenRequest request;
    request.access = DELETE;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    request.bLinkItself = true; // the link itself is what moves
    const FileHandle entry = OpenInFolder(base, kWorkFolderName, path, request);
    if (!entry)
    {
        root.Note(L"The working folder that is not the administrators' own could not be opened "
                  L"to set it aside: " +
                      path,
                  GetLastError());
        return false;
    }
    for (int attempt = 1; attempt <= 100; ++attempt)
    {
        const std::wstring name = SetAsideName(attempt);
        if (RenameInto(entry.get(), base, name, false))
        {
            root.Note(L"Set aside a working folder that was not the administrators' own: " + path +
                          L" is now " + name,
                      0);
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    root.Note(L"The working folder that is not the administrators' own could not be set aside: " +
                  path,
              GetLastError());
    return false;
}

bool OpenRoot(CWorkRoot& root)
{
    const std::wstring configured = BaseFolder();
    if (configured.empty())
    {
        root.Note(L"No working folder: the application-data folder is unknown",
                  ERROR_PATH_NOT_FOUND);
        return false;
    }
    const FileHandle base(CreateFileW(configured.c_str(),
                                      FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_SUBDIRECTORY,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!base)
    {
        root.Note(L"No working folder: " + configured + L" cannot be opened", GetLastError());
        return false;
    }
    std::wstring basePath = PathOfHandle(base.get());
    if (basePath.empty())
        basePath = configured;
    const std::wstring path = basePath + L"\\" + kWorkFolderName;
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        OpenRequest look;
        look.access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY |
                      READ_CONTROL;
        // Held without delete sharing: nobody renames or removes it while this process runs.
        look.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        FileHandle found = OpenInFolder(base.get(), kWorkFolderName, path, look);
        const DWORD error = found ? ERROR_SUCCESS : GetLastError();
        if (found && IsFolder(found.get()) && IsAdminOnly(found.get()))
        {
            root.handle = std::move(found);
            root.path = path;
            return true;
        }
        found.reset();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        {
            FileHandle made = CreateAdminOnlyFolderIn(base.get(), basePath, kWorkFolderName);
            if (made)
            {
                root.handle = std::move(made);
                root.path = path;
                root.Note(L"Made the working folder " + path, 0);
                return true;
            }
            if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS)
                continue; // someone took the name meanwhile: judged again
            root.Note(L"The working folder could not be made: " + path, GetLastError());
            return false;
        }
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED)
        {
            root.Note(L"The working folder cannot be opened: " + path, error);
            return false;
        }
        // Made by the user, a link, a file of that name, or a folder others may change.
        if (!SetAside(base.get(), basePath, root))
            return false;
    }
    root.Note(L"The working folder keeps changing: " + path, ERROR_RETRY);
    return false;
}

HANDLE RootHandle()
{
    return HoldWorkFolder() ? Root().handle.get() : nullptr;
}

// `path` relative to the held working folder, when it lies below it.
std::optional<std::wstring> BelowRoot(const std::wstring& path)
{
    if (!HoldWorkFolder())
        return std::nullopt;
    return RelativePathBelow(Root().path, path);
}

FileHandle CheckedSingleFile(FileHandle file)
{
    FileIdentity identity;
    if (file && !IdentifySingleFile(file.get(), identity))
        file.reset();
    return file;
}

// The long name of what `path` names now, matched by its long or its short (8.3) name.
std::wstring LongNameOf(const std::wstring& path)
{
    WIN32_FIND_DATAW entry = {};
    FindHandle find(FindFirstFileW(path.c_str(), &entry));
    return find ? std::wstring(entry.cFileName) : std::wstring();
}

// What a walk of an unpacked tree looks for, and what it found.
struct TreeWalk
{
    const std::wstring& wanted;
    std::wstring found;     // the first file named `wanted`, at most one folder down
    std::wstring offending; // the first entry that is not plain
};

// Visits the tree in the order its folders list their entries, each entry opened through its
// folder's handle; a reparse point is never entered.
bool IsPlainTreeIn(HANDLE folder, const std::wstring& folderPath, int depth, TreeWalk& walk)
{
    std::vector<FolderEntry> entries;
    if (!ListFolder(folder, entries))
    {
        walk.offending = folderPath;
        return false;
    }
    for (const FolderEntry& entry : entries)
    {
        const std::wstring path = folderPath + L"\\" + entry.name;
        OpenRequest request;
        request.access = FILE_LIST_DIRECTORY;
        request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        request.options = isFolder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
        if (!isFolder)
            request.access = FILE_READ_ATTRIBUTES;
        const FileHandle opened = (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                                      ? FileHandle()
                                      : OpenInFolder(folder, entry.name, path, request);
        FileIdentity identity;
        if (!opened || (isFolder ? !IsPlainTreeIn(opened.get(), path, depth + 1, walk)
                                 : !IdentifySingleFile(opened.get(), identity)))
        {
            if (walk.offending.empty() || !opened)
                walk.offending = path;
            return false;
        }
        if (!isFolder && depth <= 1 && walk.found.empty() &&
            CompareStringOrdinal(entry.name.c_str(), -1, walk.wanted.c_str(), -1, TRUE) ==
                CSTR_EQUAL)
            walk.found = path;
    }
    return true;
}

} // namespace

namespace {
std::atomic<bool> g_bWorkFolderHeld{false};
} // namespace

bool HoldWorkFolder() noexcept
{
    static std::once_flag s_once;
    try
    {
        std::call_once(s_once, [] { g_bWorkFolderHeld.store(OpenRoot(Root())); });
    }
    catch (...)
    {
        // Out of memory: no working folder, so nothing is written or started.
    }
    return g_bWorkFolderHeld.load();
}

std::wstring HeldWorkFolderPath()
{
    return g_bWorkFolderHeld.load() ? Root().path : std::wstring();
}

std::vector<std::pair<std::wstring, unsigned long>> TakeWorkFolderNotes()
{
    CWorkRoot& root = Root();
    std::lock_guard<std::mutex> lock(root.notesMutex);
    return std::move(root.notes);
}

std::wstring WorkFolderPath()
{
    return HoldWorkFolder() ? Root().path : std::wstring();
}

std::wstring ExpectedWorkFolderPath()
{
    const std::wstring base = BaseFolder();
    return base.empty() ? base : base + L"\\" + kWorkFolderName;
}

void RemoveWorkFolderLeftovers(const StorageReport& report)
{
    // The first installer of the session cleans; a second one must not pull the folder away
    // from under the first one's download or setup program.
    static KernelHandle s_instance;
    s_instance.reset(CreateMutexW(nullptr, FALSE, L"Local\\KVZ7300.WorkFolder"));
    if (!s_instance)
    {
        report(L"Working folder not cleaned", GetLastError());
        return;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS)
    {
        report(L"Another installer is running: the working folder is not cleaned", 0);
        return;
    }
    const HANDLE root = RootHandle();
    std::vector<FolderEntry> entries;
    if (!root || !ListFolder(root, entries))
    {
        report(L"Working folder not cleaned", root ? GetLastError() : ERROR_PATH_NOT_FOUND);
        return;
    }
    const std::wstring& folder = Root().path;
    for (const FolderEntry& entry : entries)
    {
        const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!IsWorkFolderLeftover(entry.name, isFolder))
            continue;
        // A folder goes only when it can first be renamed aside: Windows refuses that while a
        // file in it is open, as when a setup program an earlier run started still runs there.
        std::wstring doomed = entry.name;
        if (isFolder && !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        {
            OpenRequest request;
            request.access = DELETE;
            request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
            request.options = FILE_DIRECTORY_FILE;
            const FileHandle moving =
                OpenInFolder(root, entry.name, folder + L"\\" + entry.name, request);
            doomed = L"~" + entry.name + L".removing";
            if (!moving || !RenameInto(moving.get(), root, doomed, false))
            {
                report(L"Left an earlier run's folder in place: " + entry.name, GetLastError());
                continue;
            }
        }
        const DWORD error = RemoveTreeIn(root, folder, doomed);
        report(error == ERROR_SUCCESS ? L"Removed an earlier run's " + entry.name
                                      : L"Could not remove all of an earlier run's " + entry.name,
               error);
    }
}

bool IdentifySingleFile(HANDLE file, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info))
        return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1)
    {
        SetLastError(kReparsePointMet);
        return false;
    }
    identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

FileHandle OpenSharedLogFile(const std::wstring& path)
{
    FileHandle file;
    if (const auto relative = BelowRoot(path))
    {
        OpenRequest request;
        request.access = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE;
        request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        request.disposition = FILE_OPEN_IF;
        request.options = FILE_NON_DIRECTORY_FILE;
        file = OpenBelow(Root().handle.get(), Root().path, *relative, request);
    }
    else
    {
        file.reset(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                               nullptr));
    }
    return CheckedSingleFile(std::move(file));
}

FileHandle OpenWithoutLinks(const std::wstring& full, const OpenRequest& request)
{
    if (!IsLocalDrivePath(full))
    {
        SetLastError(ERROR_BAD_PATHNAME);
        return FileHandle();
    }
    const FileHandle top(CreateFileW(full.substr(0, 3).c_str(), FILE_TRAVERSE | FILE_LIST_DIRECTORY,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!top)
        return FileHandle();
    return OpenBelow(top.get(), full.substr(0, 2), full.substr(3), request);
}

FileHandle OpenCommandLineLogFile(const std::wstring& path)
{
    const std::wstring full = FullPath(path);
    if (full.empty())
        return FileHandle();
    if (!IsLocalDrivePath(full) || GetDriveTypeW(full.substr(0, 3).c_str()) == DRIVE_REMOTE)
    {
        SetLastError(ERROR_BAD_PATHNAME);
        return FileHandle();
    }
    OpenRequest request;
    request.access = FILE_WRITE_DATA | FILE_APPEND_DATA;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    request.disposition = FILE_OPEN_IF;
    request.options = FILE_NON_DIRECTORY_FILE;
    return CheckedSingleFile(OpenWithoutLinks(full, request));
}

FileHandle CreateDownloadFile(const std::wstring& path)
{
    // Opened as it is, never emptied before the check: emptying a second name of a file
    // elsewhere would empty that file.
    FileHandle file;
    if (const auto relative = BelowRoot(path))
    {
        OpenRequest request;
        request.access = GENERIC_READ | GENERIC_WRITE | DELETE;
        request.disposition = FILE_OPEN_IF;
        request.options = FILE_NON_DIRECTORY_FILE;
        file = OpenBelow(Root().handle.get(), Root().path, *relative, request);
    }
    else
    {
        file.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                               nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    }
    file = CheckedSingleFile(std::move(file));
    const LARGE_INTEGER start{};
    if (file &&
        !(SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) && SetEndOfFile(file.get())))
        file.reset();
    return file;
}

bool RenameOpenFile(HANDLE file, const std::wstring& target)
{
    if (const auto relative = BelowRoot(target))
    {
        const std::size_t slash = relative->find_last_of(L'\\');
        if (slash == std::wstring::npos)
            return RenameInto(file, Root().handle.get(), *relative, true);
        OpenRequest request;
        request.access = FILE_ADD_FILE | FILE_TRAVERSE;
        request.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        request.options = FILE_DIRECTORY_FILE;
        const FileHandle folder =
            OpenBelow(Root().handle.get(), Root().path, relative->substr(0, slash), request);
        return folder && RenameInto(file, folder.get(), relative->substr(slash + 1), true);
    }
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    target.copy(rename->FileName, target.size());
    return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size())) != FALSE;
}

FileHandle OpenHeldForReading(const std::wstring& path, const FileIdentity* expected)
{
    FileHandle file;
    if (const auto relative = BelowRoot(path))
    {
        OpenRequest request;
        request.access = GENERIC_READ;
        request.options = FILE_NON_DIRECTORY_FILE;
        file = OpenBelow(Root().handle.get(), Root().path, *relative, request);
    }
    else
    {
        // A pipe server in a name's place learns who asks, and may not act as them.
        file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT |
                                   SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                               nullptr));
    }
    FileIdentity identity;
    if (file && !IdentifySingleFile(file.get(), identity))
        file.reset();
    else if (file && expected && !(identity == *expected))
    {
        file.reset();
        SetLastError(ERROR_FILE_INVALID);
    }
    return file;
}

bool CPackageFolder::Create(const std::wstring& name)
{
    const HANDLE root = RootHandle();
    if (!root)
    {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    const std::wstring path = Root().path + L"\\" + name;
    // Windows also finds an entry by its short name: "INSTAL~1.LOG" may be the log.
    if (IsReservedWorkFolderName(name) || IsReservedWorkFolderName(LongNameOf(path)))
    {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    FileHandle made = CreateAdminOnlyFolderIn(root, Root().path, name);
    FileHandle madeTemp =
        made ? CreateAdminOnlyFolderIn(made.get(), path, kSetupTempName) : FileHandle();
    if (!madeTemp)
        return false;
    m_path = path;
    m_temp = path + L"\\" + kSetupTempName;
    m_folder = std::move(made);
    m_tempFolder = std::move(madeTemp);
    return true;
}

FileHandle CPackageFolder::CreateNewFile(const std::wstring& name) const
{
    OpenRequest request;
    request.access = GENERIC_READ | GENERIC_WRITE;
    request.share = 0;
    request.disposition = FILE_CREATE;
    request.options = FILE_NON_DIRECTORY_FILE;
    return OpenInFolder(m_folder.get(), name, Entry(name), request);
}

bool CPackageFolder::CheckUnpackedTree(const std::wstring& name, std::wstring& found,
                                       std::wstring& offending) const
{
    TreeWalk walk{name, {}, {}};
    const bool plain = IsPlainTreeIn(m_folder.get(), m_path, 0, walk);
    found = plain ? walk.found : std::wstring();
    offending = walk.offending;
    return plain;
}
