#include "probe/ProgramVersion.h"

#include "BuildConfig.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {
std::wstring FromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value)
        return std::wstring();
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, value, -1, wide, MAX_PATH);
    return wide;
}

TEST(ProgramVersion, ShippedInstallerCarriesProjectVersion)
{
    const std::wstring dist = FromEnvironment("KVZ_DIST_DIR");
    if (dist.empty())
        GTEST_SKIP() << "KVZ_DIST_DIR not set";
    EXPECT_EQ(KVZ_VERSION_TEXT, GetFileVersionText(dist + L"\\Installer.exe"));
}

// This test program carries file version 65535.0.0.1 and a different product version.
TEST(ProgramVersion, RunningModuleUsesFileVersion)
{
    EXPECT_EQ("65535.0.0.1", GetProgramVersion());
}

TEST(ProgramVersion, NoVersionResourceGivesEmptyText)
{
    std::wstring scratch = FromEnvironment("KVZ_TEST_TMP");
    if (scratch.empty())
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        scratch = temp;
    }
    const std::wstring textFile = scratch + L"\\not_a_program.exe";
    {
        std::ofstream out(textFile.c_str(), std::ios::binary);
        out << "MZ but not really a program";
    }
    EXPECT_EQ("", GetFileVersionText(textFile));
    DeleteFileW(textFile.c_str());

    EXPECT_EQ("", GetFileVersionText(scratch + L"\\missing.exe"));
    EXPECT_EQ("", GetFileVersionText(L""));
}
} // namespace
