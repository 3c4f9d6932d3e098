#include "storage/PathComponents.h"

#include "framework/AsciiCase.h"

namespace {

bool IsPlainComponent(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"/:") == std::wstring::npos;
}

} // namespace

std::optional<std::vector<std::wstring>> ComponentPathsBelow(const std::wstring& base,
                                                             const std::wstring& path)
{
    std::wstring root = base;
    if (!root.empty() && root.back() == L'\\')
        root.pop_back(); // "C:\" names the same folder as "C:"
    if (root.empty() || !StartsWithIgnoringAsciiCase(path, root))
        return std::nullopt;
    std::vector<std::wstring> components;
    if (path.size() == root.size())
        return components;
    if (path[root.size()] != L'\\')
        return std::nullopt; // "C:\U\Local2" is not below "C:\U\Local"
    std::size_t begin = root.size() + 1;
    for (;;)
    {
        const std::size_t end = path.find(L'\\', begin);
        const std::size_t stop = end == std::wstring::npos ? path.size() : end;
        if (!IsPlainComponent(path.substr(begin, stop - begin)))
            return std::nullopt;
        components.push_back(path.substr(0, stop));
        if (end == std::wstring::npos)
            return components;
        begin = end + 1;
    }
}

std::optional<std::wstring> RelativePathBelow(const std::wstring& base, const std::wstring& path)
{
    const auto components = ComponentPathsBelow(base, path);
    if (!components || components->empty())
        return std::nullopt;
    const std::size_t first = components->front().find_last_of(L'\\');
    return path.substr(first + 1);
}

std::wstring FolderOfPath(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOfPath(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool IsLocalDrivePath(const std::wstring& path)
{
    if (path.size() < 4 || path[1] != L':' || path[2] != L'\\' || path.back() == L'\\')
        return false;
    const wchar_t letter = static_cast<wchar_t>(path[0] | 0x20);
    return letter >= L'a' && letter <= L'z' && ComponentPathsBelow(path.substr(0, 2), path);
}
