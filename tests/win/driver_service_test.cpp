#include "workflows/DriverService.h"

#include "net/HttpRequest.h"
#include "net/ProxySetup.h"
#include "net/Sha256Digest.h"
#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <winhttp.h>

#include <string>

using namespace nettest;

namespace {

std::string FaultUrl(const std::wstring& query)
{
    return Narrow(Https(L"/_fault/j?type=application/json&" + query));
}

std::string Control(const std::wstring& pathAndQuery)
{
    std::string body;
    EXPECT_TRUE(GetJson(Http(L"/_control/" + pathAndQuery), body)) << Narrow(pathAndQuery);
    return body;
}

struct QueryCase
{
    const char* name;
    std::wstring query;
    bool accepted;
    std::string url;
};

TEST(QueryDriverService, JudgesWhatTheTransferBrings)
{
    const QueryCase cases[] = {
        {"good reply", L"body=%7B%22status%22:true,%22downloadURL%22:%22https://h/p.zip%22%7D",
         true, "https://h/p.zip"},
        {"status false", L"body=%7B%22status%22:false,%22downloadURL%22:%22u%22%7D", false, ""},
        {"404 page", L"status=404&type=text/html&body=%3Chtml%3E%3C/html%3E", false, ""},
        {"error status with a good body is still judged by the body",
         L"status=500&body=%7B%22status%22:1,%22downloadURL%22:%22u%22%7D", true, "u"},
        {"empty body", L"body=", false, ""},
        {"array root", L"body=%5B%5D", false, ""},
        {"string status", L"body=%7B%22status%22:%22yes%22,%22downloadURL%22:%22u%22%7D", false,
         ""},
        {"cut off", L"size=2000&reset=100", false, ""},
    };
    for (const QueryCase& c : cases)
    {
        DriverPackageOffer offer;
        EXPECT_EQ(c.accepted, QueryDriverService(FaultUrl(c.query), offer)) << c.name;
        if (c.accepted)
        {
            EXPECT_EQ(c.url, offer.downloadUrl) << c.name;
        }
    }
}

TEST(QueryDriverService, TracesTheRequestAndTheDownloadUrl)
{
    DebugOutputCapture debug;
    const std::string request =
        FaultUrl(L"body=%7B%22status%22:true,%22downloadURL%22:%22https://h/x.exe%22%7D");
    DriverPackageOffer offer;
    ASSERT_TRUE(QueryDriverService(request, offer));
    const std::string text = debug.Text();
    const std::size_t first = text.find(request);
    const std::size_t second = text.find("https://h/x.exe");
    EXPECT_NE(std::string::npos, first) << text;
    EXPECT_NE(std::string::npos, second) << text;
    EXPECT_LT(first, second);
}

// The real endpoint, its reply set through the stand-in's control port.
TEST(QueryDriverService, AsksTheConfiguredHostWithTheBluetoothQuery)
{
    const std::string digest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
    Control(L"clear-log");
    Control(L"set?path=/api/rx/RealtekDrivers&type=application/json&body=%7B%22status%22:true,"
            L"%22downloadURL%22:%22https://h/bt.zip%22,%22sha256%22:%22" +
            std::wstring(digest.begin(), digest.end()) + L"%22%7D");
    DriverPackageOffer offer;
    const bool accepted = QueryDriverService(BuildDriverServiceUrl(Command::Bluetooth, 9), offer);
    const std::string log = Control(L"log");
    Control(L"clear?path=/api/rx/RealtekDrivers");

    ASSERT_TRUE(accepted);
    EXPECT_EQ("https://h/bt.zip", offer.downloadUrl);
    ASSERT_TRUE(offer.sha256.has_value());
    EXPECT_EQ(digest, net::Sha256ToHex(*offer.sha256));
    EXPECT_NE(std::string::npos, log.find("\"path\": \"/api/rx/RealtekDrivers\"")) << log;
    EXPECT_NE(std::string::npos,
              log.find("\"query\": \"os=win10&wirelessType=bluetooth&wirelessProduct=8821CU\""))
        << log;
}

struct RetryCase
{
    const char* name;
    int port; // offset of the stand-in's port
    std::wstring query;
    std::wstring fault; // the passing fault of /_fault/j
    std::size_t requests;
    bool accepted;
};

TEST(QueryDriverService, AsksAgainAfterATransientFailureOnly)
{
    const std::wstring good = L"body=%7B%22status%22:true,%22downloadURL%22:%22u%22%7D";
    const RetryCase cases[] = {
        {"503 once", 0, good, L"failfirst=1&failstatus=503", 2, true},
        {"429 once", 0, good, L"failfirst=1&failstatus=429", 2, true},
        {"reset once", 0, good, L"failfirst=1&failreset=10", 2, true},
        {"404", 0, L"status=404&body=gone", L"", 1, false},
        {"not JSON", 0, L"body=%3Chtml%3E", L"", 1, false},
        {"certificate for another host", 1, good, L"", 1, false},
    };
    for (const RetryCase& c : cases)
    {
        Control(L"clear");
        Control(L"clear-log");
        if (!c.fault.empty())
            Control(L"set?path=/_fault/j&" + c.fault);
        DriverPackageOffer offer;
        EXPECT_EQ(c.accepted,
                  QueryDriverService(Narrow(Url(L"https", c.port, L"/_fault/j?" + c.query)), offer))
            << c.name;
        const std::string counted =
            c.port ? "\"port\": " + std::to_string(StandInPort() + c.port) + ","
                   : std::string("\"path\": \"/_fault/j\"");
        EXPECT_EQ(c.requests, LoggedTimes(counted, c.requests)) << c.name;
    }
    Control(L"clear");
}

// The machine's WinHTTP proxy (what `netsh winhttp set proxy` writes), as the proxy choice for
// LocalSystem reads it: the https entry of a list, else its first plain one. The machine's
// setting is given back afterwards.
TEST(Proxy, TheMachinesWinHttpProxyIsReadAsNetshWritesIt)
{
    WINHTTP_PROXY_INFO saved{};
    ASSERT_TRUE(WinHttpGetDefaultProxyConfiguration(&saved));
    const struct
    {
        const wchar_t* list;
        const wchar_t* proxy;
    } cases[] = {
        {L"http=plain.corp:80;https=secure.corp:8443", L"secure.corp:8443"},
        {L"first.corp:3128;second.corp:3128", L"first.corp:3128"},
    };
    for (const auto& c : cases)
    {
        std::wstring list = c.list;
        WINHTTP_PROXY_INFO named{WINHTTP_ACCESS_TYPE_NAMED_PROXY, &list[0], nullptr};
        ASSERT_TRUE(WinHttpSetDefaultProxyConfiguration(&named));
        EXPECT_EQ(net::MachineWinHttpProxy(), c.proxy);
    }
    WINHTTP_PROXY_INFO none{WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr};
    ASSERT_TRUE(WinHttpSetDefaultProxyConfiguration(&none));
    EXPECT_EQ(net::MachineWinHttpProxy(), L"");
    WinHttpSetDefaultProxyConfiguration(&saved);
    for (LPWSTR text : {saved.lpszProxy, saved.lpszProxyBypass})
        if (text)
            GlobalFree(text);
}

} // namespace
