#include "storage/WorkFolderLayout.h"

#include "framework/AsciiCase.h"

std::wstring WorkFolderBase(bool runsAsLocalSystem, const std::wstring& localAppData,
                            const std::wstring& programData)
{
    return runsAsLocalSystem ? programData : localAppData;
}

std::wstring SetAsideName(int attempt)
{
    return std::wstring(kWorkFolderName) + L".set-aside." + std::to_wstring(attempt);
}

std::wstring ProgramCopyFolderName(const std::wstring& programName, unsigned long processId)
{
    return PackageFolderName(programName) + L"." + std::to_wstring(processId);
}

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
