#include "workflows/PackageName.h"

#include "framework/AsciiCase.h"

namespace {

constexpr std::size_t kMaxNameLength = 200;

bool IsReservedDeviceName(const std::wstring& name)
{
    // "CON.txt" and "nul.tar.gz" open the device too: the part before the first dot counts,
    // as does a trailing blank before it.
    std::wstring stem = FoldedAsciiCase(name.substr(0, name.find(L'.')));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    static const wchar_t* const kFixed[] = {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"};
    for (const wchar_t* device : kFixed)
        if (stem == device)
            return true;
    if (stem.size() == 4 && (stem.compare(0, 3, L"com") == 0 || stem.compare(0, 3, L"lpt") == 0))
    {
        // Superscript digits count as port numbers on Windows too.
        const wchar_t digit = stem[3];
        return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
               digit == L'\u00B3';
    }
    return false;
}

} // namespace

bool IsSafePackageFileName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L".." || name.size() > kMaxNameLength)
        return false;
    for (wchar_t c : name)
    {
        if (c < 0x20 || c == 0x7F)
            return false;
        if (std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos)
            return false;
    }
    if (name.back() == L'.' || name.back() == L' ')
        return false;
    return !IsReservedDeviceName(name);
}

std::optional<std::wstring> PackageFileNameFromUrl(const std::wstring& url)
{
    std::wstring rest = url.substr(0, url.find_first_of(L"?#"));

    // Skip "scheme://authority": the path begins at the first slash after it. A URL without
    // a scheme is taken as a bare path.
    const std::size_t scheme = rest.find(L"://");
    if (scheme != std::wstring::npos)
    {
        const std::size_t path = rest.find(L'/', scheme + 3);
        if (path == std::wstring::npos)
            return std::nullopt;
        rest = rest.substr(path);
    }
    const std::size_t slash = rest.rfind(L'/');
    std::wstring name = slash == std::wstring::npos ? rest : rest.substr(slash + 1);
    if (!IsSafePackageFileName(name))
        return std::nullopt;
    return name;
}
