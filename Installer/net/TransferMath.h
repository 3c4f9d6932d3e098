#pragma once
// Arithmetic of a transfer: progress positions, announced lengths, completeness.
// No window here, so it is unit-tested natively.

#include <cstdint>
#include <string>

namespace net {

// Position 0..100 of a progress bar after `written` of `announced` bytes.
// Never overflows and never passes 100, whatever the server announced.
int ProgressPosition(std::uint64_t written, std::uint64_t announced);

// The Content-Length header as text: a decimal number, optionally wrapped in blanks.
// Anything else (absent, empty, signs, letters, too large) is 0, "not announced".
std::uint64_t ParseContentLength(const std::wstring& text);

// A body counts as complete when nothing was announced or exactly the announced count arrived.
bool IsCompleteBody(std::uint64_t written, std::uint64_t announced);

// The user agent: the executable's file name without folder and extension.
std::wstring AgentNameFromModulePath(const std::wstring& modulePath);

// Where a download is collected before it replaces its target.
std::wstring PartialPathFor(const std::wstring& localPath);

} // namespace net
