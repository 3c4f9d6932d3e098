#include "net/HttpRequest.h"

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
    bool bodyRead = false;
    std::string body;
};

// Runs on RunWithDeadline's helper: once `stop` is set nobody waits for the result, and the
// exchange ends at its next step instead of reading on.
JsonExchange RunExchange(const CrackedUrl& url, const TransferLimits& limits,
                         Clock::time_point deadline, const StopFlag& stop)
{
    JsonExchange exchange;
    CSentRequest sent;
    if (!OpenAndSendRequest(url, JsonRequestHeaders(), limits, deadline, sent) || stop)
        return exchange;

    const int status = QueryStatusCode(sent.request.get());
    if (status < 0)
    {
        TraceDownloadError(InternetErrorText(GetLastError()));
        return exchange;
    }
    std::printf("HTTP_STATUS_code:%d\n", status);
    std::fflush(stdout);
    if (status == 200)
        exchange.result = true;

    // The bytes are kept as received, zero bytes included: nothing here is text yet.
    char buffer[kChunkBytes];
    for (;;)
    {
        unsigned long got = 0;
        if (stop || !ReadAvailable(sent.request.get(), buffer, kChunkBytes, got))
        {
            exchange.result = false;
            return exchange;
        }
        if (got == 0)
            break;
        if (limits.maxBodyBytes != 0 && exchange.body.size() + got > limits.maxBodyBytes)
        {
            TraceDownloadError(L"The reply is larger than " + std::to_wstring(limits.maxBodyBytes) +
                               L" bytes");
            exchange.result = false;
            return exchange;
        }
        try
        {
            exchange.body.append(buffer, got);
        }
        catch (const std::bad_alloc&)
        {
            // Out of memory: the result stands as the status left it.
            exchange.body.clear();
            return exchange;
        }
    }
    // A reset connection can look like the end of the body; the announced length tells.
    const std::uint64_t announced = QueryContentLength(sent.request.get());
    if (!IsCompleteBody(exchange.body.size(), announced))
    {
        TraceDownloadError(L"The connection closed after " + std::to_wstring(exchange.body.size()) +
                           L" of " + std::to_wstring(announced) + L" bytes");
        exchange.result = false;
        return exchange;
    }
    exchange.bodyRead = true;
    exchange.result = true;
    return exchange;
}

} // namespace

bool HttpGetJson(const std::wstring& url, std::string& body, const TransferLimits& limits)
{
    CrackedUrl cracked;
    if (!CrackHttpUrl(url, cracked))
        return false;

    // The whole exchange runs under one deadline: a slow trickle of bytes would otherwise
    // renew the receive time-out for ever.
    JsonExchange exchange;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(limits.totalDeadlineMs);
    if (!RunWithDeadline(
            [cracked, limits, deadline](const StopFlag& stop) {
                return RunExchange(cracked, limits, deadline, stop);
            },
            deadline, exchange))
    {
        TraceDownloadError(InternetErrorText(ERROR_INTERNET_TIMEOUT));
        return false;
    }
    if (exchange.bodyRead)
        body.swap(exchange.body);
    return exchange.result;
}

} // namespace net
