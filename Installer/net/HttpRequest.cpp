#include "net/HttpRequest.h"

#include "log/SupportLog.h"
#include "net/InternetRequest.h"
#include "net/TransferLog.h"
#include "net/TransferMath.h"

#include <cstdio>
#include <new>
#include <vector>

namespace net {

namespace {

const std::vector<std::wstring>& JsonRequestHeaders()
{
    // The text is what the service has always been sent, blanks included.
    static const std::vector<std::wstring> headers = {
        L"Accept: */*,application/json",
        L"Accept-Charset:UTF8",
        L"Accept-Language: zh-cn;q=0.8,en;q=0.6,ja;q=0.4",
        L"Content-Type:application/json",
    };
    return headers;
}

constexpr unsigned long kChunkBytes = 1024;

// Runs on RunWithDeadline's helper: once `stop` is set nobody waits for the result, and the
// exchange ends at its next step instead of reading on.
JsonReply RunExchange(const CrackedUrl& url, const TransferLimits& limits,
                      Clock::time_point deadline, const StopFlag& stop)
{
    JsonReply reply;
    CSentRequest sent;
    if (!OpenAndSendRequest(url, JsonRequestHeaders(), limits, deadline, sent) || stop)
    {
        reply.failure = stop ? TransferFailure::NoAnswer : sent.failure;
        return reply;
    }

    const int status = QueryStatusCode(sent.request.get());
    if (status < 0)
    {
        ReportDownloadError(L"The reply has no status", GetLastError());
        reply.failure = TransferFailure::Malformed;
        return reply;
    }
    reply.status = status;
    LogEvent(L"HTTP " + std::to_wstring(status) + L" from " + UrlForLog(url));
    std::printf("HTTP_STATUS_code:%d\n", status);
    std::fflush(stdout);

    // The bytes are kept as received, zero bytes included: nothing here is text yet.
    char buffer[kChunkBytes];
    for (;;)
    {
        unsigned long got = 0;
        if (stop)
        {
            reply.failure = TransferFailure::NoAnswer;
            return reply;
        }
        if (!ReadAvailable(sent.request.get(), buffer, kChunkBytes, got))
        {
            reply.failure = FailureOfError(GetLastError());
            return reply;
        }
        if (got == 0)
            break;
        if (limits.maxBodyBytes != 0 && reply.body.size() + got > limits.maxBodyBytes)
        {
            ReportDownloadProblem(L"The reply is larger than " +
                                  std::to_wstring(limits.maxBodyBytes) + L" bytes");
            reply.failure = TransferFailure::TooLarge;
            return reply;
        }
        try
        {
            reply.body.append(buffer, got);
        }
        catch (const std::bad_alloc&)
        {
            reply.body.clear();
            reply.failure = TransferFailure::Local;
            return reply;
        }
    }
    // A reset connection can look like the end of the body; the announced length tells.
    const std::uint64_t announced = QueryContentLength(sent.request.get());
    if (!IsCompleteBody(reply.body.size(), announced))
    {
        ReportDownloadProblem(L"The connection closed after " + std::to_wstring(reply.body.size()) +
                              L" of " + std::to_wstring(announced) + L" bytes");
        reply.failure = TransferFailure::ShortBody;
        return reply;
    }
    reply.failure = TransferFailure::None;
    return reply;
}

// One exchange under its deadline. False when the deadline passed first.
bool Exchange(const CrackedUrl& cracked, const TransferLimits& limits, JsonReply& reply)
{
    // The whole exchange runs under one deadline: a slow trickle of bytes would otherwise
    // renew the receive time-out for ever.
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limits.totalDeadlineMs);
    if (RunWithDeadline(
            [cracked, limits, deadline](const StopFlag& stop) {
                return RunExchange(cracked, limits, deadline, stop);
            },
            deadline, reply))
        return true;
    ReportDownloadError(L"No complete reply before the deadline", ERROR_INTERNET_TIMEOUT);
    return false;
}

} // namespace

JsonReply HttpGetJson(const std::wstring& url, const TransferLimits& limits)
{
    CrackedUrl cracked;
    JsonReply reply;
    if (!CrackHttpUrl(url, cracked))
        reply.failure = TransferFailure::Malformed;
    else if (!Exchange(cracked, limits, reply))
        reply.failure = TransferFailure::NoAnswer;
    return reply;
}

} // namespace net
