#include "localisation/ModulePath.h"

#include <windows.h>

std::wstring GetModulePath()
{
    // Paths may be longer than MAX_PATH; a cut one would name some other file, so the buffer
    // grows until the whole path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD size = static_cast<DWORD>(path.size());
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], size);
        if (length == 0)
            return std::wstring();
        if (length < size)
        {
            path.resize(length);
            return path;
        }
        if (size >= 32768)
            return std::wstring();
        path.resize(static_cast<size_t>(size) * 2);
    }
}

std::wstring GetModuleRelativePath(const std::wstring& relativePath)
{
    const std::wstring module = GetModulePath();
    const size_t slash = module.rfind(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    return module.substr(0, slash + 1) + relativePath;
}
