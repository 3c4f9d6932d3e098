#include "storage/SafeStorage.h"

#include "framework/KernelHandle.h"
#include "framework/LocalMemory.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>
#include <winternl.h>

#include <memory>

namespace {

// Administrators own it; SYSTEM and Administrators have full control, Users and Authenticated
// Users read and execute; inherited by everything below, nothing inherited from above.
constexpr const wchar_t* kAdminOnlyFolder =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)(A;OICI;FRFX;;;AU)";

constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kFileDispositionInformation = 13;

using NtCreateFileFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFn = LONG(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(LONG);

struct NtCalls
{
    NtCreateFileFn create = nullptr;
    NtSetInformationFileFn setInformation = nullptr;
    RtlNtStatusToDosErrorFn toError = nullptr;
};

const NtCalls& Nt()
{
    static const NtCalls s_calls = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        NtCalls calls;
        calls.create = reinterpret_cast<NtCreateFileFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
        calls.setInformation = reinterpret_cast<NtSetInformationFileFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
        calls.toError = reinterpret_cast<RtlNtStatusToDosErrorFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
        return calls;
    }();
    return s_calls;
}

bool Failed(LONG status)
{
    if (status >= 0)
        return false;
    SetLastError(Nt().toError ? Nt().toError(status) : ERROR_GEN_FAILURE);
    return true;
}

bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsReparsePoint(HANDLE handle, DWORD& attributes)
{
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag)))
        return true; // unknown: treated as the worse
    attributes = tag.FileAttributes;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsLinkByPath(const std::wstring& path)
{
    if (!RunsUnderWine() || path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

FileHandle NtOpen(HANDLE folder, const std::wstring& name, const OpenRequest& request)
{
    if (!Nt().create || !Nt().toError)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FileHandle();
    }
    std::wstring buffer = name;
    UNICODE_STRING unicodeName;
    unicodeName.Buffer = buffer.empty() ? nullptr : &buffer[0];
    unicodeName.Length = static_cast<USHORT>(buffer.size() * sizeof(wchar_t));
    unicodeName.MaximumLength = unicodeName.Length;
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &unicodeName, OBJ_CASE_INSENSITIVE, folder,
                               request.descriptor);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = INVALID_HANDLE_VALUE;
    const LONG status =
        Nt().create(&handle, request.access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &object, &io,
                    nullptr, FILE_ATTRIBUTE_NORMAL, request.share, request.disposition,
                    request.options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT |
                        FILE_OPEN_REPARSE_POINT,
                    nullptr, 0);
    if (Failed(status))
        return FileHandle();
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

// Whether only Administrators, SYSTEM and `alsoAllowed` (when not null) may change it; with
// `strict`, nobody else is granted anything at all.
bool OnlyTheseMayChange(PACL dacl, PSID alsoAllowed, bool strict)
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
        const bool trusted =
            IsAdministratorsOrSystem(sid) || (alsoAllowed && EqualSid(sid, alsoAllowed));
        if (!trusted && (strict || (ace->Mask & kChangeRights)))
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

bool SetDisposition(HANDLE handle)
{
    if (!Nt().setInformation)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    BOOLEAN deleteFile = TRUE;
    IO_STATUS_BLOCK io = {};
    return !Failed(Nt().setInformation(handle, &io, &deleteFile, sizeof(deleteFile),
                                       kFileDispositionInformation));
}

std::wstring Child(const std::wstring& folderPath, const std::wstring& name)
{
    return folderPath.empty() ? std::wstring() : folderPath + L"\\" + name;
}

} // namespace

std::wstring LocalAppDataFolder()
{
    // Asked once: every log line needs it.
    static const std::wstring s_folder = [] {
        wchar_t path[MAX_PATH] = {};
        if (FAILED(
                SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_DEFAULT, path)))
            return std::wstring();
        return std::wstring(path);
    }();
    return s_folder;
}

bool RunsUnderWine() noexcept
{
    static const bool s_wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return s_wine;
}

FileHandle OpenInFolder(HANDLE folder, const std::wstring& name, const std::wstring& path,
                        const OpenRequest& request)
{
    if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos || name == L"." ||
        name == L"..")
    {
        SetLastError(ERROR_BAD_PATHNAME);
        return FileHandle();
    }
    if (!request.bLinkItself && IsLinkByPath(path))
    {
        SetLastError(kReparsePointMet);
        return FileHandle();
    }
    FileHandle handle = NtOpen(folder, name, request);
    DWORD attributes = 0;
    if (handle && !request.bLinkItself &&
        (IsReparsePoint(handle.get(), attributes) || IsLinkByPath(path)))
    {
        handle.reset();
        SetLastError(kReparsePointMet);
    }
    return handle;
}

FileHandle OpenBelow(HANDLE folder, const std::wstring& folderPath, const std::wstring& relative,
                     const OpenRequest& request)
{
    FileHandle parent;
    HANDLE current = folder;
    std::wstring currentPath = folderPath;
    std::size_t start = 0;
    for (;;)
    {
        const std::size_t slash = relative.find(L'\\', start);
        const std::wstring name = relative.substr(start, slash - start);
        if (slash == std::wstring::npos)
            return OpenInFolder(current, name, Child(currentPath, name), request);
        OpenRequest pass;
        pass.access = FILE_TRAVERSE | FILE_LIST_DIRECTORY;
        pass.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        pass.options = FILE_DIRECTORY_FILE;
        currentPath = Child(currentPath, name);
        FileHandle next = OpenInFolder(current, name, currentPath, pass);
        if (!next)
            return next;
        parent = std::move(next);
        current = parent.get();
        start = slash + 1;
    }
}

namespace {

// Whether only Administrators and SYSTEM may change what `handle` holds open: its owner is one
// of them and its access list grants changes to nobody else (with `protectedList`, a list that
// inherits nothing). Wine keeps no owner or list of its own: every file is this user's, with a
// list made of its Unix mode, so there the owner may be this user and what others may change
// still shows; with `strict`, others may not even read (a folder made with the
// administrators' list comes back so, one made by someone else grants Everyone reading).
bool OnlyAdministratorsOwn(HANDLE handle, bool protectedList, bool strict)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    UniqueLocal descriptor;
    const DWORD read = GetSecurityInfo(
        handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
        nullptr, &dacl, nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()));
    if (read != ERROR_SUCCESS)
    {
        SetLastError(read);
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
    // Not the running account: its programs without administrator rights share its SID.
    bool trusted = owner && IsAdministratorsOrSystem(owner) &&
                   (!protectedList || (control & SE_DACL_PROTECTED)) &&
                   OnlyTheseMayChange(dacl, nullptr, false);
    if (!trusted && RunsUnderWine())
        trusted = owner && IsOwnUser(owner) && OnlyTheseMayChange(dacl, owner, strict);
    if (!trusted)
        SetLastError(ERROR_INVALID_OWNER);
    return trusted;
}

} // namespace

bool IsAdminOnly(HANDLE folder)
{
    return OnlyAdministratorsOwn(folder, true, true);
}

bool OnlyAdministratorsMayChange(HANDLE file)
{
    return OnlyAdministratorsOwn(file, false, false);
}

FileHandle CreateAdminOnlyFolderIn(HANDLE parent, const std::wstring& parentPath,
                                   const std::wstring& name)
{
    const DWORD removed = RemoveTreeIn(parent, parentPath, name);
    if (removed != ERROR_SUCCESS)
    {
        SetLastError(removed);
        return FileHandle();
    }
    UniqueLocal descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnlyFolder, SDDL_REVISION_1,
                                                              descriptor.put(), nullptr))
        return FileHandle();
    OpenRequest request;
    request.access =
        FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | READ_CONTROL;
    request.share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    // Made and opened in one step: no moment in which another program could put a folder of
    // its own in its place. Fails when anything took the name since it was emptied.
    request.disposition = FILE_CREATE;
    request.options = FILE_DIRECTORY_FILE;
    request.descriptor = descriptor.get();
    FileHandle folder = OpenInFolder(parent, name, Child(parentPath, name), request);
    if (folder && !IsAdminOnly(folder.get()))
        folder.reset();
    return folder;
}

DWORD RemoveTreeIn(HANDLE parent, const std::wstring& parentPath, const std::wstring& name)
{
    const std::wstring path = Child(parentPath, name);
    // Wine's handles reach only what a link points to, and its RemoveDirectoryW takes an
    // empty folder a link points to away with the link: a link there stays.
    if (IsLinkByPath(path))
        return kReparsePointMet;
    OpenRequest request;
    request.access = DELETE | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_WRITE_ATTRIBUTES;
    // Nobody writes into a folder while it is emptied.
    request.share = FILE_SHARE_READ | FILE_SHARE_DELETE;
    FileHandle entry = NtOpen(parent, name, request);
    if (!entry)
        return IsMissing(GetLastError()) ? ERROR_SUCCESS : GetLastError();
    DWORD attributes = 0;
    const bool link = IsReparsePoint(entry.get(), attributes);
    DWORD first = ERROR_SUCCESS;
    if (!link && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        std::vector<FolderEntry> entries;
        if (!ListFolder(entry.get(), entries))
            first = GetLastError();
        for (const FolderEntry& child : entries)
        {
            const DWORD error = RemoveTreeIn(entry.get(), path, child.name);
            if (first == ERROR_SUCCESS)
                first = error;
        }
    }
    // 7-Zip gives extracted files the attributes the archive stored, read-only ones included;
    // cleared through the handle that deletes.
    if (!link && (attributes & FILE_ATTRIBUTE_READONLY))
    {
        FILE_BASIC_INFO basic = {}; // zero times: left as they are
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(entry.get(), FileBasicInfo, &basic, sizeof(basic));
    }
    // A link goes as a link: the handle is the link's own.
    const DWORD removed = SetDisposition(entry.get()) ? ERROR_SUCCESS : GetLastError();
    return first != ERROR_SUCCESS ? first : removed;
}

bool RenameInto(HANDLE file, HANDLE folder, const std::wstring& name, bool replace)
{
    if (!Nt().setInformation)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return false;
    }
    // Not SetFileInformationByHandle: Wine's makes a relative name one of the current folder.
    const std::size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = folder;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    name.copy(rename->FileName, name.size());
    IO_STATUS_BLOCK io = {};
    return !Failed(Nt().setInformation(file, &io, rename, static_cast<ULONG>(buffer.size()),
                                       kFileRenameInformation));
}

bool ListFolder(HANDLE folder, std::vector<FolderEntry>& entries)
{
    constexpr DWORD kBufferBytes = 64 * 1024;
    const std::unique_ptr<LONGLONG[]> buffer(new (std::nothrow)
                                                 LONGLONG[kBufferBytes / sizeof(LONGLONG)]);
    if (!buffer)
    {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;;
         kind = FileIdBothDirectoryInfo)
    {
        if (!GetFileInformationByHandleEx(folder, kind, buffer.get(), kBufferBytes))
            return GetLastError() == ERROR_NO_MORE_FILES;
        auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.get());
        for (;;)
        {
            std::wstring name(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                entries.push_back({std::move(name), entry->FileAttributes});
            if (entry->NextEntryOffset == 0)
                break;
            entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(
                reinterpret_cast<const unsigned char*>(entry) + entry->NextEntryOffset);
        }
    }
}

std::wstring FullPath(const std::wstring& path)
{
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (written == 0 || written >= needed)
        return std::wstring();
    full.resize(written);
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/'))
        full.pop_back();
    return full;
}

std::wstring PathOfHandle(HANDLE file)
{
    std::wstring path(MAX_PATH, L'\0');
    for (int round = 0; round < 2; ++round)
    {
        const DWORD length =
            GetFinalPathNameByHandleW(file, &path[0], static_cast<DWORD>(path.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return std::wstring();
        if (length < path.size())
        {
            path.resize(length);
            // "\\?\C:\..." names a drive path; children take the plain form.
            if (path.compare(0, 8, L"\\\\?\\UNC\\") != 0 && path.compare(0, 4, L"\\\\?\\") == 0)
                path.erase(0, 4);
            return path;
        }
        path.resize(length);
    }
    return std::wstring();
}
