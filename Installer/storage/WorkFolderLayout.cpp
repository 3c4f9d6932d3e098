#include "storage/WorkFolderLayout.h"

#include "framework/AsciiCase.h"

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
    static const std::wstring kPart = L".part";
    return isFolder || (name.size() > kPart.size() && EndsWithIgnoringAsciiCase(name, kPart));
}

bool IsReservedWorkFolderName(const std::wstring& fileName)
{
    const std::wstring name = FoldedAsciiCase(fileName);
    return name == FoldedAsciiCase(kSupportLogName) || name == FoldedAsciiCase(kOldSupportLogName);
}
