#include "workflows/DriverService.h"

#include "localisation/TextEncoding.h"
#include "net/HttpRequest.h"

#include <windows.h>

bool QueryDriverService(const std::string& requestUrl, DriverPackageOffer& offer)
{
    OutputDebugStringA(requestUrl.c_str());
    std::string body;
    if (!HttpGetJson(AnsiToWide(requestUrl), body) || body.empty())
        return false;
    DriverPackageOffer judged;
    if (!JudgeDriverServiceReply(body, judged))
        return false;
    OutputDebugStringA(judged.downloadUrl.c_str());
    offer = std::move(judged);
    return true;
}
