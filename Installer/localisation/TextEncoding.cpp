#include "localisation/TextEncoding.h"

#include <windows.h>

#include <limits>
#include <vector>

std::wstring AnsiToWide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0 ||
        static_cast<std::size_t>(n) >= std::numeric_limits<std::size_t>::max() / sizeof(wchar_t))
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(n) + 1, L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(), n) <= 0)
        return std::wstring();
    return std::wstring(buffer.data());
}

std::string WideToAnsi(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1, '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer.data(), n, nullptr, nullptr) <= 0)
        return std::string();
    return std::string(buffer.data());
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return std::string();
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string bytes(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &bytes[0], n, nullptr, nullptr) != n)
        return std::string();
    return bytes;
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty() || text.find('\0') != std::string::npos ||
        text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, &wide[0], n) != n)
        return std::wstring();
    return wide;
}
