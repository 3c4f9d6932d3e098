#include "log/LogLine.h"

#include <cstdio>

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

void AppendEscape(std::string& out, unsigned value)
{
    char escape[8];
    std::snprintf(escape, sizeof(escape), "\\x%02X", value & 0xFF);
    out += escape;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD rather than ending the line.
void AppendEvent(std::string& out, std::wstring_view event)
{
    for (std::size_t i = 0; i < event.size(); ++i)
    {
        char32_t c = static_cast<char16_t>(event[i]);
        if (c < 0x20 || c == 0x7F)
        {
            AppendEscape(out, static_cast<unsigned>(c));
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
