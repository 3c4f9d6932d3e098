#include "workflows/DriverServiceProtocol.h"

#include "net/Sha256Digest.h"
#include "net/TransferLimits.h"
#include "workflows/LayoutManifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A layout stands in for the service's replies: what it writes reads back, each family finds
// its own package, and where it came from keeps no token or password.
TEST(LayoutManifest, RoundTripsAndAnswersEachFamily)
{
    EXPECT_EQ(LayoutFamilies(Command::Bluetooth),
              (std::vector<std::string>{"win7", "win8", "win10"}));
    EXPECT_EQ(LayoutFamilies(Command::Receiver), std::vector<std::string>{kAnyFamily});
    EXPECT_TRUE(LayoutFamilies(Command::Wifi).empty());
    for (const std::string& os : LayoutFamilies(Command::Bluetooth))
        EXPECT_EQ(GetDriverServiceOsToken(FamilyCodeOfToken(os)), os);

    std::vector<LayoutEntry> written;
    for (const char* os : {"win7", "win8", "win10"})
    {
        LayoutEntry entry;
        entry.os = os;
        entry.file = std::string("RealtekBT-8821CU-") + os + ".zip";
        entry.size = 1000 + written.size();
        entry.sha256[0] = static_cast<std::uint8_t>(written.size() + 1);
        entry.source = "https://h/packages/" + entry.file;
        written.push_back(entry);
    }
    LayoutEntry receiver;
    receiver.command = Command::Receiver;
    receiver.os = kAnyFamily;
    receiver.file = "VelmoraRXSetup.exe";
    receiver.size = net::kMaxPackageBytes;
    written.push_back(receiver);

    std::vector<LayoutEntry> read;
    ASSERT_TRUE(ReadLayoutManifest(WriteLayoutManifest(written), read));
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i)
    {
        EXPECT_EQ(read[i].command, written[i].command);
        EXPECT_EQ(read[i].os, written[i].os);
        EXPECT_EQ(read[i].file, written[i].file);
        EXPECT_EQ(read[i].size, written[i].size);
        EXPECT_EQ(read[i].sha256, written[i].sha256);
        EXPECT_EQ(read[i].source, written[i].source);
    }
    const struct
    {
        Command command;
        int family;
        const char* file; // null: none
    } lookups[] = {
        {Command::Bluetooth, 0, "RealtekBT-8821CU-win7.zip"},
        {Command::Bluetooth, 6, "RealtekBT-8821CU-win7.zip"},
        {Command::Bluetooth, 8, "RealtekBT-8821CU-win8.zip"}, // 8.1
        {Command::Bluetooth, 9, "RealtekBT-8821CU-win10.zip"},
        {Command::Receiver, 6, "VelmoraRXSetup.exe"},
        {Command::Hotspot, 9, nullptr},
    };
    for (const auto& l : lookups)
    {
        const LayoutEntry* found = FindLayoutEntry(read, l.command, l.family);
        EXPECT_EQ(found ? found->file : std::string("none"), l.file ? l.file : "none") << l.family;
    }

    const struct
    {
        const char* url;
        const char* source;
    } sources[] = {
        {"https://h/p/a.zip?token=secret#x", "https://h/p/a.zip"},
        {"https://user:pw@h:8443/a.zip", "https://h:8443/a.zip"},
        {"http://h/a@b.zip?t=1", "http://h/a@b.zip"},
        {"https://h/a.zip#frag", "https://h/a.zip"},
    };
    for (const auto& s : sources)
        EXPECT_EQ(LayoutSourceOfUrl(s.url), s.source);
}

// The manifest lies in a folder anybody may have written to: anything but what the installer
// writes is refused whole, without throwing.
TEST(LayoutManifest, RefusesAnythingButWhatTheInstallerWrites)
{
    const std::string digest(64, 'a');
    const auto manifest = [&](const std::string& entries, const std::string& format = "1") {
        return "{\"kvz7300Layout\":" + format + ",\"packages\":[" + entries + "]}";
    };
    const auto entry = [&](const std::string& command, const std::string& os,
                           const std::string& file, const std::string& size = "10",
                           const std::string& sha = "") {
        return "{\"command\":\"" + command + "\",\"os\":\"" + os + "\",\"file\":\"" + file +
               "\",\"size\":" + size + ",\"sha256\":\"" + (sha.empty() ? digest : sha) +
               "\",\"source\":\"https://h/x\"}";
    };
    const std::string good = entry("bluetooth", "win10", "a.zip");
    std::vector<LayoutEntry> entries;
    ASSERT_TRUE(ReadLayoutManifest(manifest(good), entries));
    ASSERT_TRUE(ReadLayoutManifest(manifest(""), entries));
    EXPECT_TRUE(entries.empty());

    const struct
    {
        const char* what;
        std::string text;
    } refused[] = {
        {"empty", ""},
        {"not JSON", "kvz7300Layout=1"},
        {"another format", manifest(good, "2")},
        {"no packages", "{\"kvz7300Layout\":1}"},
        {"packages not a list", "{\"kvz7300Layout\":1,\"packages\":{}}"},
        {"trailing bytes", manifest(good) + "x"},
        {"too large", manifest(good) + std::string(kMaxLayoutManifestBytes, ' ')},
        {"too deep", manifest(std::string(1000, '[') + std::string(1000, ']'))},
        {"too many", manifest([&] {
             std::string many;
             for (int i = 0; i < 65; ++i)
                 many += (i ? "," : "") + entry("bluetooth", "win10", "a.zip");
             return many;
         }())},
        {"twice for one family", manifest(good + "," + entry("bluetooth", "win10", "b.zip"))},
        {"a command that downloads nothing", manifest(entry("wifi", "any", "a.exe"))},
        {"an unknown command", manifest(entry("printer", "any", "a.exe"))},
        {"an unknown family", manifest(entry("bluetooth", "win11", "a.zip"))},
        {"a family for a one-package command", manifest(entry("receiver", "win10", "a.exe"))},
        {"a path", manifest(entry("bluetooth", "win10", "..\\\\x.zip"))},
        {"a slash", manifest(entry("bluetooth", "win10", "sub/x.zip"))},
        {"up", manifest(entry("bluetooth", "win10", ".."))},
        {"a device", manifest(entry("bluetooth", "win10", "COM1.zip"))},
        {"a stream", manifest(entry("bluetooth", "win10", "a.zip:x"))},
        {"a trailing dot", manifest(entry("bluetooth", "win10", "a.zip."))},
        {"not ASCII", manifest(entry("bluetooth", "win10", "\xc3\xa9.zip"))},
        {"a control character", manifest(entry("bluetooth", "win10", "a\\u0001.zip"))},
        {"empty name", manifest(entry("bluetooth", "win10", ""))},
        {"too large a package",
         manifest(entry("bluetooth", "win10", "a.zip", std::to_string(net::kMaxPackageBytes + 1)))},
        {"a negative size", manifest(entry("bluetooth", "win10", "a.zip", "-1"))},
        {"a size as text", manifest(entry("bluetooth", "win10", "a.zip", "\"10\""))},
        {"a short digest", manifest(entry("bluetooth", "win10", "a.zip", "10", "abc"))},
        {"a digest not hex",
         manifest(entry("bluetooth", "win10", "a.zip", "10", std::string(64, 'g')))},
        {"an entry not an object", manifest("1")},
    };
    for (const auto& r : refused)
    {
        std::vector<LayoutEntry> kept(1);
        EXPECT_FALSE(ReadLayoutManifest(r.text, kept)) << r.what;
        EXPECT_EQ(kept.size(), 1u) << r.what;
    }
}

} // namespace
