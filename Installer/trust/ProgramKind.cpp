#include "trust/ProgramKind.h"

#include "framework/AsciiCase.h"

namespace {

// A bare ".exe" names nothing.
bool HasExtension(const std::wstring& fileName, const std::wstring& extension)
{
    return fileName.size() > extension.size() && EndsWithIgnoringAsciiCase(fileName, extension);
}

} // namespace

ProgramKind ProgramKindOfName(const std::wstring& fileName)
{
    if (HasExtension(fileName, L".exe"))
        return ProgramKind::Exe;
    if (HasExtension(fileName, L".msi"))
        return ProgramKind::Msi;
    return ProgramKind::Refused;
}

std::wstring MsiInstallParameters(const std::wstring& msiPath)
{
    // Windows paths cannot hold quotes, so plain quoting keeps blanks together.
    return L"/i \"" + msiPath + L"\"";
}
