#include "probe/VersionText.h"

#include <cstdio>

std::vector<std::wstring> SplitVersionText(const std::wstring& text)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start < text.size())
    {
        const size_t dot = text.find(L'.', start);
        if (dot == std::wstring::npos)
        {
            parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, dot - start));
        start = dot + 1;
    }
    return parts;
}

int WindowsFamilyFromVersion(const std::wstring& versionText)
{
    struct Row
    {
        const wchar_t* major;
        const wchar_t* minor; // null: any
        int family;
    };
    // First match wins; note 5.1 (XP) is 2 and 5.0 (2000) is 3.
    static const Row rows[] = {
        {L"10", L"0", 9}, {L"6", L"3", 8}, {L"6", L"2", 7}, {L"6", L"1", 6},    {L"6", L"0", 5},
        {L"5", L"2", 4},  {L"5", L"1", 2}, {L"5", L"0", 3}, {L"4", nullptr, 1},
    };

    const std::vector<std::wstring> parts = SplitVersionText(versionText);
    if (parts.size() < 2)
        return 0;
    for (const Row& row : rows)
    {
        if (parts[0] == row.major && (row.minor == nullptr || parts[1] == row.minor))
            return row.family;
    }
    return 0;
}

std::string FormatFileVersion(std::uint32_t versionMS, std::uint32_t versionLS)
{
    char text[100] = {};
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", static_cast<unsigned>(versionMS >> 16),
                  static_cast<unsigned>(versionMS & 0xFFFFu),
                  static_cast<unsigned>(versionLS >> 16),
                  static_cast<unsigned>(versionLS & 0xFFFFu));
    return text;
}
