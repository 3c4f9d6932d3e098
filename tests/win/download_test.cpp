#include "net/FileDownload.h"

#include "net/Sha256Digest.h"
#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

using namespace nettest;

namespace {

// One attempt each, so that the failure cases stay quick.
constexpr net::TransferLimits kQuick{2000,     1, 1500, 1500, 4000, 60000, 0, net::kMaxPackageBytes,
                                     {0, 0, 0}};
// Retries as the installer makes them, after short pauses.
constexpr net::TransferLimits kRetrying{
    2000, 1, 1500, 1500, 4000, 60000, 0, net::kMaxPackageBytes, {2, 50, 150}};

// A download under test: its target in the scratch folder and the positions it reports.
class DownloadTest : public ::testing::Test
{
protected:
    std::wstring Target(const std::wstring& name = L"package.bin") const
    {
        return ScratchFolder() + L"\\" + name;
    }

    bool Download(const std::wstring& url, const std::wstring& target,
                  const std::optional<net::Sha256Digest>& digest = std::nullopt,
                  const net::TransferLimits& limits = kQuick)
    {
        return net::DownloadToFile(
            url, target, [this](int percent) { m_positions.push_back(percent); }, digest, limits);
    }

    std::vector<int> m_positions;
};

TEST_F(DownloadTest, TheBarMovesAsTheBodyArrivesThen100)
{
    // 1 MB at 1 MB/s, in 20 pieces: reads as large as the buffer, whatever has arrived, would
    // wait for the whole body and report 99 and 100 alone.
    const std::wstring target = Target();
    ASSERT_TRUE(Download(Https(L"/_fault/p?size=1000000&trickle=50&piece=50000"), target));
    ASSERT_FALSE(m_positions.empty());
    EXPECT_EQ(100, m_positions.back());
    EXPECT_GE(m_positions.size(), 5u) << "at least four positions before the end";
    EXPECT_EQ(m_positions.end(),
              std::adjacent_find(m_positions.begin(), m_positions.end(), std::greater_equal<int>()))
        << "each position once, rising";
    EXPECT_TRUE(ReadFileBytes(target) == GeneratedBody(1000000));
    EXPECT_FALSE(FileExists(target + L".part"));
}

TEST_F(DownloadTest, WithoutContentLengthOnly100IsSet)
{
    const std::wstring target = Target();
    ASSERT_TRUE(Download(Https(L"/_fault/p?size=25000&cl=none"), target));
    EXPECT_EQ((std::vector<int>{100}), m_positions);
    EXPECT_TRUE(ReadFileBytes(target) == GeneratedBody(25000));
}

TEST_F(DownloadTest, EmptyBodyMakesAnEmptyFile)
{
    const std::wstring target = Target();
    ASSERT_TRUE(Download(Https(L"/_fault/p?body="), target));
    EXPECT_TRUE(FileExists(target));
    EXPECT_EQ("", ReadFileBytes(target));
    EXPECT_EQ((std::vector<int>{100}), m_positions);
}

TEST_F(DownloadTest, ReplacesAnExistingFileAndFollowsRedirects)
{
    const std::wstring target = Target();
    WriteFileBytes(target, std::string(100000, 'x'));
    ASSERT_TRUE(Download(Https(L"/_fault/p?location=/_fault/q%3Fsize%3D3000"), target));
    EXPECT_TRUE(ReadFileBytes(target) == GeneratedBody(3000)) << "replaced, not appended to";
}

TEST_F(DownloadTest, RefusesARedirectFromHttpsToHttp)
{
    std::wstring location;
    for (wchar_t c : Http(L"/_fault/q?size=3000"))
    {
        static const wchar_t* const kHex = L"0123456789ABCDEF";
        if (c == L':' || c == L'/' || c == L'?' || c == L'=')
            location += std::wstring{L'%', kHex[c >> 4], kHex[c & 15]};
        else
            location += c;
    }
    const std::wstring target = Target(L"redirected.bin");
    EXPECT_FALSE(Download(Https(L"/_fault/p?location=" + location), target));
    EXPECT_FALSE(FileExists(target));
}

TEST_F(DownloadTest, PlainHttpWithoutProgress)
{
    const std::wstring target = Target();
    ASSERT_TRUE(
        net::DownloadToFile(Http(L"/_fault/p?size=12345"), target, {}, std::nullopt, kQuick));
    EXPECT_TRUE(ReadFileBytes(target) == GeneratedBody(12345));
}

TEST_F(DownloadTest, ChecksTheDigestWhenOneIsExpected)
{
    net::Sha256Digest good{}, empty{}, wrong{};
    ASSERT_TRUE(net::ParseSha256Hex(
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", empty));
    ASSERT_TRUE(Download(Https(L"/_fault/p?body="), Target(L"empty.bin"), empty));

    const std::wstring target = Target();
    WriteFileBytes(target, "earlier package");
    // One digit off the digest of nothing.
    ASSERT_TRUE(net::ParseSha256Hex(
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b856", wrong));
    EXPECT_FALSE(Download(Https(L"/_fault/p?size=3000"), target, wrong));
    EXPECT_EQ("earlier package", ReadFileBytes(target)) << "a wrong file never replaces it";
    EXPECT_FALSE(FileExists(target + L".part"));

    ASSERT_TRUE(net::ParseSha256Hex(
        "e8ca4bf83f56152c01649f88bd7c91b15ae8137d9a709572e04fae55894ea75e", good));
    ASSERT_TRUE(Download(Https(L"/_fault/p?size=3000"), target, good));
    EXPECT_TRUE(ReadFileBytes(target) == GeneratedBody(3000));
}

struct FailureCase
{
    const char* name;
    std::wstring url;
    bool traced;
};

// Every failure leaves an earlier complete package as it was, and no ".part" behind.
TEST_F(DownloadTest, FailuresKeepTheEarlierPackage)
{
    const FailureCase cases[] = {
        {"404", Https(L"/_fault/f?status=404&body=missing"), false},
        {"500", Https(L"/_fault/f?status=500"), false},
        {"body shorter than announced", Https(L"/_fault/f?size=25000&truncate=12000"), true},
        {"announced more than sent", Https(L"/_fault/f?size=25000&cl=30000"), true},
        {"reset mid-body", Https(L"/_fault/f?size=60000&reset=20000"), true},
        {"reset mid-body (http)", Http(L"/_fault/f?size=60000&reset=20000"), true},
        {"certificate for another host", Url(L"https", 1, L"/_fault/f?size=10"), true},
        {"expired certificate", Url(L"https", 2, L"/_fault/f?size=10"), true},
        {"root only the user trusts", UserRootUrl(L"/_fault/f?size=10"), true},
        {"ftp scheme", L"ftp://localhost/package.bin", false},
        {"file scheme", L"file:///C:/windows/win.ini", false},
        {"not a URL", L"package.bin", false},
        {"stall before the reply", Https(L"/_fault/f?stall=20000&size=10"), true},
        {"stall in the body", Https(L"/_fault/f?size=30000&trickle=5000&piece=10240"), true},
        {"no TLS handshake", Url(L"https", 3, L"/_fault/f"), true},
    };
    const std::wstring target = Target();
    for (const FailureCase& c : cases)
    {
        WriteFileBytes(target, "earlier package");
        DebugOutputCapture debug;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(Download(c.url, target)) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << c.name;
        EXPECT_EQ("earlier package", ReadFileBytes(target)) << c.name;
        EXPECT_FALSE(FileExists(target + L".part")) << c.name;
        const bool traced = debug.Text().find("Download error : ") != std::string::npos;
        EXPECT_EQ(c.traced, traced) << c.name << ": " << debug.Text();
    }
}

TEST_F(DownloadTest, NoFileAndNoProgressFor404)
{
    const std::wstring target = Target(L"never.bin");
    EXPECT_FALSE(Download(Https(L"/_fault/f?status=404&body=gone"), target));
    EXPECT_FALSE(FileExists(target));
    EXPECT_TRUE(m_positions.empty());
}

TEST_F(DownloadTest, UnwritableTargetsFail)
{
    // A URL ending in "/" makes the working folder itself the target; its ".part" would
    // replace someone else's file beside the folder.
    const std::wstring beside = ScratchFolder() + L".part";
    WriteFileBytes(beside, "not ours");
    EXPECT_FALSE(Download(Https(L"/_fault/f?size=10"), ScratchFolder()));
    EXPECT_EQ("not ours", ReadFileBytes(beside));
    DeleteFileW(beside.c_str());
    EXPECT_FALSE(Download(Https(L"/_fault/f?size=10"), ScratchFolder() + L"\\missing\\p.bin"));
    // A ".part" that is a second name of a file elsewhere is neither emptied nor written.
    const std::wstring target = Target();
    const std::wstring elsewhere = ScratchFolder() + L"\\elsewhere.bin";
    WriteFileBytes(elsewhere, "someone else's");
    DeleteFileW((target + L".part").c_str());
    ASSERT_TRUE(CreateHardLinkW((target + L".part").c_str(), elsewhere.c_str(), nullptr));
    EXPECT_FALSE(Download(Https(L"/_fault/f?size=10"), target));
    EXPECT_EQ("someone else's", ReadFileBytes(elsewhere));
    DeleteFileW((target + L".part").c_str());
}

TEST_F(DownloadTest, ASecondDownloadToTheSamePathFailsInsteadOfInterleaving)
{
    const std::wstring target = Target();
    WriteFileBytes(target, "earlier package");
    // The first download's ".part", still being written. Shared, so that only the second
    // download's own exclusive open can refuse it.
    HANDLE part = CreateFileW((target + L".part").c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, part);
    EXPECT_FALSE(Download(Https(L"/_fault/f?size=3000"), target));
    CloseHandle(part);
    EXPECT_EQ("earlier package", ReadFileBytes(target));
    EXPECT_TRUE(FileExists(target + L".part")) << "the other download's file is not ours to remove";
}

TEST(DownloadToFileDefaults, NothingListeningFailsWithinTheConnectTimeouts)
{
    const std::wstring target = ScratchFolder() + L"\\unreachable.bin";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DownloadToFile(L"https://localhost:1/p.bin", target, {}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20))
        << "three attempts of 3 s (and one connect retry) at most, 4 s of pauses";
    EXPECT_FALSE(FileExists(target));
}

struct RetryCase
{
    const char* name;
    std::wstring url;
    std::wstring path;  // of the url, counted in the stand-in's log; empty: connections to port+1
    std::wstring fault; // the path's passing fault (/_control/set)
    std::size_t requests;
    bool ok;
};

TEST_F(DownloadTest, TransientFailuresAreRetriedPermanentOnesAreNot)
{
    const std::wstring toHttp =
        L"location=http%3A%2F%2Flocalhost%3A" + std::to_wstring(StandInPort() + 3) + L"%2Fq";
    const RetryCase cases[] = {
        {"503 once", Https(L"/_fault/t1?size=30000"), L"/_fault/t1", L"failfirst=1&failstatus=503",
         2, true},
        {"429 once", Https(L"/_fault/t2?size=30000"), L"/_fault/t2", L"failfirst=1&failstatus=429",
         2, true},
        {"reset once", Http(L"/_fault/t3?size=300000"), L"/_fault/t3",
         L"failfirst=1&failreset=1000", 2, true},
        {"503 every time", Https(L"/_fault/t4?status=503"), L"/_fault/t4", L"", 3, false},
        {"stall every time", Https(L"/_fault/t5?size=30000&trickle=3000&piece=10240"),
         L"/_fault/t5", L"", 3, false},
        {"404", Https(L"/_fault/t6?status=404"), L"/_fault/t6", L"", 1, false},
        {"certificate for another host", Url(L"https", 1, L"/_fault/t7?size=10"), L"", L"", 1,
         false},
        {"https redirected to http", Https(L"/_fault/t8?" + toHttp), L"/_fault/t8", L"", 1, false},
        // The request went out (WinINet took the user's root), its reply was not read.
        {"root only the user trusts", UserRootUrl(L"/_fault/t10?size=10"), L"/_fault/t10", L"", 1,
         false},
        {"digest mismatch", Https(L"/_fault/t9?size=3000"), L"/_fault/t9", L"", 1, false},
    };
    const net::Sha256Digest wrong{};
    const std::wstring target = Target();
    for (const RetryCase& c : cases)
    {
        WriteFileBytes(target, "earlier package");
        StandIn(L"clear-log");
        if (!c.fault.empty())
            StandIn(L"set?path=" + c.path + L"&" + c.fault);
        const bool digest = c.path == L"/_fault/t9";
        EXPECT_EQ(c.ok, Download(c.url, target, digest ? std::make_optional(wrong) : std::nullopt,
                                 kRetrying))
            << c.name;
        const std::string counted = c.path.empty()
                                        ? "\"port\": " + std::to_string(StandInPort() + 1) + ","
                                        : "\"path\": \"" + Narrow(c.path) + "\"";
        EXPECT_EQ(c.requests, LoggedTimes(counted, c.requests)) << c.name;
        EXPECT_FALSE(FileExists(target + L".part")) << c.name;
        if (!c.ok)
        {
            EXPECT_EQ("earlier package", ReadFileBytes(target)) << c.name;
        }
    }
    StandIn(L"clear");
}

std::string Inverted(std::string bytes)
{
    for (char& c : bytes)
        c = static_cast<char>(255 - static_cast<unsigned char>(c));
    return bytes;
}

struct ResumeCase
{
    const char* name;
    std::wstring options; // of the ranged body
    std::wstring fault;   // besides the first attempt's reset
    const char* ifRange;  // how the second request's If-Range begins; null: no range asked
    std::size_t requests;
    bool changed; // the package changed between the attempts
};

// 300,000 bytes with validators, reset after 100,000 on the first attempt.
TEST_F(DownloadTest, ABrokenDownloadResumesWhenTheFirstAnswerAllowsItElseStartsOver)
{
    const ResumeCase cases[] = {
        {"ETag", L"", L"", "If-Range: \\\"", 2, false},
        {"Last-Modified", L"&noetag=1", L"", "If-Range: Mon, 01 Jan 2024 00:00:00 GMT", 2, false},
        {"no validator", L"&noetag=1&nolastmod=1", L"", nullptr, 2, false},
        {"no Accept-Ranges", L"&noranges=1", L"", nullptr, 2, false},
        {"changed in between", L"", L"&failchange=1", "If-Range: \\\"", 2, true},
        {"wrong Content-Range", L"&contentrange=bytes%200-199999/300000", L"", "If-Range: \\\"", 3,
         false},
    };
    const std::wstring target = Target();
    for (const ResumeCase& c : cases)
    {
        StandIn(L"clear");
        StandIn(L"clear-log");
        StandIn(L"set?path=/_fault/r&failfirst=1&failreset=100000" + c.fault);
        m_positions.clear();
        ASSERT_TRUE(Download(Https(L"/_fault/r?size=300000&ranges=1" + c.options), target,
                             std::nullopt, kRetrying))
            << c.name;
        const std::string body = GeneratedBody(300000);
        EXPECT_TRUE(ReadFileBytes(target) == (c.changed ? Inverted(body) : body)) << c.name;
        const std::string log = StandIn(L"log");
        EXPECT_EQ(c.requests, LoggedTimes("\"path\": \"/_fault/r\"", c.requests)) << c.name;
        const bool asked = c.ifRange != nullptr;
        // From where the file ended: a read cut by the reset is lost, so not always 100,000.
        EXPECT_EQ(asked, log.find("\"Range: bytes=") != std::string::npos) << c.name;
        EXPECT_EQ(asked, asked && log.find(c.ifRange) != std::string::npos) << c.name << log;
        // Within an attempt the bar never goes back; a resumed one goes on where it was.
        const bool resumed = asked && !c.changed && c.requests == 2;
        const auto back =
            std::adjacent_find(m_positions.begin(), m_positions.end(), std::greater<int>());
        EXPECT_EQ(resumed, back == m_positions.end()) << c.name;
        ASSERT_FALSE(m_positions.empty());
        EXPECT_EQ(100, m_positions.back()) << c.name;
    }
    StandIn(L"clear");
}

TEST_F(DownloadTest, APackageBeyondTheBoundIsRefusedBeforeItIsWritten)
{
    net::TransferLimits small = kRetrying;
    small.maxPackageBytes = 100000;
    const struct
    {
        const char* name;
        std::wstring url;
        bool ok;
    } cases[] = {
        {"announced at the bound", Https(L"/_fault/b1?size=100000"), true},
        {"announced beyond it", Https(L"/_fault/b2?size=100001"), false},
        {"unannounced, at the bound", Https(L"/_fault/b3?size=100000&cl=none"), true},
        {"unannounced, beyond it", Https(L"/_fault/b4?size=300000&cl=none"), false},
    };
    const std::wstring target = Target();
    for (const auto& c : cases)
    {
        WriteFileBytes(target, "earlier package");
        StandIn(L"clear-log");
        EXPECT_EQ(c.ok, Download(c.url, target, std::nullopt, small)) << c.name;
        EXPECT_EQ(c.ok ? GeneratedBody(100000) : "earlier package", ReadFileBytes(target))
            << c.name;
        EXPECT_FALSE(FileExists(target + L".part")) << c.name;
        EXPECT_EQ(1u, LoggedTimes("\"path\": \"/_fault/b", 1)) << c.name << ": never retried";
    }
}

// A body that keeps trickling in renews every time-out; the overall deadline, as long as the
// announced size takes at the least rate, ends it even inside a read that is still waiting for
// its bytes (the first wants 10,240, which the slow case takes 8 s to send).
TEST_F(DownloadTest, ABodyTooSlowForItsSizeEndsAtTheDeadline)
{
    net::TransferLimits limits = kQuick;
    limits.totalDeadlineMs = 500;
    limits.minBytesPerSecond = 5000; // 20,000 bytes may take 4 s
    limits.maxPackageBytes = 20000;
    const struct
    {
        const char* name;
        std::wstring url;
        bool ok;
    } cases[] = {
        {"longer than the least time, fast enough",
         Https(L"/_fault/d1?size=20000&trickle=100&piece=2000"), true},
        {"too slow", Https(L"/_fault/d2?size=20000&trickle=400&piece=500"), false},
        {"too slow, unannounced", Https(L"/_fault/d3?size=20000&cl=none&trickle=400&piece=500"),
         false},
    };
    const std::wstring target = Target();
    for (const auto& c : cases)
    {
        WriteFileBytes(target, "earlier package");
        DebugOutputCapture debug;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(c.ok, Download(c.url, target, std::nullopt, limits)) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(7)) << c.name;
        EXPECT_EQ(c.ok ? GeneratedBody(20000) : "earlier package", ReadFileBytes(target)) << c.name;
        EXPECT_EQ(c.ok, debug.Text().find("not complete after 4000 ms") == std::string::npos)
            << c.name << ": " << debug.Text();
    }
}

} // namespace
