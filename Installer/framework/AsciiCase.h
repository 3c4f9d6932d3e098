#pragma once
// Comparing the file names and paths we judge the way Windows matches them for the names that
// matter here: ASCII letters without case, every other character as it is.

#include <string>

inline wchar_t FoldAsciiCase(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

inline std::wstring FoldedAsciiCase(std::wstring text)
{
    for (wchar_t& c : text)
        c = FoldAsciiCase(c);
    return text;
}

inline bool StartsWithIgnoringAsciiCase(const std::wstring& text, const std::wstring& head)
{
    if (text.size() < head.size())
        return false;
    for (std::size_t i = 0; i < head.size(); ++i)
        if (FoldAsciiCase(text[i]) != FoldAsciiCase(head[i]))
            return false;
    return true;
}

inline bool EndsWithIgnoringAsciiCase(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() &&
           StartsWithIgnoringAsciiCase(text.substr(text.size() - tail.size()), tail);
}
