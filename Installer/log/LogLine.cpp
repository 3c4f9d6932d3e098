#include "log/LogLine.h"

#include <cstdio>
#include <type_traits>

namespace {

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendEscape(std::string& out, char32_t value)
{
    char escape[12];
    if (value <= 0xFF)
        std::snprintf(escape, sizeof(escape), "\\x%02X", static_cast<unsigned>(value));
    else
        std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned>(value));
    out += escape;
}

// Controls, and the format characters that would make a line show other text than it holds.
bool NeedsEscape(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

// Where the query or fragment of the URL starting at `start` ends: at the first byte that
// cannot be part of a URL in JSON or text.
template <typename Char>
std::size_t UrlTailEnd(std::basic_string_view<Char> text, std::size_t start)
{
    std::size_t end = start;
    while (end < text.size())
    {
        const auto c = static_cast<std::make_unsigned_t<Char>>(text[end]);
        if (c <= 0x20 || c == '"' || c == '\'' || c == '<' || c == '>' || c == 0x7F)
            break;
        ++end;
    }
    return end;
}

// Where the slashes after a scheme's ':' at `colon` end; colon + 1 when there are none. WinINet
// takes any mix of slashes and backslashes there (tabs and line breaks between them are
// dropped), and JSON may write a slash escaped, so all of these start a URL.
template <typename Char>
std::size_t SlashesEnd(std::basic_string_view<Char> text, std::size_t colon)
{
    std::size_t end = colon + 1;
    bool slash = false;
    while (end < text.size() && (text[end] == '/' || text[end] == '\\' || text[end] == '\t' ||
                                 text[end] == '\r' || text[end] == '\n'))
    {
        slash = slash || text[end] == '/' || text[end] == '\\';
        ++end;
    }
    return slash ? end : colon + 1;
}

// The length of the '@' at `at`, also as JSON may escape it; 0 when there is none.
template <typename Char>
std::size_t AtSignLength(std::basic_string_view<Char> text, std::size_t at)
{
    if (text[at] == '@')
        return 1;
    static const Char kEscaped[] = {'\\', 'u', '0', '0', '4', '0', 0};
    return text.compare(at, 6, kEscaped) == 0 ? 6 : 0;
}

// Where the user name and password of the authority starting at `start` end (after their
// '@'); `start` when it has none. The authority is taken to run to the next '/', '?' or '#'
// and a blank does not end it: a line with a little too much hidden says less, one with too
// little gives a password away.
template <typename Char>
std::size_t UserInfoEnd(std::basic_string_view<Char> text, std::size_t start)
{
    std::size_t end = start;
    for (std::size_t i = start; i < text.size(); ++i)
    {
        const Char c = text[i];
        if (c == '/' || c == '?' || c == '#' || c == '"' || c == '\'' || c == '<' || c == '>')
            break;
        if (const std::size_t at = AtSignLength(text, i))
            end = i + at;
    }
    return end;
}

// Every URL in `text` without the user information of its authority ("https://***@host/"),
// and with `tails` also without its query and fragment, whose length is said instead.
// `wholeIsUrl`: every '?' or '#' in `text` starts a tail.
template <typename Text>
Text Redacted(std::basic_string_view<typename Text::value_type> text, bool wholeIsUrl, bool tails)
{
    using Char = typename Text::value_type;
    static const Char kHidden[] = {'*', '*', '*', '@', 0};
    Text out;
    std::size_t i = 0;
    bool inUrl = wholeIsUrl;
    while (i < text.size())
    {
        const Char c = text[i];
        if (c == ':')
        {
            const std::size_t slashes = SlashesEnd(text, i);
            if (slashes > i + 1)
            {
                out.append(text.substr(i, slashes - i));
                i = slashes;
                const std::size_t userInfo = UserInfoEnd(text, i);
                if (userInfo > i)
                {
                    out += kHidden;
                    i = userInfo;
                }
                inUrl = true;
                continue;
            }
        }
        if (tails && inUrl && (c == '?' || c == '#'))
        {
            const std::size_t end = UrlTailEnd(text, i + 1);
            const std::string said =
                static_cast<char>(c) + ("(" + std::to_string(end - i - 1) + " bytes)");
            out.append(said.begin(), said.end());
            i = end;
            inUrl = wholeIsUrl;
            continue;
        }
        if (!wholeIsUrl && (c <= 0x20 || c == '"'))
            inUrl = false;
        out += c;
        ++i;
    }
    return out;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD rather than ending the line.
void AppendEvent(std::string& out, std::wstring_view event)
{
    for (std::size_t i = 0; i < event.size(); ++i)
    {
        char32_t c = static_cast<char16_t>(event[i]);
        if (NeedsEscape(c))
        {
            AppendEscape(out, c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < event.size())
        {
            const char32_t low = static_cast<char16_t>(event[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF)
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
}

} // namespace

std::string FormatLogLine(const LogTime& time, unsigned long threadId, std::wstring_view event)
{
    char stamp[64];
    std::snprintf(stamp, sizeof(stamp), "%04d-%02d-%02d %02d:%02d:%02d.%03d [%lu] ", time.year,
                  time.month, time.day, time.hour, time.minute, time.second, time.millisecond,
                  threadId);
    std::string line = stamp;
    line.reserve(line.size() + event.size() + 2);
    AppendEvent(line, event);
    line += "\r\n";
    return line;
}

std::wstring EscapeForLog(std::string_view bytes, std::size_t limit)
{
    std::wstring text;
    const std::size_t shown = bytes.size() < limit ? bytes.size() : limit;
    for (std::size_t i = 0; i < shown; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\')
        {
            text += static_cast<wchar_t>(c);
            continue;
        }
        static const wchar_t kHex[] = L"0123456789ABCDEF";
        text += L"\\x";
        text += kHex[c >> 4];
        text += kHex[c & 0xF];
    }
    if (shown < bytes.size())
        text += L"... (" + std::to_wstring(bytes.size() - shown) + L" more bytes)";
    return text;
}

std::wstring UrlForLog(std::wstring_view url)
{
    return Redacted<std::wstring>(url, true, true);
}

std::wstring RedactedForLog(std::string_view bytes, std::size_t limit)
{
    return EscapeForLog(Redacted<std::string>(bytes, false, true), limit);
}

std::string WithoutUserInfo(std::string_view text)
{
    return Redacted<std::string>(text, false, false);
}
