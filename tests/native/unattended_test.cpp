// The unattended command line, the exit code of a run and its detection record's values.
#include "unattended/DetectionValues.h"
#include "unattended/RunOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Unattended, CommandLinesAndTheirOptions)
{
    const std::array<bool, kCommandCount> shipped = {true, true, false, false};
    const auto W = Command::Wifi, B = Command::Bluetooth;
    const struct
    {
        std::vector<std::wstring> args;
        bool ok;
        RunMode mode;
        std::vector<Command> commands;
        std::wstring log;
        std::wstring layout = L"";
        std::wstring source = L"";
        bool offline = false;
        std::wstring proxy = L"";
    } cases[] = {
        {{}, true, RunMode::Interactive, {W, B}, L""},
        {{L"/quiet"}, true, RunMode::Quiet, {W, B}, L""},
        {{L"-Q", L"/BLUETOOTH"}, true, RunMode::Quiet, {B}, L""},
        {{L"/passive", L"/bluetooth", L"/wifi", L"/norestart"},
         true,
         RunMode::Passive,
         {W, B},
         L""},
        {{L"/quiet", L"/log", L"C:\\Logs\\KVZ Run.log"},
         true,
         RunMode::Quiet,
         {W, B},
         L"C:\\Logs\\KVZ Run.log"},
        {{L"/quiet", L"/LOG=C:\\A.log"}, true, RunMode::Quiet, {W, B}, L"C:\\A.log"},
        // Made absolute when it is opened.
        {{L"/quiet", L"/log=run.log"}, true, RunMode::Quiet, {W, B}, L"run.log"},
        {{L"/?"}, true, RunMode::Help, {W, B}, L""},
        {{L"-help", L"/quiet"}, true, RunMode::Help, {W, B}, L""},
        // Selectors without /quiet or /passive change nothing.
        {{L"/wifi"}, true, RunMode::Interactive, {W}, L""},
        // A layout holds what downloads: every such command, or those named.
        {{L"/layout", L"D:\\Kvz Layout"}, true, RunMode::Layout, {B}, L"", L"D:\\Kvz Layout"},
        {{L"/quiet", L"/LAYOUT=\\\\server\\share\\kvz", L"/wifi", L"/log=a.log"},
         true,
         RunMode::Layout,
         {},
         L"a.log",
         L"\\\\server\\share\\kvz"},
        {{L"/quiet", L"/source", L"\\\\server\\share\\kvz", L"/offline"},
         true,
         RunMode::Quiet,
         {W, B},
         L"",
         L"",
         L"\\\\server\\share\\kvz",
         true},
        {{L"-Source=E:\\"}, true, RunMode::Interactive, {W, B}, L"", L"", L"E:\\"},
        {{L"/offline"}, true, RunMode::Interactive, {W, B}, L"", L"", L"", true},
        // 87 for a layout: no folder, a device, or beside what installs.
        {{L"/layout"}, false, {}, {}, L""},
        {{L"/layout="}, false, {}, {}, L""},
        {{L"/layout", L"\\\\.\\COM1"}, false, {}, {}, L""},
        {{L"/source", L"\\\\?\\C:\\kvz"}, false, {}, {}, L""},
        {{L"/layout", L"D:\\L", L"/passive"}, false, {}, {}, L""},
        {{L"/layout", L"D:\\L", L"/offline"}, false, {}, {}, L""},
        {{L"/layout", L"D:\\L", L"/source", L"E:\\"}, false, {}, {}, L""},
        {{L"/offline=1"}, false, {}, {}, L""},
        // A proxy for the run, in the window too; 87 for anything but a proxy.
        {{L"/quiet", L"/proxy", L"http://proxy.corp:8080/"},
         true,
         RunMode::Quiet,
         {W, B},
         L"",
         L"",
         L"",
         false,
         L"proxy.corp:8080"},
        {{L"/PROXY=10.1.2.3:3128"},
         true,
         RunMode::Interactive,
         {W, B},
         L"",
         L"",
         L"",
         false,
         L"10.1.2.3:3128"},
        {{L"/quiet", L"/proxy"}, false, {}, {}, L""},
        {{L"/proxy", L"user:pw@proxy:80"}, false, {}, {}, L""},
        // 87: unknown switch, a command this build does not offer, /log without a file, both
        // modes, a bare word, a value on a switch that takes none.
        {{L"/quiet", L"/silent"}, false, {}, {}, L""},
        {{L"/quiet", L"/hotspot"}, false, {}, {}, L""},
        {{L"/quiet", L"/log"}, false, {}, {}, L""},
        {{L"/quiet", L"/log="}, false, {}, {}, L""},
        {{L"/quiet", L"/log", L"\\\\server\\share\\run.log"}, false, {}, {}, L""},
        {{L"/quiet", L"/log=//server/share/run.log"}, false, {}, {}, L""},
        {{L"/quiet", L"/log", L"\\\\.\\NUL"}, false, {}, {}, L""},
        {{L"/quiet", L"/log", L"\\\\?\\C:\\run.log"}, false, {}, {}, L""},
        {{L"/quiet", L"/passive"}, false, {}, {}, L""},
        {{L"quiet"}, false, {}, {}, L""},
        {{L"/quiet=1"}, false, {}, {}, L""},
    };
    for (const auto& c : cases)
    {
        RunOptions options;
        std::wstring wrong;
        const bool ok = ParseRunOptions(c.args, shipped, options, wrong);
        std::string line;
        for (const std::wstring& a : c.args)
            line += std::string(a.begin(), a.end()) + " ";
        ASSERT_EQ(ok, c.ok) << line;
        if (!ok)
        {
            EXPECT_FALSE(wrong.empty()) << line;
            continue;
        }
        EXPECT_EQ(options.mode, c.mode) << line;
        EXPECT_EQ(options.commands, c.commands) << line;
        EXPECT_EQ(options.logFile, c.log) << line;
        EXPECT_EQ(options.layoutFolder, c.layout) << line;
        EXPECT_EQ(options.sourceFolder, c.source) << line;
        EXPECT_EQ(options.bOffline, c.offline) << line;
        EXPECT_EQ(options.proxy, c.proxy) << line;
    }
}

// A run that names no command leaves out what this Windows does not support; a named command
// always takes part and ends 1633 where it does not apply.
TEST(Unattended, UnnamedCommandsThisWindowsLacksAreLeftOut)
{
    RunOptions unnamed;
    RunOptions named;
    named.bNamed = true;
    for (const int family : {0, 5})
    {
        EXPECT_TRUE(TakesPart(unnamed, Command::Wifi, family));
        EXPECT_FALSE(TakesPart(unnamed, Command::Bluetooth, family));
        EXPECT_FALSE(TakesPart(unnamed, Command::Receiver, family));
        EXPECT_TRUE(TakesPart(named, Command::Bluetooth, family));
    }
    EXPECT_TRUE(TakesPart(unnamed, Command::Bluetooth, 6));
    EXPECT_TRUE(TakesPart(unnamed, Command::Receiver, 9));
}

// Each row's switch is in the help and selects that command alone, where the build offers it.
TEST(Unattended, EachCommandsSwitchIsInTheHelpAndSelectsIt)
{
    OfferSet all;
    all.fill(true);
    const std::wstring help = HelpText();
    for (const CommandRow& row : g_commandTable)
    {
        const std::wstring selector = std::wstring(L"/") + row.selector;
        SCOPED_TRACE(std::string(selector.begin(), selector.end()));
        EXPECT_NE(help.find(L"[" + selector + L"]"), std::wstring::npos);
        RunOptions options;
        std::wstring wrong;
        ASSERT_TRUE(ParseRunOptions({L"/quiet", selector}, all, options, wrong));
        EXPECT_EQ(options.commands, std::vector<Command>{row.command});
        OfferSet others = all;
        others[IndexOf(row.command)] = false;
        EXPECT_FALSE(ParseRunOptions({L"/quiet", selector}, others, options, wrong));
    }
}

TEST(Unattended, TheFirstFailureElseTheStrongestRestart)
{
    const struct
    {
        std::vector<int> codes;
        int run;
    } cases[] = {
        {{}, 0},
        {{0, 0}, 0},
        {{3010, 0}, 3010},
        {{3010, 1641, 0}, 1641},
        {{0, 1603, 1633}, 1603},
        {{3010, 1633}, 1633},
        {{1641, 5}, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CombineExitCodes(c.codes), c.run);
}

TEST(Unattended, OnlyInstallsAreRecordedForDetection)
{
    const struct
    {
        std::uint32_t code;
        bool recorded;
    } cases[] = {
        {0, true},     {3010, true},  {1641, true},        {1, false},
        {1602, false}, {1603, false}, {1633, false},       {3011, false},
        {1640, false}, {87, false},   {0x80070005, false}, {0xFFFFFFFF, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsInstalledExitCode(c.code), c.recorded) << c.code;
}

TEST(Unattended, DetectionValuesHaveTheFormsRulesCompare)
{
    net::Sha256Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::uint8_t>(i * 0x11 + 0x0A);
    const struct
    {
        UtcTime time;
        const wchar_t* text;
    } times[] = {
        {{2026, 12, 9, 23, 31, 5}, L"2026-12-09T23:31:05Z"},
        {{2027, 1, 2, 3, 4, 0}, L"2027-01-02T03:04:00Z"},
        {{999, 12, 31, 0, 0, 59}, L"0999-12-31T00:00:59Z"},
    };
    for (const auto& t : times)
        EXPECT_EQ(MakeDetectionValues(L"a.zip", digest, 0, "1.0.0.0", t.time).installedAt, t.text);
    const DetectionValues values =
        MakeDetectionValues(L"RealtekBT-8821CU-win7.zip", digest, 3010, "1.2.0.40", times[0].time);
    EXPECT_EQ(values.package, L"RealtekBT-8821CU-win7.zip");
    // Lower case, each byte two digits, leading zeros kept.
    EXPECT_EQ(values.sha256, L"0a1b2c3d4e5f708192a3b4c5d6e7f8091a2b3c4d5e6f8091a2b3c4d5e6f70819");
    EXPECT_EQ(values.exitCode, 3010u);
    EXPECT_EQ(values.installerVersion, L"1.2.0.40");
}

} // namespace
