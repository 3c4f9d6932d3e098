#include "probe/WindowsFamily.h"
#include "probe/Wmi.h"

#include "DebugOutputCapture.h"

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {
// The family the prefix reports: the harness sets KVZ_WINE_VERSION, Windows 7 by default.
int ExpectedFamily()
{
    const char* version = std::getenv("KVZ_WINE_VERSION");
    if (!version || !*version || std::strcmp(version, "win7") == 0)
        return 6;
    if (std::strcmp(version, "win81") == 0)
        return 8;
    if (std::strcmp(version, "win10") == 0)
        return 9;
    if (std::strcmp(version, "vista") == 0)
        return 5;
    return -1;
}

template <typename F>
void OnNewThread(F f)
{
    std::thread(f).join();
}

TEST(Wmi, ReadsOperatingSystemVersion)
{
    std::wstring version;
    ASSERT_TRUE(QueryWmiProperty("Win32_OperatingSystem", L"Version", version));
    EXPECT_EQ(ExpectedFamily(), WindowsFamilyFromVersion(version));
}

// The version text goes to the debugger output as it is, without prefix or line end.
TEST(Wmi, FamilyProbeTracesVersionText)
{
    std::wstring version;
    ASSERT_TRUE(QueryWmiProperty("Win32_OperatingSystem", L"Version", version));
    ASSERT_FALSE(version.empty());
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.Ready());
    GetWindowsFamily();
    EXPECT_EQ(std::vector<std::string>{std::string(version.begin(), version.end())},
              capture.Lines());
}

TEST(Wmi, UnknownNamesLeaveValueAlone)
{
    std::wstring value = L"kept";
    EXPECT_TRUE(QueryWmiProperty("Win32_OperatingSystem", L"NoSuchProperty", value));
    EXPECT_EQ(L"kept", value);

    // Whether the query runs for a class that does not exist differs between systems; the
    // value must survive either way, also for a name longer than the query buffer.
    QueryWmiProperty("Win32_NoSuchClass", L"Version", value);
    EXPECT_EQ(L"kept", value);
    QueryWmiProperty(std::string(300, 'X'), L"Version", value);
    EXPECT_EQ(L"kept", value);
}

// A thread that never entered COM leaves the call without an apartment of its own.
TEST(Wmi, ThreadWithoutComIsLeftWithoutCom)
{
    OnNewThread([] {
        EXPECT_EQ(ExpectedFamily(), GetWindowsFamily());
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        EXPECT_EQ(S_OK, hr) << "the probe left this thread in an apartment";
        if (SUCCEEDED(hr))
            CoUninitialize();
    });
}

TEST(Wmi, SingleThreadedApartmentIsUsedAndKept)
{
    OnNewThread([] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_EQ(ExpectedFamily(), GetWindowsFamily());
        EXPECT_EQ(ExpectedFamily(), GetWindowsFamily());
        // Still the caller's STA, with the caller's one initialisation outstanding.
        const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        EXPECT_EQ(S_FALSE, again);
        if (SUCCEEDED(again))
            CoUninitialize();
        CoUninitialize();
        const HRESULT fresh = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(S_OK, fresh) << "the caller's apartment was left unbalanced";
        if (SUCCEEDED(fresh))
            CoUninitialize();
    });
}

TEST(Wmi, MultithreadedApartmentIsKept)
{
    OnNewThread([] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(ExpectedFamily(), GetWindowsFamily());
        const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(S_FALSE, again);
        if (SUCCEEDED(again))
            CoUninitialize();
        CoUninitialize();
    });
}

// Registered once per Windows version of the prefix.
TEST(EnvWindowsFamily, MatchesPrefixVersion)
{
    ASSERT_NE(-1, ExpectedFamily()) << std::getenv("KVZ_WINE_VERSION");
    EXPECT_EQ(ExpectedFamily(), GetWindowsFamily());
    OnNewThread([] {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_EQ(ExpectedFamily(), GetWindowsFamily());
        CoUninitialize();
    });
}
} // namespace
