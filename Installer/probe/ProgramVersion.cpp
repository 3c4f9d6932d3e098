#include "probe/ProgramVersion.h"

#include "localisation/ModulePath.h"
#include "probe/VersionText.h"

#include <windows.h>

#include <vector>

std::string GetFileVersionText(const std::wstring& path)
{
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    if (size == 0)
        return std::string();

    std::vector<wchar_t> block(static_cast<size_t>(size) + 1);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return std::string();

    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO))
        return std::string();

    return FormatFileVersion(info->dwFileVersionMS, info->dwFileVersionLS);
}

std::string GetProgramVersion()
{
    const std::wstring path = GetModulePath();
    return path.empty() ? std::string() : GetFileVersionText(path);
}
