#pragma once
// What a support-log line says, apart from the file it goes to.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// At this size the log moves aside to "Installer.1.log"; one old file is kept.
constexpr std::uint64_t kLogRotateBytes = 1024 * 1024;

struct LogTime
{
    int year, month, day, hour, minute, second, millisecond;
};

// "2026-12-08 07:55:18.123 [1234] event\r\n" in UTF-8. Control characters (C0, C1) and the
// characters that break or reorder a line on screen (U+2028/2029, bidirectional embeddings,
// overrides, isolates and marks) are escaped, so one event is one line that reads as written.
std::string FormatLogLine(const LogTime& time, unsigned long threadId, std::wstring_view event);

// Bytes that arrived from the network, for a log line: at most `limit` of them, control
// characters and anything outside printable ASCII escaped as \xNN; a cut says how much more
// there was.
std::wstring EscapeForLog(std::string_view bytes, std::size_t limit = 200);

// A URL without its query and fragment, whose length is said instead, and without a user name
// and password: download tokens and credentials live there, and users send this file to
// support. "https://u:p@h/p.zip?a=1" -> "https://***@h/p.zip?(3 bytes)"
std::wstring UrlForLog(std::wstring_view url);

// The same for every URL inside network bytes (a reply naming a download URL), then escaped
// and cut as EscapeForLog does.
std::wstring RedactedForLog(std::string_view bytes, std::size_t limit = 200);

// Every URL in `text` without its user name and password, the rest kept: for the debugger
// output, which has always shown the whole download URL.
std::string WithoutUserInfo(std::string_view text);
