#include "net/TransferMath.h"

#include "net/TransferLimits.h"

#include <algorithm>
#include <limits>

namespace net {

int ProgressPosition(std::uint64_t written, std::uint64_t announced)
{
    if (announced == 0)
        return 0;
    if (written >= announced)
        return 100;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (written <= kMax / 100)
        return static_cast<int>(written * 100 / announced);
    // Beyond 2^57 bytes: the largest p with p * announced / 100 <= written, where
    // p * announced / 100 is split so that no step overflows.
    for (int p = 99; p > 0; --p)
    {
        const std::uint64_t part = static_cast<std::uint64_t>(p) * (announced % 100);
        const std::uint64_t floorShare =
            static_cast<std::uint64_t>(p) * (announced / 100) + part / 100;
        const std::uint64_t ceilShare = floorShare + (part % 100 != 0 ? 1 : 0);
        if (ceilShare <= written)
            return p;
    }
    return 0;
}

std::uint64_t ParseContentLength(const std::wstring& text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    std::uint64_t value = 0;
    bool digits = false;
    for (; i < n && text[i] >= L'0' && text[i] <= L'9'; ++i)
    {
        const unsigned d = static_cast<unsigned>(text[i] - L'0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
            return 0;
        value = value * 10 + d;
        digits = true;
    }
    while (i < n && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    return (digits && i == n) ? value : 0;
}

bool IsCompleteBody(std::uint64_t written, std::uint64_t announced)
{
    return announced == 0 || written == announced;
}

std::wstring AgentNameFromModulePath(const std::wstring& modulePath)
{
    const std::size_t slash = modulePath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? modulePath : modulePath.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

unsigned long NextReadSize(unsigned long size, std::uint64_t elapsedUs)
{
    std::uint64_t next = size;
    if (elapsedUs < kQuickReadUs)
        next = next * kReadGrowth;
    else if (elapsedUs > kSlowReadUs)
        next = next * kSlowReadUs / elapsedUs;
    return static_cast<unsigned long>(
        std::clamp<std::uint64_t>(next, kMinReadBytes, kMaxReadBytes));
}

std::wstring PartialPathFor(const std::wstring& localPath)
{
    return localPath + L".part";
}

SizeVerdict JudgePackageSize(std::uint64_t announced, std::uint64_t maxBytes,
                             std::uint64_t freeBytes, bool freeKnown)
{
    if (announced > maxBytes)
        return SizeVerdict::OverBound;
    if (freeKnown && announced > 0 &&
        (freeBytes < kFreeSpaceReserveBytes || announced > freeBytes - kFreeSpaceReserveBytes))
        return SizeVerdict::OverFreeSpace;
    return SizeVerdict::Fits;
}

std::uint64_t DownloadDeadlineMs(const TransferLimits& limits, std::uint64_t announced)
{
    const std::uint64_t least = limits.totalDeadlineMs;
    const std::uint64_t rate = limits.minBytesPerSecond;
    if (rate == 0)
        return least;
    const std::uint64_t bytes = announced != 0 ? announced : limits.maxPackageBytes;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t seconds = bytes / rate;
    if (seconds > kMax / 1000 - 1)
        return kMax;
    const std::uint64_t ms = seconds * 1000 + (bytes % rate) * 1000 / rate;
    return std::max(least, ms);
}

} // namespace net
