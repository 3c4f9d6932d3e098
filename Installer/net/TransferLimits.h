#pragma once
// How long a transfer may take at each stage, how often it is tried, and how large a package
// may be. The defaults are what the installer uses; tests pass shorter and smaller ones to
// exercise the same paths quickly.

#include "net/TransferRetry.h"

#include <cstdint>

#ifndef KVZ_MAX_PACKAGE_MIB
#error "KVZ_MAX_PACKAGE_MIB comes from the build (CMake cache variable of the same name)"
#endif

namespace net {

// The largest package the installer downloads: a larger one is refused before it is written.
constexpr std::uint64_t kMaxPackageBytes = static_cast<std::uint64_t>(KVZ_MAX_PACKAGE_MIB) << 20;

struct TransferLimits
{
    unsigned long connectTimeoutMs;
    unsigned long connectRetries;
    // Per receive and send on the connection and the request: a server that accepts and
    // then stalls ends the transfer instead of holding the workflow.
    unsigned long receiveTimeoutMs;
    unsigned long sendTimeoutMs;
    // Connect, TLS handshake, send and reply headers of a download together, enforced by
    // the caller: WinINet does not bound every one of them everywhere (Wine ignores the
    // connect time-out and never times out a handshake).
    unsigned long openDeadlineMs;
    // The whole exchange of a JSON request, body included. For a download, every attempt and
    // pause together: a body that trickles in renews every other time-out for ever.
    unsigned long totalDeadlineMs;
    // Longest reply body kept in memory; 0 means the body goes to a file, unbounded.
    unsigned long maxBodyBytes;
    // Longest package written to a file, announced or counted.
    std::uint64_t maxPackageBytes = kMaxPackageBytes;
    // When a transient failure is tried again.
    RetrySchedule retry = kRetrySchedule;
    // The least average rate of a download, in bytes per second: a large package gets longer
    // than totalDeadlineMs, as long as its announced size takes at this rate. 0: no more.
    std::uint64_t minBytesPerSecond = 0;
};

// A small JSON reply: connect 10 s with one retry.
constexpr TransferLimits kJsonRequestLimits{10000, 1, 30000, 30000, 60000, 120000, 1u << 20};

// A package download: connect 3 s with one retry; in all 10 minutes, or as long as the package
// takes at 16 KiB/s (a 2 GiB one about 36 hours): a slow link still gets there, a trickle does
// not hold the command for ever.
constexpr std::uint64_t kDownloadMinBytesPerSecond = 16 * 1024;
constexpr TransferLimits kDownloadLimits{3000,
                                         1,
                                         30000,
                                         30000,
                                         45000,
                                         10 * 60 * 1000,
                                         0,
                                         kMaxPackageBytes,
                                         kRetrySchedule,
                                         kDownloadMinBytesPerSecond};

} // namespace net
