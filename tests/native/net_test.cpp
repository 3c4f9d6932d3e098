#include "net/Sha256Digest.h"
#include "net/TransferMath.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

struct ProgressCase
{
    std::uint64_t written;
    std::uint64_t announced;
    int position;
};

TEST(ProgressPosition, FollowsWrittenShareRoundingDown)
{
    const ProgressCase cases[] = {
        {0, 25000, 0},
        {10240, 25000, 40},
        {20480, 25000, 81},
        {25000, 25000, 100},
        {50000000, 100000000, 50},
        {99, 100, 99},
        {1, 3, 33},
        // Products that overflow 32 bits, and 64 bits for the last ones.
        {kMax32 - 1, kMax32, 99},
        {kMax32 / 2, kMax32, 49},
        {kMax64 / 2, kMax64, 49},
        {kMax64 - 1, kMax64, 99},
        // A server that sends more than it announced cannot push the bar past 100.
        {30000, 25000, 100},
        {kMax64, 1, 100},
    };
    for (const ProgressCase& c : cases)
        EXPECT_EQ(c.position, net::ProgressPosition(c.written, c.announced))
            << c.written << " of " << c.announced;
}

TEST(ProgressPosition, NeverFallsBackDuringADownload)
{
    const std::uint64_t announced = 100000000;
    int last = 0;
    for (std::uint64_t written = 0; written <= announced; written += 10240)
    {
        const int position = net::ProgressPosition(written, announced);
        ASSERT_GE(position, last) << written;
        ASSERT_LE(position, 100);
        last = position;
    }
}

TEST(ParseContentLength, AcceptsOnlyPlainDecimalNumbers)
{
    const struct
    {
        std::wstring text;
        std::uint64_t value;
    } cases[] = {
        {L"25000", 25000},
        {L"0", 0},
        {L" 42 ", 42},
        {L"4294967296", 4294967296ull},
        {L"18446744073709551615", kMax64},
        {L"18446744073709551616", 0}, // one past 64 bits: not a usable length
        {L"", 0},
        {L"-5", 0},
        {L"+5", 0},
        {L"12abc", 0},
        {L"abc", 0},
        {L"1 2", 0},
        {L"0x10", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, net::ParseContentLength(c.text))
            << std::string(c.text.begin(), c.text.end());
}

TEST(IsCompleteBody, RequiresTheAnnouncedCountWhenThereIsOne)
{
    EXPECT_TRUE(net::IsCompleteBody(25000, 25000));
    EXPECT_TRUE(net::IsCompleteBody(0, 0));
    EXPECT_TRUE(net::IsCompleteBody(123, 0)); // nothing announced
    EXPECT_FALSE(net::IsCompleteBody(24999, 25000));
    EXPECT_FALSE(net::IsCompleteBody(0, 25000));
}

TEST(AgentNameFromModulePath, IsTheFileNameWithoutExtension)
{
    EXPECT_EQ(L"Installer", net::AgentNameFromModulePath(L"C:\\Program Files\\KVZ\\Installer.exe"));
    EXPECT_EQ(L"my.tool", net::AgentNameFromModulePath(L"Z:\\a.b\\my.tool.exe"));
    EXPECT_EQ(L"noext", net::AgentNameFromModulePath(L"C:\\x.y\\noext"));
    EXPECT_EQ(L"Installer", net::AgentNameFromModulePath(L"Installer.exe"));
}

TEST(Sha256Hex, ParsesExactly64HexDigitsInEitherCase)
{
    const std::string lower("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    std::string upper = lower;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    net::Sha256Digest digest{};
    ASSERT_TRUE(net::ParseSha256Hex(lower, digest));
    EXPECT_EQ(0xe3, digest[0]);
    EXPECT_EQ(0x55, digest[31]);
    EXPECT_EQ(lower, net::Sha256ToHex(digest));
    ASSERT_TRUE(net::ParseSha256Hex(upper, digest));
    EXPECT_EQ(lower, net::Sha256ToHex(digest));

    const std::vector<std::string> bad = {
        "",
        lower.substr(1),
        lower + "0",
        lower.substr(0, 63) + "g",
        " " + lower.substr(1),
        lower.substr(0, 62) + std::string("\0"
                                          "0",
                                          2),
        "0x" + lower.substr(2),
    };
    for (const std::string& text : bad)
    {
        net::Sha256Digest untouched{};
        untouched[0] = 0xAB;
        EXPECT_FALSE(net::ParseSha256Hex(text, untouched)) << text;
        EXPECT_EQ(0xAB, untouched[0]) << "a rejected text must not change the digest";
    }
}

} // namespace
