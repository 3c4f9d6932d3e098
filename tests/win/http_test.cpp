#include "net/HttpRequest.h"

#include "net/FileDownload.h"
#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace nettest;

namespace {

// Short limits so that the stall tests end quickly; the paths they take are the same.
constexpr net::TransferLimits kQuick{2000, 1, 1500, 1500, 4000, 6000, 1u << 20};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : text)
    {
        if (c == '\n')
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        }
        else
        {
            line += c;
        }
    }
    return lines;
}

std::pair<std::string, std::string> SplitHeader(const std::string& line)
{
    const std::size_t colon = line.find(':');
    std::string value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ')
        value.erase(0, 1);
    return {line.substr(0, colon), value};
}

std::vector<std::string> EchoedRequest()
{
    std::string body;
    EXPECT_TRUE(GetJson(Https(L"/_fault/h?echo=1"), body));
    return Lines(body);
}

TEST(HttpGetJson, SendsTheFourHeadersInOrderOverHttp10)
{
    const std::vector<std::string> lines = EchoedRequest();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("GET /_fault/h?echo=1 HTTP/1.0", lines[0]);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Accept", "*/*,application/json"},
        {"Accept-Charset", "UTF8"},
        {"Accept-Language", "zh-cn;q=0.8,en;q=0.6,ja;q=0.4"},
        {"Content-Type", "application/json"},
    };
    std::vector<std::pair<std::string, std::string>> ours;
    std::string agent;
    for (std::size_t i = 1; i < lines.size(); ++i)
    {
        if (lines[i].empty())
            continue;
        const auto header = SplitHeader(lines[i]);
        if (header.first == "User-Agent")
            agent = header.second;
        for (const auto& e : expected)
            if (e.first == header.first)
                ours.push_back(header);
    }
    EXPECT_EQ(expected, ours) << "each header once, with its value, in this order";
    EXPECT_EQ("kvz_win_tests", agent) << "the user agent is the program's name";
}

TEST(HttpGetJson, HeaderTextIsExactIncludingTheMissingBlanks)
{
    const std::vector<std::string> lines = EchoedRequest();
    bool rewritten = false;
    for (const std::string& line : lines)
        rewritten =
            rewritten || line == "Accept-Charset: UTF8" || line == "Content-Type: application/json";
    if (rewritten && RunningUnderWine())
        GTEST_SKIP() << "known Wine difference: WinINet there rewrites added headers as "
                        "\"Name: value\"";
    const std::vector<std::string> exact = {
        "Accept: */*,application/json",
        "Accept-Charset:UTF8",
        "Accept-Language: zh-cn;q=0.8,en;q=0.6,ja;q=0.4",
        "Content-Type:application/json",
    };
    for (const std::string& line : exact)
        EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), line)) << line;
}

struct BodyCase
{
    const char* name;
    std::wstring query;
    bool result;
    std::string body;
    const char* status; // the line on standard output
};

TEST(HttpGetJson, HandsBackTheBodyAsReceived)
{
    const std::string html = "<html><body>Not here</body></html>";
    const BodyCase cases[] = {
        {"404 with html is no failure",
         L"status=404&type=text/html&body=%3Chtml%3E%3Cbody%3ENot%20here%3C/body%3E%3C/html%3E",
         true, html, "HTTP_STATUS_code:404\n"},
        {"500 with json", L"status=500&body=%7B%7D", true, "{}", "HTTP_STATUS_code:500\n"},
        {"empty 200", L"body=", true, "", "HTTP_STATUS_code:200\n"},
        {"exactly one read", L"size=1024", true, GeneratedBody(1024), "HTTP_STATUS_code:200\n"},
        {"one past a read", L"size=1025", true, GeneratedBody(1025), "HTTP_STATUS_code:200\n"},
        {"many reads", L"size=30000", true, GeneratedBody(30000), "HTTP_STATUS_code:200\n"},
        // A zero byte inside a chunk no longer cuts the chunk short (size=1024 holds zeros).
        {"zero bytes kept", L"body=0123456789%00abc", true, std::string("0123456789\0abc", 14),
         "HTTP_STATUS_code:200\n"},
        {"no content length", L"size=3000&cl=none", true, GeneratedBody(3000),
         "HTTP_STATUS_code:200\n"},
        {"redirect followed", L"location=/_fault/r%3Fbody%3Dmoved", true, "moved",
         "HTTP_STATUS_code:200\n"},
        {"largest body kept", L"size=1048576", true, GeneratedBody(1048576),
         "HTTP_STATUS_code:200\n"},
    };
    for (const BodyCase& c : cases)
    {
        std::string body;
        StdoutCapture out(ScratchFolder() + L"\\stdout.txt");
        const bool result = GetJson(Https(L"/_fault/b?" + c.query), body);
        const std::string printed = out.Text();
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_TRUE(body == c.body)
            << c.name << ": " << body.size() << " bytes, expected " << c.body.size();
        EXPECT_EQ(c.status, printed) << c.name;
    }
}

// Whatever WinINet reads as http goes without TLS, so the rule that a plain-http package needs
// a digest or pins follows the fetch's own parse, not how the text begins. The `fetched` column
// is how Wine 8's WinINet reads each; the rule must agree with the fetch either way.
TEST(HttpGetJson, PlainHttpWorksWithoutTlsAndIsKnownAsSuch)
{
    const std::wstring plain = Http(L"/_fault/p?body=plain");
    const std::wstring rest = plain.substr(std::wstring(L"http://").size());
    const struct
    {
        const char* name;
        std::wstring url;
        bool fetched;
    } cases[] = {
        {"as written", plain, true},
        {"upper case", L"HTTP://" + rest, true},
        {"slash and backslash", L"http:/\\" + rest, true},
        {"backslashes", L"http:\\\\" + rest, true},
        {"tab before", L"\t" + plain, true},
        {"tab in the scheme", L"ht\ttp://" + rest, true},
        {"tab between the slashes", L"http:/\t/" + rest, true},
        {"blank before", L" " + plain, false},
        {"line break before", L"\r\n" + plain, false},
        {"carriage return in the scheme", L"http\r://" + rest, false},
        {"one slash", L"http:/" + rest, false},
    };
    for (const auto& c : cases)
    {
        std::string body;
        const bool fetched = GetJson(c.url, body);
        EXPECT_EQ(c.fetched, fetched) << c.name;
        EXPECT_EQ(fetched, net::FetchesOverPlainHttp(c.url)) << c.name;
        EXPECT_EQ(fetched ? "plain" : "", body) << c.name;
    }
    EXPECT_FALSE(net::FetchesOverPlainHttp(Https(L"/_fault/p")));
    EXPECT_FALSE(net::FetchesOverPlainHttp(L"\t" + Https(L"/_fault/p")));
    EXPECT_FALSE(net::FetchesOverPlainHttp(L"ftp://localhost/x.json"));
}

struct FailureCase
{
    const char* name;
    std::wstring url;
    bool traced;                  // "Download error : " on the debugger output
    net::TransferFailure failure; // as a caller deciding on retries sees it
    const char* says = "";        // what the trace says besides
};

TEST(HttpGetJson, FailuresSayWhy)
{
    using net::TransferFailure;
    const FailureCase cases[] = {
        {"certificate for another host", Url(L"https", 1, L"/_fault/c?body=x"), true,
         TransferFailure::Certificate},
        {"expired certificate", Url(L"https", 2, L"/_fault/c?body=x"), true,
         TransferFailure::Certificate},
        // WinINet, under Wine as on Windows, takes the user's own roots; the machine does not.
        {"root only the user trusts", UserRootUrl(L"/_fault/c?body=x"), true,
         TransferFailure::UntrustedCertificate, "Untrusted certificate: the one localhost"},
        {"reset mid-body", Https(L"/_fault/r?size=50000&reset=20000"), true,
         TransferFailure::ConnectionLost},
        {"reset mid-body (http)", Http(L"/_fault/r?size=50000&reset=20000"), true,
         TransferFailure::ConnectionLost},
        {"body shorter than announced", Https(L"/_fault/r?size=50000&truncate=20000"), true,
         TransferFailure::ShortBody},
        {"body longer than 1 MiB", Https(L"/_fault/l?size=1048577"), true,
         TransferFailure::TooLarge},
        {"ftp scheme", L"ftp://localhost/x.json", false, TransferFailure::Malformed},
        {"file scheme", L"file:///C:/windows/win.ini", false, TransferFailure::Malformed},
        {"no scheme", L"localhost/x.json", false, TransferFailure::Malformed},
        {"empty", L"", false, TransferFailure::Malformed},
    };
    // A reset reads as an error or as an early end, as timing has it: a broken body either way.
    const auto broken = [](TransferFailure f) {
        return f == TransferFailure::ShortBody ? TransferFailure::ConnectionLost : f;
    };
    for (const FailureCase& c : cases)
    {
        DebugOutputCapture debug;
        const net::JsonReply reply = net::HttpGetJson(c.url, net::kJsonRequestLimits);
        const bool traced = debug.Text().find("Download error : ") != std::string::npos;
        EXPECT_EQ(c.traced, traced) << c.name << ": " << debug.Text();
        EXPECT_NE(debug.Text().find(c.says), std::string::npos) << c.name << ": " << debug.Text();
        EXPECT_EQ(broken(c.failure), broken(reply.failure)) << c.name;
    }
}

// Any program of the user can leave cookies for a host in WinINet's store, and a reply can
// set them: none go out with a request.
TEST(HttpGetJson, SendsNoCookies)
{
    std::string body;
    ASSERT_TRUE(
        GetJson(Https(L"/_fault/k?header=Set-Cookie:crumb_reply%3Dset%3B%20Path%3D/"), body));
    ASSERT_TRUE(
        GetJson(Http(L"/_fault/k?header=Set-Cookie:crumb_plain%3Dset%3B%20Path%3D/"), body));
    for (const std::wstring& site : {Https(L"/"), Http(L"/")})
        ASSERT_TRUE(InternetSetCookieW(site.c_str(), L"crumb_stored", L"by-the-user"));
    for (const std::wstring& url : {Https(L"/_fault/k?echo=1"), Http(L"/_fault/k?echo=1")})
    {
        ASSERT_TRUE(GetJson(url, body));
        EXPECT_EQ(body.find("Cookie"), std::string::npos) << body;
        EXPECT_EQ(body.find("crumb_"), std::string::npos) << body;
    }
}

TEST(HttpGetJson, NothingListeningFailsWithinTheConnectTimeouts)
{
    // A port of ours that is closed again: nothing listens there.
    const auto start = std::chrono::steady_clock::now();
    std::string body;
    EXPECT_FALSE(GetJson(L"https://localhost:1/api/rx/VelmoraRXApp", body));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(25)) << "10 s and one retry at most";
}

// The stand-in's open connections on each port, per its /_control/connections (`query` may
// narrow them to a request path); port -1 adds all ports up.
int OpenConnections(const std::wstring& query, int port)
{
    std::string body;
    if (!GetJson(Http(L"/_control/connections" + query), body))
        return -1;
    int total = 0;
    for (std::size_t at = body.find('"'); at != std::string::npos; at = body.find('"', at))
    {
        int onPort = 0;
        int count = 0;
        if (std::sscanf(body.c_str() + at, "\"%d\": %d", &onPort, &count) != 2)
            return -1;
        if (port < 0 || onPort == port)
            total += count;
        at = body.find(',', at);
    }
    return total;
}

// Whether the stand-in closes those connections within `within`: it sees the client's close
// at once, so a connection still open is one the client still holds.
bool ConnectionsEnd(const std::wstring& query, int port, std::chrono::milliseconds within)
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    for (;;)
    {
        if (OpenConnections(query, port) == 0)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Sleep(50);
    }
}

// Time-outs longer than the deadline, as when connecting and the handshake took most of it.
constexpr net::TransferLimits kLongTimeouts{2000, 1, 10000, 10000, 4000, 2000, 1u << 20};

struct StallCase
{
    const char* name;
    std::wstring url;
    net::TransferLimits limits;
    std::wstring path; // of the request, to find its connection
};

TEST(HttpGetJson, AStalledServerDoesNotHoldTheCallerNorKeepItsConnection)
{
    const StallCase cases[] = {
        {"no reply after the request (http)", Http(L"/_fault/s1?stall=20000&body=late"), kQuick,
         L"/_fault/s1"},
        {"no reply after the request (https)", Https(L"/_fault/s2?stall=20000&body=late"), kQuick,
         L"/_fault/s2"},
        {"body trickles past the deadline", Https(L"/_fault/s3?size=100&trickle=400&piece=1"),
         kQuick, L"/_fault/s3"},
        {"no reply, time-outs longer than the deadline", Http(L"/_fault/s4?stall=20000"),
         kLongTimeouts, L"/_fault/s4"},
    };
    for (const StallCase& c : cases)
    {
        const auto start = std::chrono::steady_clock::now();
        std::string body;
        EXPECT_FALSE(GetJson(c.url, body, c.limits)) << c.name;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(elapsed, std::chrono::milliseconds(c.limits.totalDeadlineMs + 4000)) << c.name;
        EXPECT_TRUE(ConnectionsEnd(L"?path=" + c.path, -1, std::chrono::seconds(2)))
            << c.name << ": the request was given up but its connection is still open";
    }
}

// A server that accepts and never answers the TLS handshake; the request never gets a path.
TEST(HttpGetJson, AStalledTlsHandshakeDoesNotHoldTheCallerNorKeepItsConnection)
{
    const auto start = std::chrono::steady_clock::now();
    std::string body;
    EXPECT_FALSE(GetJson(Url(L"https", 3, L"/_fault/s"), body, kQuick));
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(kQuick.totalDeadlineMs + 4000));
    const bool ended = ConnectionsEnd(L"", StandInPort() + 3, std::chrono::seconds(2));
    if (!ended && RunningUnderWine())
        GTEST_SKIP() << "known Wine difference: nothing bounds or interrupts WinINet's TLS "
                        "handshake there (no time-out applies to it, closing the handles does "
                        "not end it); its helper thread holds the connection until the server "
                        "closes it";
    EXPECT_TRUE(ended);
}

} // namespace
