// Shared by the workflow tests: emptying the user's working folder between tests, so nothing of
// another run is found, links to folders, what earlier revocation checks left, and encoding the
// stand-in's control requests.
#pragma once

#include "../NetTestSupport.h"
#include "workflows/Staging.h"

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <string>

inline bool WaitForAttributes(const std::wstring& path, bool present)
{
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present)
            return true;
        Sleep(50);
    }
    return false;
}

inline bool StartCommand(std::wstring line)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

// The path on the machine Wine runs on, quoted for a Unix program's command line.
inline std::wstring UnixArgument(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(const WCHAR*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unixPath = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unixPath)
        return L"/nonexistent";
    const std::wstring quoted = L"\"" + std::wstring(unixPath, unixPath + strlen(unixPath)) + L"\"";
    HeapFree(GetProcessHeap(), 0, unixPath);
    return quoted;
}

// A link to the folder `target`, as the tests can make one: Wine 8 makes neither junctions
// (FSCTL_SET_REPARSE_POINT fails) nor symbolic links (CreateSymbolicLinkW succeeds and makes
// nothing), but shows a Unix symbolic link to a folder as a reparse point (attributes 0x410),
// so one is made from the Unix side. Windows makes a junction.
inline bool MakeFolderLink(const std::wstring& link, const std::wstring& target)
{
    const std::wstring line =
        nettest::RunningUnderWine()
            ? L"Z:\\bin\\ln -s " + UnixArgument(target) + L" " + UnixArgument(link)
            : L"cmd.exe /c mklink /J \"" + link + L"\" \"" + target + L"\"";
    return StartCommand(line) && WaitForAttributes(link, true);
}

// Removes such a link, never what it points to (Wine's RemoveDirectoryW on a link to a folder
// removes the folder when it is empty).
inline bool RemoveFolderLink(const std::wstring& link)
{
    const bool started = nettest::RunningUnderWine()
                             ? StartCommand(L"Z:\\bin\\rm -f " + UnixArgument(link))
                             : RemoveDirectoryW(link.c_str()) != FALSE;
    return started && WaitForAttributes(link, false);
}

inline void DeleteTree(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    {
        RemoveFolderLink(path);
        return;
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

inline bool IsGoneOrEmpty(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
    bool empty = true;
    do
        empty =
            empty && (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0);
    while (FindNextFileW(find, &entry));
    FindClose(find);
    return empty;
}

// A setup program of the previous test may still be running from the folder: retry a while.
// The folder itself stays while an installer (this test program among them) holds it.
inline bool EmptyWorkFolder()
{
    const std::wstring folder = GetWorkFolderPath(L"");
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        DeleteTree(folder);
        if (IsGoneOrEmpty(folder))
            return true;
        Sleep(100);
    }
    return false;
}

// What earlier checks left of the test root's revocation list: the list itself, kept in the URL
// cache until its next update (the test certificates and the list may have been made again
// since), and Wine's outcomes. Known Wine difference (Wine 8.0): cryptnet keeps the outcome of
// each check in a cache of its own and writes a revoked certificate there as not revoked, so
// only a check that finds no outcome kept reads the list and sees the revocation.
inline void ForgetRevocationChecks()
{
    DeleteUrlCacheEntryW(nettest::Http(L"/packages/publisher-root.crl").c_str());
    wchar_t profile[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        DeleteTree(std::wstring(profile) + L"\\AppData\\LocalLow\\Microsoft\\CryptnetUrlCache");
}

// Percent-encodes a text for a query value of the stand-in's control requests.
inline std::wstring QueryEncode(const std::wstring& text)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    for (wchar_t c : text)
    {
        if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
            c == L'-' || c == L'_' || c == L'.' || c == L'~' || c == L'/' || c == L':')
        {
            out += c;
        }
        else
        {
            out += L'%';
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        }
    }
    return out;
}
