#pragma once
// Arithmetic of a transfer: progress positions, announced lengths, completeness.
// No window here, so it is unit-tested natively.

#include <cstdint>
#include <string>

namespace net {

struct TransferLimits;

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

// Reads of a download body. A blocking read returns only once its whole size has arrived,
// and WinINet does not say how much has (InternetQueryDataAvailable reports 8 KiB at most
// under Wine), so each read is sized by how long the last one took. One that found its bytes
// already there makes the next 16 times larger: a fast link gets large reads at once (under
// Wine, plain HTTP takes six times as long in 10,240-byte reads as in 1 MiB reads, and a ramp
// through mid-sized reads by twos or fours left half the loopback runs at half speed; see
// bench/RESULTS.md). One that had to wait long makes the next smaller in proportion, so that
// progress keeps moving on a slow link.
constexpr unsigned long kMinReadBytes = 10240;
constexpr unsigned long kMaxReadBytes = 1ul << 20;
constexpr std::uint64_t kQuickReadUs = 20000;
constexpr std::uint64_t kSlowReadUs = 200000;
constexpr unsigned long kReadGrowth = 16;

// The size of the next read after one of `size` bytes took `elapsedUs` microseconds.
unsigned long NextReadSize(unsigned long size, std::uint64_t elapsedUs);

// Where a download is collected before it replaces its target.
std::wstring PartialPathFor(const std::wstring& localPath);

// Room a package must leave free on its drive, for the unpacked files and for Windows.
constexpr std::uint64_t kFreeSpaceReserveBytes = 256ull << 20;

enum class SizeVerdict
{
    Fits,
    OverBound,     // larger than the build's bound
    OverFreeSpace, // would leave less than kFreeSpaceReserveBytes free
};

// Judges an announced package length (0: none announced, which only a running count can
// bound). `freeBytes` is what the drive has free, counting what a start over would release;
// `freeKnown` false leaves the free space out of the judgement.
SizeVerdict JudgePackageSize(std::uint64_t announced, std::uint64_t maxBytes,
                             std::uint64_t freeBytes, bool freeKnown);

// The overall deadline of a download whose body announced `announced` bytes (0: none, so the
// largest package allowed is assumed): limits.totalDeadlineMs, or as long as those bytes take
// at limits.minBytesPerSecond when that is longer. Saturates rather than overflows.
std::uint64_t DownloadDeadlineMs(const TransferLimits& limits, std::uint64_t announced);

} // namespace net
