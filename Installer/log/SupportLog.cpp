#include "log/SupportLog.h"

void LogEvent(std::wstring_view) noexcept {}

void LogFailure(std::wstring_view, unsigned long) noexcept {}

std::wstring EscapeForLog(std::string_view bytes, std::size_t limit)
{
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i)
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}
