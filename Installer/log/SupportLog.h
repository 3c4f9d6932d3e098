#pragma once
// The support log: "%LOCALAPPDATA%\KVZ7300\Installer.log", one UTF-8 line per event, for the
// vendor's support desk. Writing it never changes what the installer does: every failure to
// open or write it is swallowed.

#include "log/LogLine.h"

#include <string>
#include <string_view>

// Appends one line: local time with milliseconds, thread id, `event`.
void LogEvent(std::wstring_view event) noexcept;

// Every later line also goes to `path` (created or appended, never moved aside): the file an
// unattended run's /log names, opened now for the whole run (OpenCommandLineLogFile). False,
// with GetLastError set, when it cannot be.
bool AlsoLogTo(const std::wstring& path) noexcept;

// From now on this thread's lines are handed to a writer thread instead of being written
// here: for the window's thread, which must never wait for the log's lock (another program of
// the user can hold the file for as long as it likes).
void QueueLogLinesOfThisThread() noexcept;

// `what`, then the system's text for `error` (a GetLastError or WinINet code) and the code.
void LogFailure(std::wstring_view what, unsigned long error) noexcept;

// Appends `line` (whole, in one write) to the log at `path`, first moving a log of
// `rotateAt` bytes or more to "<name>.1.log". False when the line was not written.
bool AppendLogLine(const std::wstring& path, const std::string& line,
                   std::uint64_t rotateAt = kLogRotateBytes) noexcept;

// Where LogEvent writes; empty until the working folder is held (HoldWorkFolder).
std::wstring SupportLogPath();

// The support log, or (`old`) the file a full one moves to; empty until the working folder is
// held.
std::wstring SupportLogFile(bool old = false);
