#pragma once
// One small JSON document over HTTP(S): a blocking GET with the service's fixed headers.

#include "net/TransferLimits.h"
#include "net/TransferRetry.h"

#include <string>

namespace net {

// One GET and what came of it, for a caller that decides whether to try again.
struct JsonReply
{
    TransferFailure failure = TransferFailure::NoAnswer; // None once the body was read whole
    int status = -1;                                     // -1 until a status arrived
    std::string body;                                    // the bytes as received
};

// One GET with the service's headers under `limits`, told whole, so that the caller can decide
// whether to try again. Writes "HTTP_STATUS_code:<n>" to standard output once the status is
// known. A body longer than `limits` allow, or shorter than its Content-Length, is a failure.
JsonReply HttpGetJson(const std::wstring& url, const TransferLimits& limits);
} // namespace net
