#include "probe/VersionText.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <ostream>
#include <string>
#include <vector>

namespace {
struct FamilyCase
{
    const wchar_t* version;
    int family;
};

void PrintTo(const FamilyCase& c, std::ostream* os)
{
    *os << '"' << std::string(c.version, c.version + wcslen(c.version)) << "\" -> " << c.family;
}

class WindowsFamilyTable : public ::testing::TestWithParam<FamilyCase>
{
};

TEST_P(WindowsFamilyTable, Maps)
{
    EXPECT_EQ(GetParam().family, WindowsFamilyFromVersion(GetParam().version))
        << std::string(GetParam().version, GetParam().version + wcslen(GetParam().version));
}

INSTANTIATE_TEST_SUITE_P(
    Versions, WindowsFamilyTable,
    ::testing::Values(
        FamilyCase{L"10.0.22631", 9}, FamilyCase{L"10.0.19045", 9}, FamilyCase{L"10.0", 9},
        FamilyCase{L"6.3.9600", 8}, FamilyCase{L"6.2.9200", 7}, FamilyCase{L"6.1.7601", 6},
        FamilyCase{L"6.0.6002", 5}, FamilyCase{L"5.2.3790", 4}, FamilyCase{L"5.1.2600", 2},
        FamilyCase{L"5.0.2195", 3}, FamilyCase{L"4.0.1381", 1}, FamilyCase{L"4.90.3000", 1},
        FamilyCase{L"4..1", 1}, FamilyCase{L"6.1.", 6},
        // Unknown: no row, too few parts, or parts that only look like numbers.
        FamilyCase{L"6.4.9841", 0}, FamilyCase{L"10.1", 0}, FamilyCase{L"11.0", 0},
        FamilyCase{L"6", 0}, FamilyCase{L"4", 0}, FamilyCase{L"4.", 0}, FamilyCase{L"", 0},
        FamilyCase{L"6..1", 0}, FamilyCase{L"06.1", 0}, FamilyCase{L"6.01", 0},
        FamilyCase{L" 6.1", 0}, FamilyCase{L".6.1", 0}, FamilyCase{L"garbage", 0}),
    [](const ::testing::TestParamInfo<FamilyCase>& info) {
        std::string name = "Case" + std::to_string(info.index) + "_";
        for (const wchar_t* c = info.param.version; *c; ++c)
            name += (*c >= L'0' && *c <= L'9') || (*c >= L'a' && *c <= L'z') ? char(*c) : '_';
        return name;
    });

TEST(SplitVersionText, EdgeShapes)
{
    using Parts = std::vector<std::wstring>;
    EXPECT_EQ(Parts{}, SplitVersionText(L""));
    EXPECT_EQ((Parts{L"6", L"", L"1"}), SplitVersionText(L"6..1"));
    EXPECT_EQ((Parts{L"6", L"1"}), SplitVersionText(L"6.1."));
    EXPECT_EQ((Parts{L""}), SplitVersionText(L"."));
    EXPECT_EQ((Parts{L"", L"6"}), SplitVersionText(L".6"));
    EXPECT_EQ((Parts{L"10", L"0", L"19045"}), SplitVersionText(L"10.0.19045"));
}

TEST(FormatFileVersion, UnsignedWordsInOrder)
{
    EXPECT_EQ("1.2.0.10", FormatFileVersion(0x00010002u, 0x0000000Au));
    EXPECT_EQ("65535.0.0.1", FormatFileVersion(0xFFFF0000u, 0x00000001u));
    EXPECT_EQ("65535.65535.65535.65535", FormatFileVersion(0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_EQ("0.0.0.0", FormatFileVersion(0, 0));
}
} // namespace
