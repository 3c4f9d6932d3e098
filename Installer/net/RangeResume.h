#pragma once
// Resuming a broken download with a range request: what the full answer must have said for it
// to be safe, the request's headers, and the judging of the partial answer. The header values
// come from the server, so each is checked before it is trusted or sent back. No window here.

#include <cstdint>
#include <string>
#include <vector>

namespace net {

// What a full (200) answer said about resuming its body.
struct ResumeBasis
{
    std::uint64_t length = 0;   // its Content-Length; 0 when not announced
    std::wstring validator;     // for If-Range; empty when it had no usable one
    bool acceptsRanges = false; // "Accept-Ranges: bytes"
};

// The If-Range validator of a full answer, from its ETag, Last-Modified and Date headers
// (empty when absent): a well-formed strong ETag, else a Last-Modified in the IMF-fixdate form
// at least a second older than the answer's Date (a later change within that second could not
// be told apart), else empty.
std::wstring ChooseValidator(const std::wstring& etag, const std::wstring& lastModified,
                             const std::wstring& date);

// Whether an Accept-Ranges header offers byte ranges.
bool AcceptsByteRanges(const std::wstring& acceptRanges);

// Why a download that broke after `received` bytes cannot ask for the rest; empty when it can.
std::wstring WhyNotResumable(const ResumeBasis& basis, std::uint64_t received);

// The headers asking for the body from byte `from` on, unless it changed since `basis`.
std::vector<std::wstring> ResumeHeaders(const ResumeBasis& basis, std::uint64_t from);

struct ContentRange
{
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t total = 0;
};

// "bytes <first>-<last>/<total>" with first <= last < total; nothing else.
bool ParseContentRange(const std::wstring& text, ContentRange& range);

// Why a 206 answer to a request from byte `from` of a `total`-byte body cannot continue the
// file; empty when it can. `contentRange` is its Content-Range (empty when absent),
// `contentLength` its Content-Length (0 when absent).
std::wstring WhyNotContinued(const std::wstring& contentRange, std::uint64_t contentLength,
                             std::uint64_t from, std::uint64_t total);

// Seconds since 1970 of an IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT"); false for any other
// text, the obsolete HTTP date forms included.
bool ParseHttpDate(const std::wstring& text, std::int64_t& seconds);

} // namespace net
