#pragma once
// One small JSON document over HTTP(S): a blocking GET with the service's fixed headers.

#include "net/TransferLimits.h"
#include "net/TransferRetry.h"

#include <string>

// True when the body was read to its end (whatever the status code) or, before that,
// when the status was 200 and only a non-network failure followed. On true with the body
// read, `body` holds the bytes as received; otherwise it is left as it was. A body longer
// than 1 MiB, or shorter than its Content-Length, is a failure. Writes
// "HTTP_STATUS_code:<n>" to standard output once the status is known.
bool HttpGetJson(std::wstring url, std::string& body);

namespace net {
// The same with other limits (shorter ones in tests).
bool HttpGetJson(const std::wstring& url, std::string& body, const TransferLimits& limits);

// One GET and what came of it, for a caller that decides whether to try again.
struct JsonReply
{
    TransferFailure failure = TransferFailure::NoAnswer; // None once the body was read whole
    int status = -1;                                     // -1 until a status arrived
    std::string body;                                    // the bytes as received
};

// The same single exchange, told whole: what the driver-service query calls, so that it can
// decide whether to try again.
JsonReply HttpGetJson(const std::wstring& url, const TransferLimits& limits);
} // namespace net
