#include "log/LogLine.h"

#include <gtest/gtest.h>

TEST(LogLine, OneEventIsOneUtf8Line)
{
    const LogTime time{2026, 12, 8, 7, 5, 9, 42};
    struct Case
    {
        std::wstring event;
        std::string expected;
    } cases[] = {
        {L"Download started", "Download started"},
        // A reply's line break or a path's tab must not split the event.
        {L"a\r\nb\tc\x7F", "a\\x0D\\x0Ab\\x09c\\x7F"},
        {L"Gr\u00FC\u00DFe \u4E2D", "Gr\xC3\xBC\xC3\x9F"
                                    "e \xE4\xB8\xAD"},
        {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {std::wstring(L"x\xD800y"), "x\xEF\xBF\xBDy"},
        // From a file or signer name: C1 controls, line separators and bidirectional
        // overrides would show another text than the line holds.
        {L"a\u0085b\u009Bc\u2028d\u2029", "a\\x85b\\x9Bc\\u2028d\\u2029"},
        {L"x\u202Efdp.exe\u2066\u2069\u200F", "x\\u202Efdp.exe\\u2066\\u2069\\u200F"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLogLine(time, 1234, c.event),
                  "2026-12-08 07:05:09.042 [1234] " + c.expected + "\r\n");
}

TEST(LogLine, NetworkBytesAreCutAndEscaped)
{
    EXPECT_EQ(EscapeForLog(std::string("{\"u\":\"a\\b\"}\r\n\0\x80", 15)),
              L"{\"u\":\"a\\x5Cb\"}\\x0D\\x0A\\x00\\x80");
    const std::wstring cut = EscapeForLog(std::string(250, 'a'));
    EXPECT_EQ(cut, std::wstring(200, L'a') + L"... (50 more bytes)");
    EXPECT_EQ(EscapeForLog("abc", 2), L"ab... (1 more bytes)");
}

// Download tokens live in query strings, credentials before a host's '@': the log says how long
// the query was, and nothing of the credentials.
TEST(LogLine, UrlsLoseTheirQueriesAndCredentials)
{
    EXPECT_EQ(UrlForLog(L"https://h:443/p.zip?tok=secret#x"), L"https://h:443/p.zip?(12 bytes)");
    EXPECT_EQ(UrlForLog(L"http://h/p.zip"), L"http://h/p.zip");
    EXPECT_EQ(UrlForLog(L"https://u:pw@h/p.zip?t"), L"https://***@h/p.zip?(1 bytes)");
    EXPECT_EQ(RedactedForLog("{\"downloadURL\":\"https:\\/\\/h\\/p.zip?tok=abc\",\"n\":\"a?b\"}"),
              L"{\"downloadURL\":\"https:\\x5C/\\x5C/h\\x5C/p.zip?(7 bytes)\",\"n\":\"a?b\"}");
    EXPECT_EQ(RedactedForLog("see http://h/a?b c?d"), L"see http://h/a?(1 bytes) c?d");

    // Every form in which WinINet, or JSON before it, finds user information in a URL.
    const struct
    {
        std::string text;
        std::string redacted;
    } credentials[] = {
        {"https://user:pass@h/p.zip", "https://***@h/p.zip"},
        {"HTTP://user:pass@h", "HTTP://***@h"},
        {"http:/\\user:pass@h\\p.zip", "http:/\\***@h\\p.zip"},
        {"http:\\\\user@h:8080/p", "http:\\\\***@h:8080/p"},
        {"http:/\t/us\ter:pa ss@h/p", "http:/\t/***@h/p"},
        {"https://a@b:c@d@h/p@q", "https://***@h/p@q"},
        {"{\"u\":\"https:\\/\\/user:pass@h\\/p\"}", "{\"u\":\"https:\\/\\/***@h\\/p\"}"},
        {"{\"u\":\"https:\\/\\/user:pass\\u0040h\\/p\"}", "{\"u\":\"https:\\/\\/***@h\\/p\"}"},
        {"mail a@b, see http://h/p", "mail a@b, see http://h/p"},
        {"https://h/a@b.zip", "https://h/a@b.zip"},
    };
    for (const auto& c : credentials)
    {
        EXPECT_EQ(WithoutUserInfo(c.text), c.redacted) << c.text;
        EXPECT_EQ(RedactedForLog(c.text, 2048), EscapeForLog(c.redacted, 2048)) << c.text;
    }
    EXPECT_EQ(WithoutUserInfo("https://u:p@h/p.zip?tok=secret"), "https://***@h/p.zip?tok=secret");
    EXPECT_EQ(UrlForLog(L"https://u:p@h?x=@"), L"https://***@h?(3 bytes)");
}
