#include "localisation/WordTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <string>

namespace {
struct LangCase
{
    unsigned short langId;
    const wchar_t* code;
};

void PrintTo(const LangCase& c, std::ostream* os)
{
    *os << std::hex << c.langId;
}

class LanguageChoice : public ::testing::TestWithParam<LangCase>
{
};

TEST_P(LanguageChoice, PicksBranch)
{
    EXPECT_STREQ(GetParam().code, LanguageCodeFromLangId(GetParam().langId))
        << std::hex << GetParam().langId;
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, LanguageChoice,
    ::testing::Values(LangCase{0x0409, L"eng"}, LangCase{0x0809, L"eng"}, LangCase{0x0404, L"cht"},
                      LangCase{0x0C04, L"cht"},
                      LangCase{0x1404, L"eng"}, // Chinese (Macao) is not listed
                      LangCase{0x0804, L"chs"}, LangCase{0x1004, L"chs"}, LangCase{0x0004, L"eng"},
                      LangCase{0x0411, L"jpn"}, LangCase{0x0412, L"kor"}, LangCase{0x040C, L"fr"},
                      LangCase{0x140C, L"fr"}, LangCase{0x180C, L"eng"}, LangCase{0x0407, L"deu"},
                      LangCase{0x0807, L"deu"}, LangCase{0x0C07, L"deu"}, LangCase{0x1007, L"deu"},
                      LangCase{0x1407, L"deu"}, LangCase{0x1807, L"eng"}, LangCase{0x0410, L"ita"},
                      LangCase{0x0810, L"ita"}, LangCase{0x0416, L"por"}, LangCase{0x0816, L"por"},
                      LangCase{0x0419, L"rus"}, LangCase{0x0819, L"eng"}, LangCase{0x040A, L"es"},
                      LangCase{0x080A, L"es"}, LangCase{0x500A, L"es"}, LangCase{0x540A, L"eng"},
                      LangCase{0x000A, L"eng"}, LangCase{0x0000, L"eng"}, LangCase{0xFFFF, L"eng"}),
    [](const ::testing::TestParamInfo<LangCase>& info) {
        char name[16];
        std::snprintf(name, sizeof(name), "Id%04X", info.param.langId);
        return std::string(name);
    });

// Every identifier maps into the table, and each branch gets exactly its listed
// identifiers: catches comparisons of the primary language alone.
TEST(LanguageChoiceAll, CountsPerBranch)
{
    std::map<std::wstring, int> counts;
    for (unsigned id = 0; id <= 0xFFFF; ++id)
    {
        const wchar_t* code = LanguageCodeFromLangId(static_cast<unsigned short>(id));
        bool inTable = false;
        for (const wchar_t* known : LanguageCodes)
            inTable = inTable || code == known;
        ASSERT_TRUE(inTable) << std::hex << id;
        ++counts[code];
    }
    const std::map<std::wstring, int> expected = {
        {L"cht", 2}, {L"chs", 2}, {L"jpn", 1}, {L"kor", 1}, {L"fr", 5},           {L"deu", 5},
        {L"ita", 2}, {L"por", 2}, {L"rus", 1}, {L"es", 20}, {L"eng", 65536 - 41},
    };
    EXPECT_EQ(expected, counts);
}
} // namespace
