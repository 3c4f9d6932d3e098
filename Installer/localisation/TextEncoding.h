#pragma once
// Conversions between wide text and the narrow texts the workflows pass around.

#include <string>

// Narrow text in the system ANSI code page to wide; ends at the first zero byte.
std::wstring AnsiToWide(const std::string& text);

// Wide to the system ANSI code page; characters it cannot hold become its default character.
std::string WideToAnsi(const std::wstring& text);

// Wide to UTF-8 (the log, redirected output, names read from certificates).
std::string WideToUtf8(const std::wstring& text);

// UTF-8 (what JSON replies carry, download URLs among them) to wide. Invalid UTF-8 or an
// embedded zero gives the empty text, so a damaged URL cannot name some other resource.
std::wstring Utf8ToWide(const std::string& text);
