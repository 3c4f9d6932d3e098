#include "trust/ProgramKind.h"

namespace {

bool EndsWithIgnoringAsciiCase(const std::wstring& text, const wchar_t* tail)
{
    const std::wstring end(tail);
    if (text.size() <= end.size())
        return false; // a bare ".exe" names nothing
    for (std::size_t i = 0; i < end.size(); ++i)
    {
        wchar_t c = text[text.size() - end.size() + i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != end[i])
            return false;
    }
    return true;
}

} // namespace

ProgramKind ProgramKindOfName(const std::wstring& fileName)
{
    if (EndsWithIgnoringAsciiCase(fileName, L".exe"))
        return ProgramKind::Exe;
    if (EndsWithIgnoringAsciiCase(fileName, L".msi"))
        return ProgramKind::Msi;
    return ProgramKind::Refused;
}

std::wstring MsiInstallParameters(const std::wstring& msiPath)
{
    // Windows paths cannot hold quotes, so plain quoting keeps blanks together.
    return L"/i \"" + msiPath + L"\"";
}
