#include "localisation/ModulePath.h"

#include <windows.h>
#include <shlwapi.h>

std::wstring GetModuleRelativePath(const std::wstring& relativePath)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A cut path would name some other file; give nothing rather than that.
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();

    if (relativePath.empty())
    {
        const std::wstring full(path, length);
        const size_t slash = full.rfind(L'\\');
        return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash + 1);
    }

    if (!PathRemoveFileSpecW(path) || !PathAppendW(path, relativePath.c_str()))
        return std::wstring();
    return path;
}
