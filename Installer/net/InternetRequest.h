#pragma once
// WinINet's GET as HttpGetJson and DownloadToFile share it: URL splitting, session, connection
// and request with their options, sending under a deadline, the reply's headers and reads.

#include "framework/InternetHandle.h"
#include "net/Deadline.h"
#include "net/TransferLimits.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace net {

enum class UrlScheme
{
    Http,
    Https
};

struct CrackedUrl
{
    UrlScheme scheme = UrlScheme::Https;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object; // path and query
};

// Canonicalises in browser mode and cracks. False for anything but an http or https URL
// with a host.
bool CrackHttpUrl(const std::wstring& url, CrackedUrl& cracked);

// One sent request; closing runs request, connection, session, as members are destroyed
// in reverse order. When sending failed: why, and the WinINet code (0 when there is none).
struct CSentRequest
{
    InternetHandle session;
    InternetHandle connection;
    InternetHandle request;
    TransferFailure failure = TransferFailure::None;
    unsigned long error = 0;
};

// Opens the session, connects, opens "GET" with HTTP/1.0, adds each header if new and sends.
// The time-outs of the send are cut to what is left before `deadline`: under Wine nothing
// ends a blocked WinINet call from outside (closing its handles does not, nor does changing
// its time-outs once it runs), so only its own time-outs end it in time. Failures are traced.
bool OpenAndSendRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                        const TransferLimits& limits, Clock::time_point deadline,
                        CSentRequest& sent);

// The same on a helper thread, given up after limits.openDeadlineMs or at `notAfter`, whichever
// comes first (traced as a time-out): WinINet does not bound every stage of it everywhere.
bool SendGetRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                    const TransferLimits& limits, CSentRequest& sent,
                    Clock::time_point notAfter = Clock::time_point::max());

// Windows' own proxy-credentials prompt, for a proxy that asks for credentials on the way to
// `url`; on the caller's thread, where a person waits. What they type is kept for the rest of
// this process only, in memory, and given to the proxy by every later request; never logged.
// False when no proxy asked, or the prompt was cancelled.
bool PromptForProxyCredentials(const std::wstring& url);

// The reply's status code, -1 when it cannot be read.
int QueryStatusCode(HINTERNET request);

// The announced Content-Length, 0 when absent or no number.
std::uint64_t QueryContentLength(HINTERNET request);

// The first header `name` of the reply, empty when absent or longer than 1000 characters.
std::wstring QueryHeader(HINTERNET request, const wchar_t* name);

// One InternetReadFile; a failure is traced and returns false with GetLastError still
// telling why. 0 bytes read is the end.
bool ReadChunk(HINTERNET request, void* buffer, unsigned long size, unsigned long& received);

// One InternetReadFile of what InternetQueryDataAvailable reports has arrived (at least 1
// byte, at most `maxSize`). A blocking read returns only once its whole size is there, so
// this one returns as soon as anything arrives: a helper told to stop sees it at its next
// read even when the body trickles. Failures as ReadChunk.
bool ReadAvailable(HINTERNET request, void* buffer, unsigned long maxSize, unsigned long& received);

} // namespace net
