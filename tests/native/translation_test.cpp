#include "localisation/TranslationFile.h"
#include "localisation/WordTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>

namespace {
// --- UTF-8 decoding -------------------------------------------------------------------

struct DecodeCase
{
    const char* name;
    std::string bytes;
    std::wstring expected;
};

void PrintTo(const DecodeCase& c, std::ostream* os)
{
    *os << c.name;
}

class DecodeUtf8Cases : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(DecodeUtf8Cases, Decodes)
{
    EXPECT_EQ(GetParam().expected, DecodeUtf8(GetParam().bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, DecodeUtf8Cases,
    ::testing::Values(DecodeCase{"Ascii", "{\"a\":1}", L"{\"a\":1}"},
                      DecodeCase{"TwoByte", "caf\xC3\xA9", L"caf\u00E9"},
                      DecodeCase{"ThreeByte", "\xE4\xB8\xAD\xE6\x96\x87", L"\u4E2D\u6587"},
                      DecodeCase{"LastBmp", "\xEF\xBF\xBF", std::wstring(1, wchar_t(0xFFFF))},
                      DecodeCase{"Bom", "\xEF\xBB\xBF{}", L"\uFEFF{}"},
                      DecodeCase{"FourByteIsReplaced", "a\xF0\x9F\x98\x80z", L"a\uFFFDz"},
                      DecodeCase{"EmbeddedNul", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
                      // Malformed input ends the text where it starts.
                      DecodeCase{"LoneContinuation", "ab\x80z", L"ab"},
                      DecodeCase{"OverlongTwoByte", "a\xC0\xAFz", L"a"},
                      DecodeCase{"OverlongThreeByte", "a\xE0\x80\xAFz", L"a"},
                      DecodeCase{"OverlongFourByte", "a\xF0\x8F\xBF\xBFz", L"a"},
                      DecodeCase{"Surrogate", "a\xED\xA0\x80z", L"a"},
                      DecodeCase{"AboveUnicode", "a\xF4\x90\x80\x80z", L"a"},
                      DecodeCase{"FiveByteLead", "a\xF8\x88\x80\x80\x80z", L"a"},
                      DecodeCase{"InvalidByte", "a\xFFz", L"a"},
                      DecodeCase{"BadContinuation", "a\xE4\xB8z", L"a"},
                      DecodeCase{"TruncatedAtEnd", "ab\xE4\xB8", L"ab"},
                      DecodeCase{"TruncatedFourByteAtEnd", "ab\xF0\x9F\x98", L"ab"}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

// --- Reading a branch -----------------------------------------------------------------

struct BranchCase
{
    const char* name;
    std::wstring json;
    std::wstring language;
    WordMap before;
    bool parsed;
    WordMap after;
};

void PrintTo(const BranchCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReadBranchCases : public ::testing::TestWithParam<BranchCase>
{
};

TEST_P(ReadBranchCases, Reads)
{
    WordMap words = GetParam().before;
    EXPECT_EQ(GetParam().parsed,
              ReadTranslationBranch(GetParam().json, GetParam().language, words));
    EXPECT_EQ(GetParam().after, words);
}

const WordMap kOld = {{L"INSTALL_WIFI", L"old wifi"}, {L"INSTALL_BT", L"old bt"}};
const WordMap kWifi = {{L"INSTALL_WIFI", L"Wi-Fi"}};

// The English branch beside a member that makes the file `depth` levels deep in all.
std::wstring NestedFile(std::size_t depth)
{
    return L"{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\"},\"pad\":" + std::wstring(depth - 1, L'[') +
           std::wstring(depth - 1, L']') + L"}";
}

// The English branch, then blanks up to `size` units.
std::wstring SizedFile(std::size_t size)
{
    const std::wstring text = L"{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\"}}";
    return text + std::wstring(size - text.size(), L' ');
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadBranchCases,
    ::testing::Values(
        BranchCase{"Plain",
                   L"{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\",\"INSTALL_BT\":\"BT\"},"
                   L"\"fr\":{\"INSTALL_WIFI\":\"Pilote\"}}",
                   L"eng",
                   {},
                   true,
                   {{L"INSTALL_WIFI", L"Wi-Fi"}, {L"INSTALL_BT", L"BT"}}},
        BranchCase{"OtherBranch",
                   L"{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\"},\"fr\":{\"INSTALL_WIFI\":"
                   L"\"Pilote Wi-Fi\"}}",
                   L"fr",
                   {},
                   true,
                   {{L"INSTALL_WIFI", L"Pilote Wi-Fi"}}},
        BranchCase{"Bom",
                   L"\uFEFF{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\"}}",
                   L"eng",
                   {},
                   true,
                   {{L"INSTALL_WIFI", L"Wi-Fi"}}},
        BranchCase{"NonStringValues",
                   L"{\"eng\":{\"DL_RX_FAILED\":12,\"DL_BT_FAILED\":1.50,\"INSTALL_RX\":true,"
                   L"\"INSTALL_BT\":false,\"INSTALL_WIFI\":null,\"HINT_DL_BT\":{\"x\":\"y\"},"
                   L"\"INSTALL_HOTSPOT\":[1,2],\"HINT_NO_INTERNET\":-3e2}}",
                   L"eng",
                   {},
                   true,
                   {{L"DL_RX_FAILED", L"12"},
                    {L"DL_BT_FAILED", L"1.50"},
                    {L"INSTALL_RX", L"true"},
                    {L"INSTALL_BT", L"false"},
                    {L"INSTALL_WIFI", L"null"},
                    {L"HINT_DL_BT", L""},
                    {L"INSTALL_HOTSPOT", L""},
                    {L"HINT_NO_INTERNET", L"-3e2"}}},
        BranchCase{"EmptyValueIsStored",
                   L"{\"eng\":{\"INSTALL_WIFI\":\"\"}}",
                   L"eng",
                   {},
                   true,
                   {{L"INSTALL_WIFI", L""}}},
        BranchCase{"EscapesAndUnicode",
                   L"{\"eng\":{\"INSTALL_WIFI\":\"a\\\"b\\\\c\\u00e9\\n\u4E2D\"}}",
                   L"eng",
                   {},
                   true,
                   {{L"INSTALL_WIFI", L"a\"b\\c\u00E9\n\u4E2D"}}},
        BranchCase{"MissingBranchAddsNothing", L"{\"fr\":{\"INSTALL_WIFI\":\"Pilote\"}}", L"eng",
                   kOld, true, kOld},
        BranchCase{"NamesAreCaseSensitive",
                   L"{\"ENG\":{\"INSTALL_WIFI\":\"x\"},\"eng\":{\"install_wifi\":\"y\"}}",
                   L"eng",
                   {},
                   true,
                   {}},
        BranchCase{"UnknownKeysIgnored",
                   L"{\"eng\":{\"SOMETHING\":\"x\",\"INSTALL_WIFI\":\"Wi-Fi\"},\"comment\":3}",
                   L"eng",
                   {},
                   true,
                   {{L"INSTALL_WIFI", L"Wi-Fi"}}},
        BranchCase{"OverwritesButKeepsOthers",
                   L"{\"eng\":{\"INSTALL_WIFI\":\"new wifi\"}}",
                   L"eng",
                   kOld,
                   true,
                   {{L"INSTALL_WIFI", L"new wifi"}, {L"INSTALL_BT", L"old bt"}}},
        BranchCase{"BranchNotAnObject", L"{\"eng\":\"text\"}", L"eng", kOld, true, kOld},
        BranchCase{"TopLevelArray", L"[{\"eng\":{\"INSTALL_WIFI\":\"x\"}}]", L"eng", {}, true, {}},
        BranchCase{"Malformed", L"{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\",}}", L"eng", kOld, false,
                   kOld},
        BranchCase{
            "TrailingGarbage", L"{\"eng\":{\"INSTALL_WIFI\":\"Wi-Fi\"}} x", L"eng", {}, false, {}},
        BranchCase{"Empty", L"", L"eng", {}, false, {}},
        BranchCase{
            "RawControlCharacter", L"{\"eng\":{\"INSTALL_WIFI\":\"a\tb\"}}", L"eng", {}, false, {}},
        // Bounded before the parser runs, whose recursion a deep file would take past the
        // stack's end.
        BranchCase{"NestedToTheLimit", NestedFile(kMaxTranslationDepth), L"eng", {}, true, kWifi},
        BranchCase{"NestedPastTheLimit", NestedFile(kMaxTranslationDepth + 1), L"eng", kOld, false,
                   kOld},
        BranchCase{"HundredThousandOpenBrackets", std::wstring(100000, L'['), L"eng", kOld, false,
                   kOld},
        BranchCase{"BracketsInsideTextsDoNotNest",
                   L"{\"eng\":{\"INSTALL_WIFI\":\"\\\"" + std::wstring(40, L'[') + L"\"}}",
                   L"eng",
                   {},
                   true,
                   {{L"INSTALL_WIFI", L"\"" + std::wstring(40, L'[')}}},
        BranchCase{"SizeAtTheLimit", SizedFile(kMaxTranslationFileBytes), L"eng", {}, true, kWifi},
        BranchCase{"SizePastTheLimit", SizedFile(kMaxTranslationFileBytes + 1), L"eng", kOld, false,
                   kOld}),
    [](const ::testing::TestParamInfo<BranchCase>& info) { return info.param.name; });

// How deep a text nests, as the parser would meet it: brackets in strings are text.
TEST(JsonNesting, CountsTheBracketsOpenAtOnceOutsideStrings)
{
    const struct
    {
        const char* what;
        std::wstring text;
        std::size_t depth;
    } cases[] = {
        {"an empty object", L"{}", 1},
        {"siblings do not add up", L"[[],[[]],{}]", 3},
        {"objects and arrays alike", L"{\"a\":[{\"b\":[]}]}", 4},
        {"brackets in a text", L"{\"a\":\"[[[[{{\"}", 1},
        {"brackets in a name", L"{\"[[[[\":1}", 1},
        {"an escaped quote leaves the text open", L"[\"\\\"[[[\"]", 1},
        {"an escaped backslash, then the closing quote", L"[\"\\\\\",[[]]]", 3},
        {"closing brackets first hide no opening ones", L"]]]]}}[[[", 3},
        {"a text left open to the end", L"[\"[[[[", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JsonNestingDepth(c.text), c.depth) << c.what;
}

// A file cut short by a malformed byte must not half-load.
TEST(TranslationBytes, MalformedUtf8EndsInput)
{
    const std::string bytes = "{\"eng\":{\"INSTALL_WIFI\":\"Wi\xFF-Fi\"}}";
    WordMap words;
    EXPECT_FALSE(ReadTranslationBranch(DecodeUtf8(bytes), L"eng", words));
    EXPECT_TRUE(words.empty());
}

TEST(TranslationBytes, BomFileParsesLikePlainFile)
{
    const std::string plain = "{\"jpn\":{\"INSTALL_BT\":\"\xE3\x83\x89\xE3\x83\xA9\"}}";
    WordMap withBom, without;
    EXPECT_TRUE(ReadTranslationBranch(DecodeUtf8("\xEF\xBB\xBF" + plain), L"jpn", withBom));
    EXPECT_TRUE(ReadTranslationBranch(DecodeUtf8(plain), L"jpn", without));
    EXPECT_EQ(without, withBom);
    EXPECT_EQ(L"\u30C9\u30E9", withBom[L"INSTALL_BT"]);
}

// --- The shipped translation file -----------------------------------------------------

std::string SourceDir()
{
#ifdef KVZ_SOURCE_DIR
    return KVZ_SOURCE_DIR;
#else
    const std::string file = __FILE__; // <source>/tests/native/translation_test.cpp
    const size_t tests = file.rfind("tests");
    return tests == std::string::npos || tests == 0 ? "." : file.substr(0, tests - 1);
#endif
}

std::string ReadShippedFile()
{
    std::ifstream in(SourceDir() + "/data/translation.json", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Rough width in units of a Latin letter: CJK and Hangul are about twice as wide.
int TextWidth(const std::wstring& text)
{
    int width = 0;
    for (wchar_t c : text)
        width += (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0xD7FF) ||
                         (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFF60)
                     ? 2
                     : 1;
    return width;
}

TEST(ShippedTranslations, EveryBranchHasEveryKey)
{
    const std::string bytes = ReadShippedFile();
    ASSERT_FALSE(bytes.empty()) << SourceDir();
    const std::wstring text = DecodeUtf8(bytes);
    // Decoding must reach the end: the file is valid UTF-8 without 4-byte sequences.
    EXPECT_EQ(text.find(L'\uFFFD'), std::wstring::npos);
    ASSERT_EQ(text.find_last_not_of(L" \r\n\t"), text.find_last_of(L'}'));

    for (const wchar_t* language : LanguageCodes)
    {
        SCOPED_TRACE(std::string(language, language + wcslen(language)));
        WordMap words;
        ASSERT_TRUE(ReadTranslationBranch(text, language, words));
        for (const wchar_t* key : WordKeys)
        {
            SCOPED_TRACE(std::string(key, key + wcslen(key)));
            const auto found = words.find(key);
            ASSERT_NE(found, words.end());
            EXPECT_FALSE(found->second.empty());
            EXPECT_EQ(found->second.find_first_of(L"\r\n\t"), std::wstring::npos);
        }

        // A button is 318 px wide at a font of 20 px: some 30 Latin letters or 15 CJK.
        for (int id : {INSTALL_WIFI, INSTALL_BT, INSTALL_RX, INSTALL_HOTSPOT})
            EXPECT_LE(TextWidth(words[WordKeys[id]]), 30) << id;
        // The message box has room for two short lines.
        EXPECT_LE(TextWidth(words[WordKeys[HINT_NO_INTERNET]]), 52);
        // The status line holds three lines of about 30 letters each; the Wi-Fi message is
        // shown with the Bluetooth hint after it.
        for (int id : {RX_INSTALLER_MISS, BT_INSTALLER_MISS, DL_RX_FAILED, DL_BT_FAILED})
            EXPECT_LE(TextWidth(words[WordKeys[id]]), 90) << id;
        EXPECT_LE(TextWidth(words[WordKeys[WIFI_INSTALLED]] + L" " + words[WordKeys[HINT_DL_BT]]),
                  90);
    }
}
} // namespace
