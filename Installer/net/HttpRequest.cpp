#include "net/HttpRequest.h"

#include "log/SupportLog.h"
#include "net/InternetRequest.h"
#include "net/TransferMath.h"

#include <cstdio>
#include <new>
#include <vector>

bool HttpGetJson(std::wstring url, std::string& body)
{
    return net::HttpGetJson(url, body, net::kJsonRequestLimits);
}

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

struct JsonExchange
{
    bool result = false;
    JsonReply reply;
};

// Runs on RunWithDeadline's helper: once `stop` is set nobody waits for the result, and the
// exchange ends at its next step instead of reading on.
JsonExchange RunExchange(const CrackedUrl& url, const TransferLimits& limits,
                         Clock::time_point deadline, const StopFlag& stop)
{
    JsonExchange exchange;
    JsonReply& reply = exchange.reply;
    CSentRequest sent;
    if (!OpenAndSendRequest(url, JsonRequestHeaders(), limits, deadline, sent) || stop)
    {
        reply.failure = stop ? TransferFailure::NoAnswer : sent.failure;
        return exchange;
    }

    const int status = QueryStatusCode(sent.request.get());
    if (status < 0)
    {
        ReportDownloadError(L"The reply has no status", GetLastError());
        reply.failure = TransferFailure::Malformed;
        return exchange;
    }
    reply.status = status;
    LogEvent(L"HTTP " + std::to_wstring(status) + L" from " + UrlForLog(url));
    std::printf("HTTP_STATUS_code:%d\n", status);
    std::fflush(stdout);
    if (status == 200)
        exchange.result = true;

    // The bytes are kept as received, zero bytes included: nothing here is text yet.
    char buffer[kChunkBytes];
    for (;;)
    {
        unsigned long got = 0;
        if (stop)
        {
            reply.failure = TransferFailure::NoAnswer;
            exchange.result = false;
            return exchange;
        }
        if (!ReadAvailable(sent.request.get(), buffer, kChunkBytes, got))
        {
            reply.failure = FailureOfError(GetLastError());
            exchange.result = false;
            return exchange;
        }
        if (got == 0)
            break;
        if (limits.maxBodyBytes != 0 && reply.body.size() + got > limits.maxBodyBytes)
        {
            ReportDownloadProblem(L"The reply is larger than " +
                                  std::to_wstring(limits.maxBodyBytes) + L" bytes");
            reply.failure = TransferFailure::TooLarge;
            exchange.result = false;
            return exchange;
        }
        try
        {
            reply.body.append(buffer, got);
        }
        catch (const std::bad_alloc&)
        {
            // Out of memory: the result stands as the status left it.
            reply.body.clear();
            reply.failure = TransferFailure::Local;
            return exchange;
        }
    }
    // A reset connection can look like the end of the body; the announced length tells.
    const std::uint64_t announced = QueryContentLength(sent.request.get());
    if (!IsCompleteBody(reply.body.size(), announced))
    {
        ReportDownloadProblem(L"The connection closed after " + std::to_wstring(reply.body.size()) +
                              L" of " + std::to_wstring(announced) + L" bytes");
        reply.failure = TransferFailure::ShortBody;
        exchange.result = false;
        return exchange;
    }
    reply.failure = TransferFailure::None;
    exchange.result = true;
    return exchange;
}

// One exchange under its deadline. False when the deadline passed first.
bool Exchange(const CrackedUrl& cracked, const TransferLimits& limits, JsonExchange& exchange)
{
    // The whole exchange runs under one deadline: a slow trickle of bytes would otherwise
    // renew the receive time-out for ever.
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limits.totalDeadlineMs);
    if (RunWithDeadline(
            [cracked, limits, deadline](const StopFlag& stop) {
                return RunExchange(cracked, limits, deadline, stop);
            },
            deadline, exchange))
        return true;
    ReportDownloadError(L"No complete reply before the deadline", ERROR_INTERNET_TIMEOUT);
    return false;
}

} // namespace

bool HttpGetJson(const std::wstring& url, std::string& body, const TransferLimits& limits)
{
    CrackedUrl cracked;
    if (!CrackHttpUrl(url, cracked))
        return false;
    JsonExchange exchange;
    if (!Exchange(cracked, limits, exchange))
        return false;
    if (exchange.reply.failure == TransferFailure::None)
        body.swap(exchange.reply.body);
    return exchange.result;
}

JsonReply HttpGetJson(const std::wstring& url, const TransferLimits& limits)
{
    CrackedUrl cracked;
    JsonExchange exchange;
    if (!CrackHttpUrl(url, cracked))
        exchange.reply.failure = TransferFailure::Malformed;
    else if (!Exchange(cracked, limits, exchange))
        exchange.reply.failure = TransferFailure::NoAnswer;
    return std::move(exchange.reply);
}

} // namespace net
