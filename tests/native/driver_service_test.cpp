#include "workflows/DriverServiceProtocol.h"

#include "net/Sha256Digest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DriverServiceOsToken, FollowsTheFamilyCode)
{
    const struct
    {
        int family;
        const char* token;
    } cases[] = {
        {0, "win7"}, {1, "win7"},  {5, "win7"},   {6, "win7"},  {7, "win8"},
        {8, "win8"}, {9, "win10"}, {10, "win10"}, {-1, "win7"}, {1000, "win10"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.token, GetDriverServiceOsToken(c.family)) << c.family;
}

TEST(DriverServiceUrl, IsPlainConcatenationPerEndpoint)
{
    EXPECT_EQ("https://svc.example:8443/api/rx/RealtekDrivers?os=win10"
              "&wirelessType=bluetooth&wirelessProduct=8821CU",
              BuildDriverServiceUrl("svc.example:8443", Command::Bluetooth, 9));
    EXPECT_EQ(
        "https://h/api/rx/RealtekDrivers?os=win8&wirelessType=bluetooth&wirelessProduct=8821CU",
        BuildDriverServiceUrl("h", Command::Bluetooth, 8));
    EXPECT_EQ(
        "https://h/api/rx/RealtekDrivers?os=win7&wirelessType=bluetooth&wirelessProduct=8821CU",
        BuildDriverServiceUrl("h", Command::Bluetooth, 0));
    // The family code plays no part for the fixed endpoints.
    EXPECT_EQ("https://h/api/rx/VelmoraRXApp", BuildDriverServiceUrl("h", Command::Receiver, 9));
    EXPECT_EQ("https://h/api/rx/QuillHotspot", BuildDriverServiceUrl("h", Command::Hotspot, 0));
}

TEST(DriverServiceUrl, UsesTheConfiguredHost)
{
    const std::string url = BuildDriverServiceUrl(Command::Receiver, 9);
    EXPECT_EQ(0u, url.find("https://"));
    EXPECT_NE(std::string::npos, url.find("/api/rx/VelmoraRXApp"));
    EXPECT_GT(url.size(), std::string("https:///api/rx/VelmoraRXApp").size());
}

struct ReplyCase
{
    const char* name;
    std::string body;
    bool accepted;
    std::string url; // when accepted
};

TEST(JudgeDriverServiceReply, AcceptsOnlyTrueStatusAndNonEmptyUrl)
{
    const ReplyCase cases[] = {
        {"plain", R"({"status":true,"downloadURL":"https://h/p.zip"})", true, "https://h/p.zip"},
        {"other members ignored", R"({"x":[1,{}],"status":true,"downloadURL":"u","y":null})", true,
         "u"},
        {"status 1", R"({"status":1,"downloadURL":"u"})", true, "u"},
        {"status -3", R"({"status":-3,"downloadURL":"u"})", true, "u"},
        {"status 0.5", R"({"status":0.5,"downloadURL":"u"})", true, "u"},
        {"status 0", R"({"status":0,"downloadURL":"u"})", false, ""},
        {"status 0.0", R"({"status":0.0,"downloadURL":"u"})", false, ""},
        {"status false", R"({"status":false,"downloadURL":"u"})", false, ""},
        {"status null", R"({"status":null,"downloadURL":"u"})", false, ""},
        {"status absent", R"({"downloadURL":"u"})", false, ""},
        {"url empty", R"({"status":true,"downloadURL":""})", false, ""},
        {"url absent", R"({"status":true})", false, ""},
        {"url null", R"({"status":true,"downloadURL":null})", false, ""},
        {"url number", R"({"status":true,"downloadURL":42})", true, "42"},
        {"url negative", R"({"status":true,"downloadURL":-7})", true, "-7"},
        {"url true", R"({"status":true,"downloadURL":true})", true, "true"},
        {"url false", R"({"status":true,"downloadURL":false})", true, "false"},
        {"url kept unchanged", R"({"status":true,"downloadURL":" https://h/a b?q=1 "})", true,
         " https://h/a b?q=1 "},
        {"url utf-8 kept as bytes", "{\"status\":true,\"downloadURL\":\"https://h/\xC3\xA9.exe\"}",
         true, "https://h/\xC3\xA9.exe"},
        {"url escaped utf-8", R"({"status":true,"downloadURL":"https://h/\u00e9.exe"})", true,
         "https://h/\xC3\xA9.exe"},
        {"comments",
         "// service reply\n{ /* ok */ \"status\": true, \"downloadURL\": \"u\" // x\n}", true,
         "u"},
        {"duplicate member: last wins", R"({"status":false,"status":true,"downloadURL":"u"})", true,
         "u"},
        // Kinds the conversions cannot take: a failed reply, never an exception.
        {"status string", R"({"status":"true","downloadURL":"u"})", false, ""},
        {"status array", R"({"status":[true],"downloadURL":"u"})", false, ""},
        {"status object", R"({"status":{},"downloadURL":"u"})", false, ""},
        {"url array", R"({"status":true,"downloadURL":["u"]})", false, ""},
        {"url object", R"({"status":true,"downloadURL":{"u":1}})", false, ""},
        // A zero inside the URL would cut it short on the way to the wide form.
        {"url with zero", R"({"status":true,"downloadURL":"https://h/a\u0000.exe"})", false, ""},
        // Roots that are no object.
        {"root array", R"([{"status":true,"downloadURL":"u"}])", false, ""},
        {"root string", R"("status")", false, ""},
        {"root number", "1", false, ""},
        {"root null", "null", false, ""},
        {"empty body", "", false, ""},
        {"blank body", "  \r\n", false, ""},
        {"not json", "<html><body>404 Not Found</body></html>", false, ""},
        {"truncated", R"({"status":true,"downloadURL":"u")", false, ""},
        {"zero byte before object", std::string(1, '\0') + R"({"status":true,"downloadURL":"u"})",
         false, ""},
    };
    for (const ReplyCase& c : cases)
    {
        DriverPackageOffer offer;
        offer.downloadUrl = "untouched";
        const bool accepted = JudgeDriverServiceReply(c.body, offer);
        EXPECT_EQ(c.accepted, accepted) << c.name;
        if (accepted)
        {
            EXPECT_EQ(c.url, offer.downloadUrl) << c.name;
            EXPECT_FALSE(offer.sha256.has_value()) << c.name;
        }
        else
        {
            EXPECT_EQ("untouched", offer.downloadUrl) << c.name << ": a failure leaves the offer";
        }
    }
}

TEST(JudgeDriverServiceReply, TakesAnOptionalDigestButRefusesAMalformedOne)
{
    const std::string digest = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
    const auto reply = [](const std::string& member) {
        return R"({"status":true,"downloadURL":"https://h/p.exe")" + member + "}";
    };

    DriverPackageOffer offer;
    ASSERT_TRUE(JudgeDriverServiceReply(reply(R"(,"sha256":")" + digest + "\""), offer));
    ASSERT_TRUE(offer.sha256.has_value());
    EXPECT_EQ(digest, net::Sha256ToHex(*offer.sha256));

    std::string upper = digest;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(JudgeDriverServiceReply(reply(R"(,"sha256":")" + upper + "\""), offer));
    EXPECT_EQ(digest, net::Sha256ToHex(*offer.sha256));

    const std::string malformed[] = {
        R"(,"sha256":")" + digest.substr(1) + "\"",
        R"(,"sha256":")" + digest + "0\"",
        R"(,"sha256":")" + digest.substr(0, 63) + "z\"",
        R"(,"sha256":"")",
        R"(,"sha256":null)",
        R"(,"sha256":12)",
        R"(,"sha256":[")" + digest + "\"]",
    };
    for (const std::string& member : malformed)
    {
        DriverPackageOffer refused;
        EXPECT_FALSE(JudgeDriverServiceReply(reply(member), refused)) << member;
    }
}

TEST(JudgeDriverServiceReply, SurvivesHostileNesting)
{
    // Deep nesting makes JsonCpp throw; it must come back as a failed reply.
    const std::string deep =
        "{\"status\":true,\"downloadURL\":\"u\",\"x\":" + std::string(100000, '[') +
        std::string(100000, ']') + "}";
    DriverPackageOffer offer;
    EXPECT_FALSE(JudgeDriverServiceReply(deep, offer));
}

TEST(DriverServiceAnswer, ABusyServerIsAskedAgainAMalformedReplyNot)
{
    using net::TransferFailure;
    const std::string good = R"({"status":true,"downloadURL":"https://h/p.zip"})";
    const struct
    {
        TransferFailure transfer;
        int status;
        std::string body;
        TransferFailure failure;
    } cases[] = {
        {TransferFailure::None, 200, good, TransferFailure::None},
        {TransferFailure::None, 500, good, TransferFailure::None}, // judged by its body
        {TransferFailure::None, 503, "<html>busy</html>", TransferFailure::ServerBusy},
        {TransferFailure::None, 429, "", TransferFailure::ServerBusy},
        {TransferFailure::None, 404, "<html></html>", TransferFailure::Refused},
        {TransferFailure::None, 200, "<html></html>", TransferFailure::Malformed},
        {TransferFailure::None, 200, "", TransferFailure::Malformed},
        {TransferFailure::ShortBody, 200, good.substr(0, 10), TransferFailure::ShortBody},
        {TransferFailure::Certificate, -1, "", TransferFailure::Certificate},
    };
    for (const auto& c : cases)
    {
        DriverPackageOffer offer;
        EXPECT_EQ(c.failure, JudgeDriverServiceAnswer(c.transfer, c.status, c.body, offer))
            << c.status << " " << c.body;
    }
}

} // namespace
