#pragma once
// A package download from an http or https URL into a local file, with progress.

#include "net/Sha256Digest.h"
#include "net/TransferLimits.h"

#include <windows.h>

#include <optional>
#include <string>

// Fetches `url` into `localPath`. The body is collected in "<localPath>.part" and moved
// over `localPath` only once it is complete (and, when `expectedSha256` is given, has that
// digest), so a failed download never leaves a partial package and keeps an earlier one.
// `progressBar` (0..100) gets PBM_SETPOS once per chunk and 100 at the end; null means no
// progress. True only when the whole body is in place.
bool DownloadToFile(const std::wstring& url, const std::wstring& localPath, HWND progressBar,
                    const std::optional<net::Sha256Digest>& expectedSha256 = std::nullopt);

namespace net {
// The same with other limits (shorter ones in tests) and pause after the last position.
bool DownloadToFile(const std::wstring& url, const std::wstring& localPath, HWND progressBar,
                    const std::optional<Sha256Digest>& expectedSha256,
                    const TransferLimits& limits, unsigned long finalPauseMs);
} // namespace net
