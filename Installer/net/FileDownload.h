#pragma once
// A package download from an http or https URL into a local file, with progress.

#include "net/Sha256Digest.h"
#include "net/TransferLimits.h"

#include <functional>
#include <optional>
#include <string>

// Told the download's position in percent (0..100) whenever it changes, on the downloading
// thread; at most 101 calls a download, the last one 100 when the whole body is in place.
using DownloadProgress = std::function<void(int percent)>;

// Fetches `url` into `localPath`. The body is collected in "<localPath>.part" and moved
// over `localPath` only once it is complete (and, when `expectedSha256` is given, has that
// digest), so a failed download never leaves a partial package and keeps an earlier one.
// `progress` may be empty. True only when the whole body is in place.
bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<net::Sha256Digest>& expectedSha256 = std::nullopt);

namespace net {
// The same with other limits (shorter ones in tests).
bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<Sha256Digest>& expectedSha256,
                    const TransferLimits& limits);
} // namespace net
