#include "storage/SafeStorage.h"

#include "framework/FindHandle.h"
#include "framework/LocalMemory.h"
#include "storage/PathComponents.h"

#include "framework/KernelHandle.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <winternl.h>

namespace {

// ERROR_STOPPED_ON_SYMLINK, which MinGW's headers lack: the reason a path is refused.
constexpr DWORD kReparsePointMet = 681;

// Administrators own it; SYSTEM and Administrators have full control, Users and Authenticated
// Users read and execute; inherited by everything below, nothing inherited from above.
constexpr const wchar_t* kAdminOnlyFolder =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)(A;OICI;FRFX;;;AU)";

enum class Use
{
    Examine, // attributes only: shares everything, so it never disturbs another user of the file
    Hold,    // no one may rename or remove it, nor change a file, while the handle is open
    Empty,   // a folder whose entries are being removed: not even written to meanwhile
};

bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Opens one component itself, never what it links to, and refuses a reparse point. Windows
// shows one on the handle; Wine only in the attributes of a path that is a link to a folder,
// so both are asked. Empty (GetLastError set) when refused or not there.
FileHandle OpenComponent(const std::wstring& path, Use use)
{
    const DWORD before = GetFileAttributesW(path.c_str());
    if (before == INVALID_FILE_ATTRIBUTES)
        return FileHandle();
    if (before & FILE_ATTRIBUTE_REPARSE_POINT)
    {
        SetLastError(kReparsePointMet);
        return FileHandle();
    }
    const bool folder = (before & FILE_ATTRIBUTE_DIRECTORY) != 0;
    DWORD access = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (use != Use::Examine)
    {
        // Only a handle with data access takes part in sharing checks.
        access |= FILE_READ_DATA;
        share = folder && use == Use::Hold ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    }
    FileHandle handle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!handle)
        return handle;
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(handle.get(), FileAttributeTagInfo, &tag, sizeof(tag)))
        return FileHandle();
    // Asked again now that it is open: what was there before may have been swapped meanwhile.
    const DWORD after = GetFileAttributesW(path.c_str());
    if (after == INVALID_FILE_ATTRIBUTES)
        return FileHandle();
    if (((tag.FileAttributes | after) & FILE_ATTRIBUTE_REPARSE_POINT) ||
        ((tag.FileAttributes ^ before) & FILE_ATTRIBUTE_DIRECTORY))
    {
        handle.reset();
        SetLastError(kReparsePointMet);
    }
    return handle;
}

// Each component of `path` below local application data, opened for `use` in `handles`.
// Missing components end the walk successfully when `missingIsFree`.
bool OpenComponents(const std::wstring& path, Use use, bool missingIsFree,
                    std::vector<FileHandle>& handles)
{
    const auto components = ComponentPathsBelow(LocalAppDataFolder(), path);
    if (!components)
    {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    for (const std::wstring& component : *components)
    {
        FileHandle handle = OpenComponent(component, use);
        if (!handle)
            return missingIsFree && IsMissing(GetLastError());
        handles.push_back(std::move(handle));
    }
    return true;
}

std::wstring ParentOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

DWORD Outcome(BOOL done)
{
    return done ? ERROR_SUCCESS : GetLastError();
}

// 7-Zip gives extracted files the attributes the archive stored, read-only ones included.
void ClearReadOnly(const std::wstring& path)
{
    FileHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FILE_BASIC_INFO basic = {}; // zero times: left as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (file)
        SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof(basic));
}

// The folders above `path` are held by the caller.
DWORD RemoveEntry(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
    {
        const DWORD error = GetLastError();
        return IsMissing(error) ? ERROR_SUCCESS : error;
    }
    // Neither call follows a link in the last component: the link goes, its target stays.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Outcome((attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str())
                                                               : DeleteFileW(path.c_str()));
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        if (attributes & FILE_ATTRIBUTE_READONLY)
            ClearReadOnly(path);
        return Outcome(DeleteFileW(path.c_str()));
    }

    DWORD first = ERROR_SUCCESS;
    {
        const FileHandle folder = OpenComponent(path, Use::Empty);
        if (!folder)
            return IsMissing(GetLastError()) ? ERROR_SUCCESS : GetLastError();
        std::vector<std::wstring> entries;
        WIN32_FIND_DATAW entry = {};
        FindHandle find(FindFirstFileW((path + L"\\*").c_str(), &entry));
        if (find)
        {
            do
            {
                const std::wstring name = entry.cFileName;
                if (name != L"." && name != L"..")
                    entries.push_back(path + L"\\" + name);
            } while (FindNextFileW(find.get(), &entry));
        }
        for (const std::wstring& child : entries)
        {
            const DWORD error = RemoveEntry(child);
            if (first == ERROR_SUCCESS)
                first = error;
        }
    }
    // Let go of first: a folder still open cannot be removed. Should a link have taken its place
    // meanwhile, it is the link that goes.
    const DWORD removed = Outcome(RemoveDirectoryW(path.c_str()));
    return first != ERROR_SUCCESS ? first : removed;
}

using NtCreateFileFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(LONG);

// Creates the folder and opens it in one step: CreateDirectoryW and a later open would leave
// a moment in which another program could put a folder of its own in its place.
FileHandle CreateAndOpenFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor)
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto create = reinterpret_cast<NtCreateFileFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
    const auto toError = reinterpret_cast<RtlNtStatusToDosErrorFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (!create || !toError)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FileHandle();
    }
    std::wstring ntPath = L"\\??\\" + path;
    UNICODE_STRING name;
    name.Buffer = &ntPath[0];
    name.Length = static_cast<USHORT>(ntPath.size() * sizeof(wchar_t));
    name.MaximumLength = name.Length;
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &name, OBJ_CASE_INSENSITIVE, nullptr, descriptor);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = INVALID_HANDLE_VALUE;
    const LONG status = create(
        &handle, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE, &object,
        &io, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
        FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT |
            FILE_OPEN_REPARSE_POINT,
        nullptr, 0);
    if (status < 0)
    {
        SetLastError(toError(status));
        return FileHandle();
    }
    return FileHandle(handle);
}

bool IsAdministratorsOrSystem(PSID sid)
{
    BYTE buffer[SECURITY_MAX_SID_SIZE];
    for (const WELL_KNOWN_SID_TYPE type : {WinBuiltinAdministratorsSid, WinLocalSystemSid})
    {
        DWORD size = sizeof(buffer);
        if (CreateWellKnownSid(type, nullptr, buffer, &size) && EqualSid(sid, buffer))
            return true;
    }
    return false;
}

// Rights that let their holder change a folder or what lies in it.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Whether only Administrators, SYSTEM and `alsoAllowed` (when not null) may change it.
bool OnlyTheseMayChange(PACL dacl, PSID alsoAllowed)
{
    if (!dacl)
        return false; // no list: everyone may
    for (DWORD i = 0; i < dacl->AceCount; ++i)
    {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            return false;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false; // conditional or object entries: not ours
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        const PSID sid = reinterpret_cast<PSID>(&ace->SidStart);
        if ((ace->Mask & kChangeRights) && !IsAdministratorsOrSystem(sid) &&
            !(alsoAllowed && EqualSid(sid, alsoAllowed)))
            return false;
    }
    return true;
}

// The user this process runs as.
bool IsOwnUser(PSID sid)
{
    KernelHandle token;
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size) &&
           EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

// The owner and access list the folder was made with, read back through its handle.
bool IsAdminOnly(HANDLE folder)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    UniqueLocal descriptor;
    const DWORD read = GetSecurityInfo(
        folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
        nullptr, &dacl, nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()));
    if (read != ERROR_SUCCESS)
    {
        SetLastError(read);
        return false;
    }
    // Where the file system keeps no owner of its own (Wine gives every file this user and an
    // access list made of its Unix mode), the folder, made and opened in one step, is ours all
    // the same: then only this user and SYSTEM may change it.
    const bool adminOnly = owner && (IsAdministratorsOrSystem(owner)
                                         ? OnlyTheseMayChange(dacl, nullptr)
                                         : IsOwnUser(owner) && OnlyTheseMayChange(dacl, owner));
    if (!adminOnly)
        SetLastError(ERROR_INVALID_OWNER);
    return adminOnly;
}

} // namespace

std::wstring LocalAppDataFolder()
{
    // Asked once: every log line and every path check needs it.
    static const std::wstring s_folder = [] {
        wchar_t path[MAX_PATH] = {};
        if (FAILED(
                SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, path)))
            return std::wstring();
        return std::wstring(path);
    }();
    return s_folder;
}

bool IsFreeOfReparsePoints(const std::wstring& path)
{
    std::vector<FileHandle> handles;
    return OpenComponents(path, Use::Examine, true, handles);
}

bool CHeldPath::Hold(const std::wstring& path)
{
    std::vector<FileHandle> handles;
    bool held = OpenComponents(path, Use::Hold, false, handles);
    if (held && handles.empty())
    {
        SetLastError(ERROR_BAD_PATHNAME); // the base folder itself: nothing below it to hold
        held = false;
    }
    // The new handles are open before the old ones close: no gap between two holds.
    m_handles = held ? std::move(handles) : std::vector<FileHandle>();
    return held;
}

FileHandle CreateAdminOnlyFolder(const std::wstring& path)
{
    const DWORD removed = RemoveTree(path);
    if (removed != ERROR_SUCCESS)
    {
        SetLastError(removed);
        return FileHandle();
    }
    UniqueLocal descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnlyFolder, SDDL_REVISION_1,
                                                              descriptor.put(), nullptr))
        return FileHandle();
    CHeldPath parent;
    // Fails when anything took the name since it was emptied.
    if (!parent.Hold(ParentOf(path)))
        return FileHandle();
    FileHandle folder = CreateAndOpenFolder(path, descriptor.get());
    if (folder && !IsAdminOnly(folder.get()))
        folder.reset();
    return folder;
}

DWORD RemoveTree(const std::wstring& path)
{
    // The folders above stay where they are while this one goes.
    CHeldPath parent;
    if (!parent.Hold(ParentOf(path)))
        return GetLastError();
    return RemoveEntry(path);
}
