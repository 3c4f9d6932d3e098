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

constexpr net::TransferLimits kQuick{2000, 1, 1500, 1500, 4000, 0, 0};

// A download under test: its target in the scratch folder and the positions it reports.
class DownloadTest : public ::testing::Test
{
protected:
    std::wstring Target(const std::wstring& name = L"package.bin") const
    {
        return ScratchFolder() + L"\\" + name;
    }

    bool Download(const std::wstring& url, const std::wstring& target,
                  const std::optional<net::Sha256Digest>& digest = std::nullopt)
    {
        return net::DownloadToFile(
            url, target, [this](int percent) { m_positions.push_back(percent); }, digest, kQuick);
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
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
        << "3 s and one retry at most";
    EXPECT_FALSE(FileExists(target));
}

} // namespace
