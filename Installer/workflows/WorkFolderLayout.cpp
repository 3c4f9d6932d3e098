#include "workflows/WorkFolderLayout.h"

std::wstring PackageFolderName(const std::wstring& fileName)
{
    const std::size_t dot = fileName.rfind(L'.');
    std::wstring stem = dot == std::wstring::npos ? std::wstring() : fileName.substr(0, dot);
    if (stem.empty() || stem.back() == L'.' || stem.back() == L' ')
        return fileName + L"_files";
    return stem;
}

bool IsWorkFolderLeftover(const std::wstring& name, bool isFolder)
{
    if (isFolder)
        return true;
    static const std::wstring kPart = L".part";
    if (name.size() <= kPart.size())
        return false;
    for (std::size_t i = 0; i < kPart.size(); ++i)
    {
        wchar_t c = name[name.size() - kPart.size() + i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kPart[i])
            return false;
    }
    return true;
}

bool IsReservedWorkFolderName(const std::wstring& fileName)
{
    std::wstring lower = fileName;
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return lower == L"installer.log" || lower == L"installer.1.log";
}
