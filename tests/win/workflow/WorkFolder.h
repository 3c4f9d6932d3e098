// Shared by the workflow tests: emptying the user's working folder between tests, so nothing of
// another run is found, and encoding the stand-in's control requests.
#pragma once

#include "workflows/Staging.h"

#include <windows.h>

#include <string>

inline void DeleteTree(const std::wstring& path)
{
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

// A setup program of the previous test may still be running from the folder: retry a while.
inline bool EmptyWorkFolder()
{
    const std::wstring folder = GetWorkFolderPath(L"");
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        DeleteTree(folder);
        if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(100);
    }
    return false;
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
