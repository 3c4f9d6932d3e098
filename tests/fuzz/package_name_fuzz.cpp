// The package's file name comes from a download URL the network chose, and the installer
// writes and then starts the file of that name with administrator rights: an accepted name
// must stay inside the working folder and name an ordinary file there.
#include "workflows/PackageName.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

std::wstring AsciiUpper(std::wstring text)
{
    for (auto& c : text)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

// Windows opens a device when the name up to its first dot, blanks trimmed, names one.
bool NamesDevice(const std::wstring& name)
{
    std::wstring stem = name.substr(0, name.find(L'.'));
    const std::size_t last = stem.find_last_not_of(L' ');
    stem = AsciiUpper(last == std::wstring::npos ? std::wstring() : stem.substr(0, last + 1));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (stem == device)
            return true;
    for (const wchar_t* port : {L"COM", L"LPT"})
        for (wchar_t digit : std::wstring(L"0123456789\u00B9\u00B2\u00B3"))
            if (stem == port + std::wstring(1, digit))
                return true;
    return false;
}

bool IsAllowedName(const std::wstring& url, const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L".." || name.size() > 200)
        return false;
    // Taken as it stands: no decoding may have produced it.
    if (url.find(name) == std::wstring::npos)
        return false;
    // Separators and drive or stream colons; '?' and '#' would mean query or fragment leaked.
    if (name.find_first_of(L"\\/:?#") != std::wstring::npos)
        return false;
    for (wchar_t c : name)
        if (c < 0x20 || c == 0x7F)
            return false;
    // Windows strips these and would name another file.
    if (name.back() == L'.' || name.back() == L' ')
        return false;
    return !NamesDevice(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One byte per unit: every character the check treats specially lies below U+0100,
    // superscript digits included, and the seeds stay readable.
    const std::wstring url(data, data + size);
    const std::optional<std::wstring> name = PackageFileNameFromUrl(url);
    if (name && !IsAllowedName(url, *name))
        std::abort();
    return 0;
}
