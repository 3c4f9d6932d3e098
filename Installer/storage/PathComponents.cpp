#include "storage/PathComponents.h"

namespace {

wchar_t FoldAscii(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool StartsWithIgnoringAsciiCase(const std::wstring& text, const std::wstring& head)
{
    if (text.size() < head.size())
        return false;
    for (std::size_t i = 0; i < head.size(); ++i)
        if (FoldAscii(text[i]) != FoldAscii(head[i]))
            return false;
    return true;
}

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
