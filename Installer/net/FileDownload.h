#pragma once
// A package download from an http or https URL into a local file, with progress.

#include "framework/FileHandle.h"
#include "net/Sha256Digest.h"
#include "net/TransferLimits.h"

#include <functional>
#include <optional>
#include <string>

// Told the download's position in percent (0..100) whenever it changes, on the downloading
// thread; at most 101 calls while the body arrives, the last one 100 when the whole body is in
// place. A resumed download goes on from where it was; one that starts over goes back to 0.
using DownloadProgress = std::function<void(int percent)>;

// Fetches `url` into `localPath`. The body is collected in "<localPath>.part" and moved
// over `localPath` only once it is complete (and, when `expectedSha256` is given, has that
// digest), so a failed download never leaves a partial package and keeps an earlier one.
// Transient failures are tried again as limits.retry says, asking for the rest of the body
// when the first answer allows it; a package announced larger than limits.maxPackageBytes or
// than the drive's free space less net::kFreeSpaceReserveBytes is refused before it is written.
// `progress` may be empty. True only when the whole body is in place.
bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<net::Sha256Digest>& expectedSha256 = std::nullopt);

namespace net {
// Whether DownloadToFile would fetch `url` over plain http: decided from the parse the fetch
// itself uses (WinINet's canonical form, which drops tabs, ignores case and reads backslashes
// as slashes), not from how the text begins. False for what it would not fetch.
bool FetchesOverPlainHttp(const std::wstring& url);

// The same with other limits (shorter ones in tests). With `held`, the file is kept open from
// its first byte until it is handed over there: moved into place through that handle, then
// opened again for reading only, shared for reading only (so nobody can write, rename or
// delete it while `held` lives), and only when it is still the file written. `localPath` must
// then lie in a held folder that only administrators can change: nothing else can write to the
// file between the two handles, so its bytes need no second reading.
bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<Sha256Digest>& expectedSha256, const TransferLimits& limits,
                    FileHandle* held = nullptr);
} // namespace net
