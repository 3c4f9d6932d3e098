#include "workflows/DriverService.h"

#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/HttpRequest.h"
#include "net/InternetRequest.h"
#include "net/TransferLog.h"

#include <windows.h>

bool QueryDriverService(const std::string& requestUrl, DriverPackageOffer& offer,
                        const std::function<bool(const std::wstring&)>& askCredentials)
{
    OutputDebugStringA(requestUrl.c_str());
    LogEvent(L"Driver-service request: " + EscapeForLog(requestUrl, 2048));
    const std::wstring url = AnsiToWide(requestUrl);
    net::CRetryBudget budget(net::kJsonRequestLimits.retry);
    for (;;)
    {
        const net::JsonReply reply = net::HttpGetJson(url, net::kJsonRequestLimits);
        DriverPackageOffer judged;
        const net::TransferFailure failure =
            JudgeDriverServiceAnswer(reply.failure, reply.status, reply.body, judged);
        if (reply.status > 0)
            LogEvent(L"Driver-service reply: " + RedactedForLog(reply.body) + L" (" +
                     (failure == net::TransferFailure::None ? std::wstring(L"offers a package")
                                                            : net::DescribeFailure(failure)) +
                     L")");
        if (failure == net::TransferFailure::None)
        {
            OutputDebugStringA(WithoutUserInfo(judged.downloadUrl).c_str());
            offer = std::move(judged);
            return true;
        }
        if (failure == net::TransferFailure::ProxyCredentials && askCredentials &&
            askCredentials(url))
            continue;
        if (!net::PauseBeforeRetry(budget, failure, false, L"Driver-service query"))
        {
            LogEvent(L"Driver-service query failed: " + net::DescribeFailure(failure));
            return false;
        }
    }
}
