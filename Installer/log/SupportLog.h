#pragma once
// The support log: "%LOCALAPPDATA%\KVZ7300\Installer.log", one UTF-8 line per event, for the
// vendor's support desk. Writing it never changes what the installer does: every failure to
// open or write it is swallowed.

#include <string>
#include <string_view>

// Appends one line: local time with milliseconds, thread id, `event`.
void LogEvent(std::wstring_view event) noexcept;

// `what`, then the system's text for `error` (a GetLastError or WinINet code) and the code.
void LogFailure(std::wstring_view what, unsigned long error) noexcept;

// Bytes that arrived from the network, for a log line: at most `limit` of them, control
// characters and anything not printable ASCII escaped as \xNN.
std::wstring EscapeForLog(std::string_view bytes, std::size_t limit = 200);
