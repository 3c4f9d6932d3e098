#include "localisation/TextEncoding.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

TEST(TextEncoding, AsciiAndEmptyRoundTrip)
{
    const std::string texts[] = {"", "https://localhost/api/rx/VelmoraRXApp?x=1&y=2",
                                 "C:\\Users\\Test\\AppData\\Local\\KVZ7300\\p.zip"};
    for (const std::string& text : texts)
    {
        EXPECT_EQ(std::wstring(text.begin(), text.end()), AnsiToWide(text)) << text;
        EXPECT_EQ(text, WideToAnsi(AnsiToWide(text))) << text;
    }
}

TEST(TextEncoding, AZeroEndsTheText)
{
    EXPECT_EQ(L"ab", AnsiToWide(std::string("ab\0cd", 5)));
    EXPECT_EQ("ab", WideToAnsi(std::wstring(L"ab\0cd", 5)));
}

// The default test environment is en_US: ANSI code page 1252.
TEST(TextEncoding, UsesTheAnsiCodePage)
{
    ASSERT_EQ(1252u, GetACP()) << "these cases assume the Western code page";
    EXPECT_EQ(L"caf\u00e9", AnsiToWide("caf\xE9"));
    EXPECT_EQ("caf\xE9", WideToAnsi(L"caf\u00e9"));
    // A user name the code page cannot hold comes back with question marks.
    EXPECT_EQ("C:\\Users\\??????", WideToAnsi(L"C:\\Users\\\u0418\u0432\u0430\u043d\u043e\u0432"));
}

TEST(TextEncoding, Utf8WideningKeepsNonAsciiUrls)
{
    const std::string url = "https://h/\xC3\xA9t\xC3\xA9/\xE4\xB8\xAD.exe";
    EXPECT_EQ(L"https://h/\u00e9t\u00e9/\u4e2d.exe", Utf8ToWide(url));
    // Through the ANSI code page the same bytes would name another file.
    EXPECT_NE(Utf8ToWide(url), AnsiToWide(url));
    EXPECT_EQ(L"plain", Utf8ToWide("plain"));

    const std::string refused[] = {
        "",
        std::string("https://h/a\0b", 13), // a zero would cut the URL short
        "https://h/\xC3",                  // cut-off sequence
        "https://h/\xFF\xFE",              // no UTF-8 at all
        "https://h/\xC0\xAF",              // overlong "/"
        "https://h/\xED\xA0\x80",          // a surrogate
    };
    for (const std::string& text : refused)
        EXPECT_EQ(L"", Utf8ToWide(text)) << text;
}

// Registered with a Russian user (code page 1251) by net.cmake.
TEST(EnvTextEncodingCyrillic, RoundTripsInTheUsersCodePage)
{
    ASSERT_EQ(1251u, GetACP());
    const std::wstring name = L"C:\\Users\\\u0418\u0432\u0430\u043d";
    EXPECT_EQ("C:\\Users\\\xC8\xE2\xE0\xED", WideToAnsi(name));
    EXPECT_EQ(name, AnsiToWide(WideToAnsi(name)));
}

} // namespace
