// The workflows against the driver-service stand-in, the real archiver and a recording setup
// program, with a test double in place of the main window.
#include "workflows/ChildCommandLine.h"
#include "workflows/Staging.h"
#include "workflows/Workflows.h"

#include "../NetTestSupport.h"
#include "localisation/ModulePath.h"
#include "log/SupportLog.h"
#include "net/HttpRequest.h"
#include "net/Sha256Hasher.h"
#include "storage/WorkFolderLayout.h"
#include "trust/ChildProcess.h"
#include "WorkFolder.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>
#include <shlwapi.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

using namespace nettest;

namespace {

// Records what the workflows ask of the window; each bar is its visibility and the positions
// it was set to.
class FakeWindow : public CWorkflowHost
{
public:
    struct Bar
    {
        bool visible = false;
        std::vector<int> positions;
    };

    void ShowStatusText(std::wstring text) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_statusTexts.push_back(std::move(text));
    }
    void ShowNoInternetMessage() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_messages;
        m_barVisibleAtMessage = false;
        for (const Bar& bar : m_bars)
            m_barVisibleAtMessage = m_barVisibleAtMessage || bar.visible;
    }
    void ShowProgressBar(Command kind) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bars[Index(kind)].visible = true;
    }
    void SetProgressBar(Command kind, int percent) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bars[Index(kind)].positions.push_back(percent);
    }
    void HideProgressBar(Command kind) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bars[Index(kind)].visible = false;
    }
    bool IsShown(Command command) override { return m_shown[Index(command)]; }
    // Keys come back bracketed, so a test sees which text was asked for.
    std::wstring GetWord(std::wstring key) override { return L"[" + key + L"]"; }

    std::vector<std::wstring> StatusTexts()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_statusTexts;
    }
    int Messages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    bool BarVisibleAtMessage()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_barVisibleAtMessage;
    }
    Bar BarOf(Command kind)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bars[Index(kind)];
    }

    OfferSet m_shown = ShownAll(); // which buttons the window shows

private:
    static int Index(Command kind) { return static_cast<int>(kind); }
    static OfferSet ShownAll()
    {
        OfferSet all;
        all.fill(true);
        return all;
    }

    std::mutex m_mutex;
    std::vector<std::wstring> m_statusTexts;
    int m_messages = 0;
    bool m_barVisibleAtMessage = false;
    Bar m_bars[kCommandCount];
};

std::string Control(const std::wstring& pathAndQuery)
{
    std::string body;
    EXPECT_TRUE(GetJson(Http(L"/_control/" + pathAndQuery), body)) << Narrow(pathAndQuery);
    return body;
}

// The endpoint answers with this JSON text.
void SetReply(const std::wstring& endpoint, const std::wstring& json)
{
    Control(L"set?path=/api/rx/" + endpoint + L"&type=application/json&body=" + QueryEncode(json));
}

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

std::wstring Offer(const std::wstring& downloadUrl)
{
    return L"{\"status\":true,\"downloadURL\":" + Quoted(downloadUrl) + L"}";
}

std::wstring ModuleData(const std::wstring& name)
{
    return GetModuleRelativePath(L"data\\" + name);
}

// Today's behaviour: any program starts.
const StartPolicy kNoPins;

// The command as a click in the window runs it; its outcome.
DWORD Click(CWorkflowHost& host, Command command, const StartPolicy& policy = kNoPins)
{
    return RunCommand(host, command, RunStyle::Interactive, policy).exitCode;
}

std::wstring Sha256Of(const std::wstring& path)
{
    const FileHandle file = OpenHeldForReading(path);
    net::Sha256Digest digest{};
    EXPECT_TRUE(file && net::HashOpenFile(file.get(), digest)) << Narrow(path);
    const std::string hex = net::Sha256ToHex(digest);
    return std::wstring(hex.begin(), hex.end());
}

std::wstring OfferWithDigest(const std::wstring& downloadUrl, const std::wstring& sha256)
{
    return L"{\"status\":true,\"downloadURL\":" + Quoted(downloadUrl) + L",\"sha256\":\"" + sha256 +
           L"\"}";
}

const std::wstring kGenuineArchive = KVZ_PACKAGES_DIR L"/RealtekBT-8821CU-win7.zip";

// Where the Wi-Fi setup runs from: its copy in a folder of its own for this process.
std::wstring WifiCopy()
{
    return GetWorkFolderPath(
        ProgramCopyFolderName(L"WifiAutoInstallSetup.exe", GetCurrentProcessId()) +
        L"\\WifiAutoInstallSetup.exe");
}

class Workflow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EmptyWorkFolder());
        // Cleans once and claims the folder: an installer started meanwhile leaves it alone.
        CleanWorkFolder();
        m_log = ScratchFolder() + L"\\setups-" +
                std::to_wstring(::testing::UnitTest::GetInstance()->random_seed()) + L"-" +
                std::to_wstring(GetTickCount()) + L".log";
        ClearSetupSettings();
        SetSetupSetting(L"KVZ_SETUP_LOG", m_log.c_str());
        SetSetupSetting(L"KVZ_SETUP_EXIT", nullptr);
        Control(L"clear");
        Control(L"clear-log");
    }
    void TearDown() override { Control(L"clear"); }

    // Setup programs started by the shell run on their own: wait for the expected count.
    std::vector<std::wstring> SetupRuns(std::size_t expected)
    {
        // Give a wrongly started program the chance to show up before the log is read.
        if (expected == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        std::vector<std::wstring> lines;
        do
        {
            lines.clear();
            std::istringstream text(ReadFileBytes(m_log));
            for (std::string line; std::getline(text, line);)
                lines.emplace_back(line.begin(), line.end());
            if (lines.size() >= expected)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < deadline);
        return lines;
    }

    std::wstring m_log;
    FakeWindow m_window;
};

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() &&
           CompareStringOrdinal(text.c_str() + text.size() - tail.size(), -1, tail.c_str(), -1,
                                TRUE) == CSTR_EQUAL;
}

void PlaceSetup(const std::wstring& path)
{
    CreateDirectoryW(path.substr(0, path.find_last_of(L'\\')).c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(ModuleData(L"WifiAutoInstallSetup.exe").c_str(), path.c_str(), FALSE));
}

// Only Administrators and SYSTEM may change the folder; Users and Authenticated Users read.
void ExpectAdminOnly(const std::wstring& folder)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    wchar_t* text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
    const std::wstring sddl = text;
    LocalFree(text);
    LocalFree(descriptor);
    if (RunningUnderWine())
    {
        // Known Wine difference: Wine keeps no access list on files. It reads back one made of
        // the Unix mode it derived from ours: SYSTEM and the owner, no one else (Everyone has
        // read access to a folder made without one).
        EXPECT_EQ(sddl.find(L";;;WD)"), std::wstring::npos) << Narrow(sddl);
        return;
    }
    EXPECT_EQ(sddl, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
                    L"(A;OICI;0x1200a9;;;AU)");
}

TEST_F(Workflow, BluetoothDriverIsDownloadedUnpackedAndItsSetupStarted)
{
    // What earlier runs left is never started: an archive unpacked into the working folder
    // itself, a downloaded setup program, and the package folder with a setup program of its own.
    PlaceSetup(GetWorkFolderPath(L"RealtekBT-win7\\Setup.exe"));
    PlaceSetup(GetWorkFolderPath(L"Setup.exe"));
    const std::wstring packageFolder = GetWorkFolderPath(L"RealtekBT-8821CU-win7");
    PlaceSetup(packageFolder + L"\\Setup.exe");
    const std::wstring folders = m_log + L".folders";
    SetSetupSetting(L"KVZ_SETUP_FOLDER_LOG", folders.c_str());

    Click(m_window, Command::Bluetooth);

    const auto runs = SetupRuns(1);
    SetSetupSetting(L"KVZ_SETUP_FOLDER_LOG", nullptr);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(EndsWith(runs[0], L"\\KVZ7300\\RealtekBT-8821CU-win7\\RealtekBT-win7\\Setup.exe"))
        << Narrow(runs[0]);
    // It runs in its own folder, not the installer's.
    EXPECT_EQ(ReadFileBytes(folders), Narrow(runs[0].substr(0, runs[0].rfind(L'\\'))) + "\n");
    EXPECT_FALSE(FileExists(packageFolder + L"\\Setup.exe"))
        << "the package folder was not emptied";
    ExpectAdminOnly(packageFolder);
    EXPECT_TRUE(m_window.StatusTexts().empty());
    EXPECT_EQ(m_window.Messages(), 0);
    const FakeWindow::Bar bar = m_window.BarOf(Command::Bluetooth);
    ASSERT_FALSE(bar.positions.empty());
    EXPECT_EQ(bar.positions.back(), 100);
    EXPECT_FALSE(bar.visible);
    EXPECT_NE(Control(L"log").find("os=win7&wirelessType=bluetooth&wirelessProduct=8821CU"),
              std::string::npos);
}

// Run with the prefix reporting Windows 8.1 or 10 (KVZ_EXPECT_OS_TOKEN names the version).
class EnvOsToken : public Workflow
{
};

TEST_F(EnvOsToken, FollowsTheRunningWindows)
{
    const std::string version =
        std::getenv("KVZ_EXPECT_OS_TOKEN") ? std::getenv("KVZ_EXPECT_OS_TOKEN") : "";
    const std::string token = version == "win81"   ? "os=win8&"
                              : version == "win10" ? "os=win10&"
                                                   : "";
    ASSERT_FALSE(token.empty()) << "KVZ_EXPECT_OS_TOKEN is " << version;
    Click(m_window, Command::Bluetooth);
    EXPECT_NE(Control(L"log").find(token), std::string::npos);
    EXPECT_EQ(SetupRuns(1).size(), 1u);
}

TEST_F(Workflow, FailuresBeforeThePackageArrivedEndInTheMessage)
{
    const struct
    {
        const char* what;
        std::wstring reply;
        bool barMoved;
        const char* downloaded; // what the stand-in must have been asked for
    } cases[] = {
        {"status false", L"{\"status\":false,\"downloadURL\":\"x\"}", false, ""},
        {"empty URL", L"{\"status\":true,\"downloadURL\":\"\"}", false, ""},
        {"not JSON", L"<html>", false, ""},
        {"404 package", Offer(Https(L"/_fault/gone.zip?status=404")), false, "gone.zip"},
        {"truncated package", Offer(Https(L"/_fault/cut.zip?size=50000&truncate=1000")), true,
         "truncate=1000"},
        {"digest mismatch",
         OfferWithDigest(Https(L"/packages/RealtekBT-8821CU-win7.zip"), std::wstring(64, L'0')),
         true, "RealtekBT-8821CU-win7.zip"},
        // Anyone on the way decides what arrives: not even asked for, however it is written.
        {"plain http without a digest or pins", Offer(Http(L"/packages/Plain.zip")), false, ""},
        {"plain http behind a tab", Offer(L"\\t" + Http(L"/packages/Plain.zip")), false, ""},
        {"plain http with a backslash",
         Offer(L"http:/\\\\" + Http(L"/packages/Plain.zip").substr(7)), false, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        FakeWindow window;
        Control(L"clear-log");
        SetReply(L"RealtekDrivers", c.reply);
        EXPECT_EQ(Click(window, Command::Bluetooth), kInstallerFailed);
        if (*c.downloaded)
        {
            EXPECT_NE(Control(L"log").find(c.downloaded), std::string::npos);
        }
        EXPECT_EQ(Control(L"log").find("Plain.zip"), std::string::npos);
        EXPECT_EQ(window.Messages(), 1);
        EXPECT_FALSE(window.BarVisibleAtMessage());
        EXPECT_TRUE(window.StatusTexts().empty());
        // A failed download may have moved the bar; it is hidden again either way.
        if (!c.barMoved)
        {
            EXPECT_TRUE(window.BarOf(Command::Bluetooth).positions.empty());
        }
        // Nothing was left under a package name for a later run to find.
        EXPECT_FALSE(FileExists(GetWorkFolderPath(L"cut.zip")));
        EXPECT_FALSE(FileExists(GetWorkFolderPath(L"RealtekBT-8821CU-win7.zip")));
    }
    EXPECT_TRUE(SetupRuns(0).empty());
    EXPECT_NE(ReadFileBytes(SupportLogPath()).find("comes over plain http"), std::string::npos);
    // A digest from the driver service vouches for a plain-http package.
    SetReply(L"RealtekDrivers", OfferWithDigest(Http(L"/packages/RealtekBT-8821CU-win7.zip"),
                                                Sha256Of(kGenuineArchive)));
    Click(m_window, Command::Bluetooth);
    EXPECT_EQ(SetupRuns(1).size(), 1u);
}

TEST_F(Workflow, HostileNameWritesNothingOutsideTheWorkingFolder)
{
    // The stand-in serves the file, so only the refused name keeps it from the folder above.
    const std::wstring parent = GetWorkFolderPath(L"..\\evil.exe");
    DeleteFileW(parent.c_str());
    // One backslash in the URL, escaped for JSON.
    SetReply(L"VelmoraRXApp", Offer(Https(L"/_fault/x/..\\\\evil.exe?size=10")));
    Click(m_window, Command::Receiver);
    EXPECT_EQ(m_window.Messages(), 1);
    EXPECT_FALSE(FileExists(parent));

    // Windows finds the log by its short name too: a package folder of that name would remove
    // it and take its place.
    LogEvent(L"written before");
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(SupportLogPath().c_str(), shortPath, MAX_PATH), 0u);
    const std::wstring shortName = PathFindFileNameW(shortPath);
    ASSERT_NE(shortName, L"Installer.log");
    SetReply(L"RealtekDrivers", Offer(Https(L"/_fault/" + shortName + L".zip?size=100")));
    Click(m_window, Command::Bluetooth);
    EXPECT_EQ(m_window.Messages(), 2);
    EXPECT_NE(ReadFileBytes(SupportLogPath()).find("written before"), std::string::npos);
}

// The lines written by the thread that wrote `marker`, each cut to its event.
std::vector<std::string> EventsOfThreadWith(const std::string& log, const std::string& marker)
{
    std::vector<std::pair<std::string, std::string>> lines; // thread, event
    std::istringstream text(log);
    const std::regex whole(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (\[\d+\]) (.+)\r)");
    for (std::string line; std::getline(text, line);)
    {
        std::smatch parts;
        EXPECT_TRUE(std::regex_match(line, parts, whole)) << line;
        lines.emplace_back(parts[1], parts[2]);
    }
    const auto marked = std::find_if(lines.begin(), lines.end(), [&](const auto& line) {
        return line.second.find(marker) != std::string::npos;
    });
    std::vector<std::string> events;
    for (const auto& line : lines)
        if (marked != lines.end() && line.first == marked->first)
            events.push_back(line.second);
    return events;
}

// Each of `steps` in a later event than the one before.
void ExpectInOrder(const std::vector<std::string>& events, std::vector<std::string> steps)
{
    auto next = events.begin();
    for (const std::string& step : steps)
    {
        next = std::find_if(next, events.end(), [&](const std::string& event) {
            return event.find(step) != std::string::npos;
        });
        ASSERT_NE(next, events.end()) << "no \"" << step << "\" in order";
    }
}

// Three runs at once, two that start a setup program and one whose package is gone: support
// reads each run's steps, whole, in its thread's lines.
TEST_F(Workflow, TheSupportLogTellsWhatEachRunDid)
{
    SetReply(L"QuillHotspot", Offer(Https(L"/_fault/gone.exe?status=404")));
    FakeWindow receiverWindow, hotspotWindow;
    std::thread runs[] = {
        std::thread([&] { Click(m_window, Command::Bluetooth); }),
        std::thread([&] { Click(receiverWindow, Command::Receiver); }),
        std::thread([&] { Click(hotspotWindow, Command::Hotspot); }),
    };
    for (std::thread& run : runs)
        run.join();
    EXPECT_EQ(SetupRuns(2).size(), 2u);
    EXPECT_EQ(hotspotWindow.Messages(), 1);

    const std::string log = ReadFileBytes(SupportLogPath());
    const auto run = [&log](const wchar_t* endpoint) {
        return EventsOfThreadWith(log, "Driver-service request: " + Narrow(Https(endpoint)));
    };
    // (The query's own status line comes from the thread that waits on WinINet for it.)
    ExpectInOrder(run(L"/api/rx/RealtekDrivers"),
                  {"Driver-service reply: {", "Package file: ", "expected SHA-256",
                   "RealtekBT-8821CU-win7.zip complete: ", "Unpacking: ", "exit code 0",
                   "Started elevated: ", "\\Setup.exe"});
    ExpectInOrder(run(L"/api/rx/VelmoraRXApp"),
                  {"Package file: ", "complete", "Started elevated: ", "VelmoraRXSetup.exe"});
    ExpectInOrder(run(L"/api/rx/QuillHotspot"), {"HTTP 404 from ", "/_fault/gone.exe", "failed"});

    // A log that cannot be written changes nothing.
    const std::wstring logPath = SupportLogPath();
    ASSERT_TRUE(DeleteFileW(logPath.c_str()));
    ASSERT_TRUE(CreateDirectoryW(logPath.c_str(), nullptr));
    Click(receiverWindow, Command::Receiver);
    RemoveDirectoryW(logPath.c_str());
    EXPECT_EQ(SetupRuns(3).size(), 3u);
}

TEST_F(Workflow, ArchivesCannotWriteOutsideTheirPackageFolder)
{
    SetReply(L"RealtekDrivers", Offer(Https(L"/packages/Escape.zip")));
    Click(m_window, Command::Bluetooth);
    const auto runs = SetupRuns(1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(EndsWith(runs[0], L"\\KVZ7300\\Escape\\Escape\\Setup.exe"));
    for (const wchar_t* name : {L"KVZ7300-escaped.txt", L"KVZ7300-escaped2.txt"})
    {
        EXPECT_FALSE(FileExists(GetWorkFolderPath(name)));
        EXPECT_FALSE(FileExists(GetWorkFolderPath(L"..\\" + std::wstring(name))));
    }
    // 7-Zip drops the root and turns "C:" into a folder "C_", below the package folder.
    for (const wchar_t* path : {L"\\KVZ7300-absolute.txt", L"C:\\KVZ7300-absolute.txt",
                                L"C:\\KVZ7300-drive.txt", L"\\KVZ7300-drive.txt"})
        EXPECT_FALSE(FileExists(path)) << Narrow(path);
    EXPECT_TRUE(FileExists(GetWorkFolderPath(L"Escape\\KVZ7300-absolute.txt")));
}

TEST_F(Workflow, NoSetupProgramToStartIsReportedOnTheStatusLine)
{
    const struct
    {
        const char* what;
        const wchar_t* package;
    } cases[] = {
        {"Setup.exe two folders down", L"Deep.zip"},
        {"no Setup.exe", L"NoSetup.zip"},
        {"a folder named Setup.exe", L"SetupFolder.zip"},
        {"not an archive: exit code 2", L"Broken.zip"},
        {"damaged entry beside a whole Setup.exe: exit code 2", L"Corrupt.zip"},
        // The archiver is given a password up front: it never waits for one.
        {"encrypted", L"Encrypted.zip"},
    };
    const std::wstring encrypted = KVZ_PACKAGES_DIR L"/Encrypted.zip";
    if (!FileExists(encrypted))
    {
        const std::wstring folder = ScratchFolder() + L"\\Encrypted";
        PlaceSetup(folder + L"\\Setup.exe");
        ChildProgram archiver;
        archiver.program = ModuleData(L"7za.exe");
        archiver.arguments =
            L"a -tzip -pSecret " + QuoteArgument(encrypted) + L" " + QuoteArgument(folder);
        archiver.tempFolder = folder;
        ASSERT_EQ(RunChild(archiver, INFINITE).exitCode, 0u);
    }
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        FakeWindow window;
        SetReply(L"RealtekDrivers", Offer(Https(L"/packages/" + std::wstring(c.package))));
        EXPECT_EQ(Click(window, Command::Bluetooth), kInstallerFailed);
        EXPECT_EQ(window.StatusTexts(), std::vector<std::wstring>{L"[BT_INSTALLER_MISS]"});
        EXPECT_EQ(window.Messages(), 0);
    }
    // The archiver's failure alone kept it from starting.
    EXPECT_TRUE(FileExists(GetWorkFolderPath(L"Corrupt\\Corrupt\\Setup.exe")));
    EXPECT_TRUE(SetupRuns(0).empty());
}

// A link in the working folder would have the elevated installer write, unpack or start
// elsewhere: it is removed as a link, and the folder it points to stays as it was. (The
// working folder itself: Unattended.AWorkingFolderTheInstallerDidNotMakeIsSetAside.)
TEST_F(Workflow, LinksInTheWorkingFolderAreNeverFollowed)
{
    const std::wstring elsewhere = ScratchFolder() + L"\\elsewhere";
    DeleteTree(elsewhere);
    PlaceSetup(elsewhere + L"\\Setup.exe");
    const std::wstring link = GetWorkFolderPath(L"RealtekBT-8821CU-win7");
    ASSERT_TRUE(MakeFolderLink(link, elsewhere));
    Click(m_window, Command::Bluetooth);
    if (RunningUnderWine())
    {
        // Known Wine difference: nothing removes a link to a full folder as a link there, so
        // the package folder cannot be made and nothing is fetched.
        EXPECT_EQ(m_window.Messages(), 1);
        EXPECT_TRUE(SetupRuns(0).empty());
        EXPECT_TRUE(RemoveFolderLink(link));
    }
    else
    {
        // The package went into a folder made afresh in the link's place.
        const auto runs = SetupRuns(1);
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_TRUE(
            EndsWith(runs[0], L"\\KVZ7300\\RealtekBT-8821CU-win7\\RealtekBT-win7\\Setup.exe"));
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((elsewhere + L"\\*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do
    {
        if (entry.cFileName[0] != L'.')
            names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    EXPECT_EQ(names, std::vector<std::wstring>{L"Setup.exe"});
}

// The folder beside the installer is the user's: a program put in place of one that shipped
// never starts, and one that shipped cannot be swapped while it runs.
TEST_F(Workflow, OnlyTheProgramsThatShippedInDataStart)
{
    const std::wstring changed = ScratchFolder() + L"\\changed.exe";
    ASSERT_TRUE(CopyFileW(ModuleData(L"WifiAutoInstallSetup.exe").c_str(), changed.c_str(), FALSE));
    {
        FileHandle file(
            CreateFileW(changed.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file.get(), "x", 1, &written, nullptr));
    }
    for (const wchar_t* name : {L"WifiAutoInstallSetup.exe", L"7za.exe"})
    {
        SCOPED_TRACE(Narrow(name));
        const std::wstring shipped = ModuleData(name);
        const std::wstring aside = shipped + L".shipped";
        ASSERT_TRUE(MoveFileExW(shipped.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
        ASSERT_TRUE(CopyFileW(changed.c_str(), shipped.c_str(), FALSE));
        FakeWindow window;
        const Command command =
            std::wstring(name) == L"7za.exe" ? Command::Bluetooth : Command::Wifi;
        EXPECT_EQ(Click(window, command), kInstallerFailed);
        EXPECT_TRUE(MoveFileExW(aside.c_str(), shipped.c_str(), MOVEFILE_REPLACE_EXISTING));
        EXPECT_EQ(window.StatusTexts(), std::wstring(name) == L"7za.exe"
                                            ? std::vector<std::wstring>{L"[BT_INSTALLER_MISS]"}
                                            : std::vector<std::wstring>{});
        EXPECT_EQ(window.Messages(), 0);
    }
    EXPECT_TRUE(SetupRuns(0).empty());
    EXPECT_NE(ReadFileBytes(SupportLogPath()).find("is not the program this installer shipped"),
              std::string::npos);

    // What starts is the checked copy in the working folder: data\ changed while it runs
    // changes nothing.
    SetSetupSetting(L"KVZ_SETUP_SLEEP_MS", L"1500");
    std::thread wifi([this] { Click(m_window, Command::Wifi); });
    const auto runs = SetupRuns(1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], WifiCopy());
    const std::wstring shipped = ModuleData(L"WifiAutoInstallSetup.exe");
    const std::wstring aside = shipped + L".shipped";
    EXPECT_TRUE(MoveFileExW(shipped.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(CopyFileW(changed.c_str(), shipped.c_str(), FALSE));
    EXPECT_EQ(Sha256Of(WifiCopy()), Sha256Of(aside));
    wifi.join();
    EXPECT_TRUE(MoveFileExW(aside.c_str(), shipped.c_str(), MOVEFILE_REPLACE_EXISTING));
    SetSetupSetting(L"KVZ_SETUP_SLEEP_MS", nullptr);
    EXPECT_EQ(m_window.StatusTexts().size(), 1u);
}

// Another program keeps writing its own archive over the download while it arrives, unpacks
// and starts: what was checked is what runs, or nothing does.
TEST_F(Workflow, NothingPutInPlaceOfADownloadRuns)
{
    SetReply(L"RealtekDrivers", OfferWithDigest(Https(L"/packages/RealtekBT-8821CU-win7.zip"),
                                                Sha256Of(kGenuineArchive)));
    const std::wstring target =
        GetWorkFolderPath(L"RealtekBT-8821CU-win7\\RealtekBT-8821CU-win7.zip");
    const std::wstring planted = KVZ_PACKAGES_DIR L"/Planted.zip";
    std::atomic<bool> done{false};
    std::atomic<int> attempts{0};
    const std::wstring staged = ScratchFolder() + L"\\planted.zip";
    std::thread intruder([&] {
        while (!done)
        {
            CopyFileW(planted.c_str(), target.c_str(), FALSE);
            CopyFileW(planted.c_str(), staged.c_str(), FALSE);
            MoveFileExW(staged.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
            ++attempts;
        }
    });
    Click(m_window, Command::Bluetooth);
    const auto runs = SetupRuns(m_window.Messages() == 0 ? 1 : 0);
    done = true;
    intruder.join();
    EXPECT_GT(attempts.load(), 10);
    for (const std::wstring& run : runs)
        EXPECT_TRUE(EndsWith(run, L"\\RealtekBT-win7\\Setup.exe")) << Narrow(run);
    EXPECT_EQ(runs.size() + m_window.Messages(), 1u);
}

TEST_F(Workflow, MissingArchiverEndsTheRunWithoutAReport)
{
    // An earlier run's setup program is still there; it must not be started instead.
    const std::wstring earlier = GetWorkFolderPath(L"RealtekBT-win7");
    CreateDirectoryW(earlier.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(ModuleData(L"WifiAutoInstallSetup.exe").c_str(),
                          (earlier + L"\\Setup.exe").c_str(), FALSE));
    const std::wstring archiver = ModuleData(L"7za.exe");
    const std::wstring aside = archiver + L".aside";
    ASSERT_TRUE(MoveFileW(archiver.c_str(), aside.c_str()));
    EXPECT_EQ(Click(m_window, Command::Bluetooth), kInstallerFailed);
    MoveFileW(aside.c_str(), archiver.c_str());
    EXPECT_TRUE(m_window.StatusTexts().empty());
    EXPECT_EQ(m_window.Messages(), 0);
    EXPECT_TRUE(SetupRuns(0).empty());
}

TEST_F(Workflow, ASetupThatDoesNotStartIsReportedAndTheCommandWorksAgain)
{
    // Bytes that are no program: the shell refuses to start them.
    SetReply(L"VelmoraRXApp", Offer(Https(L"/_fault/NotAProgram.exe?size=100")));
    EXPECT_EQ(Click(m_window, Command::Receiver), kInstallerFailed);
    EXPECT_EQ(m_window.StatusTexts(), std::vector<std::wstring>{L"[SETUP_NOT_STARTED]"});
    EXPECT_EQ(m_window.Messages(), 0);
    Control(L"clear");
    EXPECT_EQ(Click(m_window, Command::Receiver), 0u);
    EXPECT_EQ(SetupRuns(1).size(), 1u) << "the command did not work again";
}

// Three programs starting at once, each with nothing of the user's: its own folder, TEMP and
// TMP under the working folder, and none of the variables set for this user alone.
TEST_F(Workflow, ReceiverHotspotAndWifiRunTogetherEachOnItsOwn)
{
    const std::wstring temps = m_log + L".temp";
    const std::wstring environments = m_log + L".environment";
    const std::wstring folders = m_log + L".folders";
    SetSetupSetting(L"KVZ_SETUP_TEMP_LOG", temps.c_str());
    SetSetupSetting(L"KVZ_SETUP_ENV_LOG", environments.c_str());
    SetSetupSetting(L"KVZ_SETUP_FOLDER_LOG", folders.c_str());
    SetEnvironmentVariableW(L"KVZ_ONLY_THE_USERS", L"process");
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Environment", L"KVZ_ONLY_THE_USERS_TOO", REG_SZ,
                              L"registry", sizeof(L"registry")),
              ERROR_SUCCESS);
    std::thread receiver([this] { Click(m_window, Command::Receiver); });
    std::thread hotspot([this] { Click(m_window, Command::Hotspot); });
    std::thread wifi([this] { Click(m_window, Command::Wifi); });
    receiver.join();
    hotspot.join();
    wifi.join();
    auto runs = SetupRuns(3);
    SetEnvironmentVariableW(L"KVZ_ONLY_THE_USERS", nullptr);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"KVZ_ONLY_THE_USERS_TOO");
    ASSERT_EQ(runs.size(), 3u);
    std::sort(runs.begin(), runs.end());
    // Each in a folder of its own, only the administrators', with its own TEMP there.
    EXPECT_TRUE(EndsWith(runs[0], L"\\KVZ7300\\QuillHotspotSetup\\QuillHotspotSetup.exe"));
    EXPECT_TRUE(EndsWith(runs[1], L"\\KVZ7300\\VelmoraRXSetup\\VelmoraRXSetup.exe"));
    EXPECT_EQ(runs[2], WifiCopy());
    ExpectAdminOnly(GetWorkFolderPath(L"VelmoraRXSetup"));
    ExpectAdminOnly(GetWorkFolderPath(L"VelmoraRXSetup\\Temp"));
    const std::string temp = ReadFileBytes(temps);
    const std::string folder = ReadFileBytes(folders);
    for (const std::wstring& run : runs)
    {
        const std::string own = Narrow(run.substr(0, run.rfind(L'\\')));
        EXPECT_NE(temp.find(own + "\\Temp|" + own + "\\Temp\n"), std::string::npos) << temp;
        EXPECT_NE(folder.find(own + "\n"), std::string::npos) << folder;
    }
    const std::string environment = ReadFileBytes(environments);
    EXPECT_EQ(environment.find("KVZ_ONLY_THE_USERS"), std::string::npos) << environment;
    EXPECT_NE(environment.find("SystemRoot="), std::string::npos) << environment;
    EXPECT_EQ(m_window.BarOf(Command::Receiver).positions.back(), 100);
    EXPECT_EQ(m_window.BarOf(Command::Hotspot).positions.back(), 100);
    EXPECT_TRUE(m_window.BarOf(Command::Bluetooth).positions.empty());
}

TEST_F(Workflow, QuickSecondClickRunsTheWorkflowOnce)
{
    DWORD outcomes[2] = {};
    std::thread first([&] { outcomes[0] = Click(m_window, Command::Receiver); });
    std::thread second([&] { outcomes[1] = Click(m_window, Command::Receiver); });
    first.join();
    second.join();
    EXPECT_EQ(SetupRuns(1).size(), 1u);
    // The refused one failed; the other started its setup.
    std::sort(std::begin(outcomes), std::end(outcomes));
    EXPECT_EQ(outcomes[0], 0u);
    EXPECT_EQ(outcomes[1], kInstallerFailed);
    const std::string log = Control(L"log");
    std::size_t queries = 0;
    for (std::size_t at = log.find("/api/rx/VelmoraRXApp"); at != std::string::npos;
         at = log.find("/api/rx/VelmoraRXApp", at + 1))
        ++queries;
    EXPECT_EQ(queries, 1u);
}

TEST_F(Workflow, WifiSetupSuccessIsReportedOnlyForExitCodeZero)
{
    SetSetupSetting(L"KVZ_SETUP_EXIT", L"0");
    EXPECT_EQ(Click(m_window, Command::Wifi), 0u);
    EXPECT_EQ(m_window.StatusTexts(), std::vector<std::wstring>{L"[WIFI_INSTALLED] [HINT_DL_BT]"});

    FakeWindow noBluetooth;
    noBluetooth.m_shown[IndexOf(Command::Bluetooth)] = false;
    Click(noBluetooth, Command::Wifi);
    EXPECT_EQ(noBluetooth.StatusTexts(), std::vector<std::wstring>{L"[WIFI_INSTALLED]"});

    FakeWindow failing;
    SetSetupSetting(L"KVZ_SETUP_EXIT", L"1");
    EXPECT_EQ(Click(failing, Command::Wifi), 1u);
    EXPECT_TRUE(failing.StatusTexts().empty());
    EXPECT_EQ(SetupRuns(3).size(), 3u);

    // Missing, then present again: the flag was cleared.
    const std::wstring setup = ModuleData(L"WifiAutoInstallSetup.exe");
    const std::wstring aside = setup + L".aside";
    ASSERT_TRUE(MoveFileW(setup.c_str(), aside.c_str()));
    FakeWindow missing;
    EXPECT_EQ(Click(missing, Command::Wifi), kInstallerFailed);
    MoveFileW(aside.c_str(), setup.c_str());
    EXPECT_TRUE(missing.StatusTexts().empty());
    SetSetupSetting(L"KVZ_SETUP_EXIT", L"0");
    FakeWindow again;
    Click(again, Command::Wifi);
    EXPECT_EQ(again.StatusTexts().size(), 1u);
}

// A click leaves a downloaded setup to the user; an unattended run passes it the build's silent
// switches (the receiver's, in the test build), waits for it and returns its code.
TEST_F(Workflow, UnattendedRunsWaitForTheSetupAndReturnItsCode)
{
    SetSetupSetting(L"KVZ_SETUP_EXIT", L"3010");
    const std::wstring arguments = m_log + L".arguments";
    SetSetupSetting(L"KVZ_SETUP_ARGS_LOG", arguments.c_str());
    const struct
    {
        Command command;
        RunStyle style;
        DWORD outcome;
    } cases[] = {
        {Command::Wifi, RunStyle::Interactive, 3010},
        {Command::Wifi, RunStyle::Unattended, 3010},
        {Command::Receiver, RunStyle::Unattended, 3010},
        // Last: the setup left running meets no later run.
        {Command::Receiver, RunStyle::Interactive, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.command) * 10 + static_cast<int>(c.style));
        FakeWindow window;
        EXPECT_EQ(RunCommand(window, c.command, c.style, kNoPins).exitCode, c.outcome);
        EXPECT_TRUE(window.StatusTexts().empty());
    }
    EXPECT_EQ(SetupRuns(4).size(), 4u);
    const std::string lines = ReadFileBytes(arguments);
    std::size_t quiet = 0;
    for (std::size_t at = lines.find("/quiet-test \"a b\""); at != std::string::npos;
         at = lines.find("/quiet-test \"a b\"", at + 1))
        ++quiet;
    EXPECT_EQ(quiet, 1u) << lines;
    SetSetupSetting(L"KVZ_SETUP_EXIT", nullptr);
}

StartPolicy Pinned(const std::string& list, const std::wstring& selfPath = std::wstring())
{
    StartPolicy policy = StartPolicyFromList(list);
    EXPECT_FALSE(policy.refuseAll) << list;
    policy.selfPath = selfPath;
    return policy;
}

// Copies of the recording setup program signed in different ways (make-packages.py), served as
// the receiver or hotspot installer or inside a Bluetooth driver archive. The revocation list
// of their root is one of the stand-in's packages, on its plain-HTTP port.
TEST_F(Workflow, OnlyProgramsOfPinnedPublishersStart)
{
    std::string key = ReadFileBytes(KVZ_PUBLISHER_CERTS_DIR L"/vendor.spki-sha256").substr(0, 64);
    ASSERT_EQ(key.size(), 64u);
    key = "key:" + key;
    const std::string name = "name:Brightfern Test Vendor";
    const std::wstring signedSelf = KVZ_PACKAGES_DIR L"/Publisher-vendor.exe";
    const std::wstring unsignedSelf = KVZ_PACKAGES_DIR L"/Publisher-unsigned.exe";
    const auto R = Command::Receiver;
    const auto H = Command::Hotspot;
    const auto B = Command::Bluetooth;
    const struct
    {
        const char* what;
        Command kind;
        std::wstring package; // under /packages/, or a /_fault/ path
        StartPolicy policy;
        bool started;
        const char* logged = nullptr; // a line of the support log says so
    } cases[] = {
        {"vendor, pinned by key", R, L"Publisher-vendor.exe", Pinned(key), true,
         "revocation unknown (offline or no revocation list), accepted"},
        {"vendor, pinned by name", H, L"Publisher-vendor.exe", Pinned(name), true},
        {"vendor, pinned as the installer's signer", R, L"Publisher-vendor.exe",
         Pinned("self", signedSelf), true},
        {"vendor archive, pinned by key", B, L"Publisher-vendor.zip", Pinned(key), true},
        {"unsigned", R, L"Publisher-unsigned.exe", Pinned(key + ";" + name), false},
        {"unsigned archive", B, L"Publisher-unsigned.zip", Pinned(key + ";" + name), false},
        {"vendor signed, then changed", H, L"Publisher-tampered.exe", Pinned(key + ";" + name),
         false},
        {"archive: vendor signed, then changed", B, L"Publisher-tampered.zip", Pinned(key), false},
        {"archive: other publisher", B, L"Publisher-other.zip", Pinned(key + ";" + name), false},
        {"archive: untrusted root", B, L"Publisher-impostor.zip", Pinned(name), false},
        {"archive: expired, no time stamp", B, L"Publisher-expired.zip", Pinned(name), false},
        {"other publisher", R, L"Publisher-other.exe", Pinned(key + ";" + name), false},
        {"vendor's name under an untrusted root", R, L"Publisher-impostor.exe", Pinned(name),
         false},
        // Wine's WinVerifyTrust passes it; its chain, checked as of now (no time stamp), does not.
        {"vendor's name, expired, no time stamp", H, L"Publisher-expired.exe", Pinned(name), false},
        {"self pinned, installer unsigned", R, L"Publisher-vendor.exe",
         Pinned("self;" + name, unsignedSelf), false},
        {"vendor's key, its certificate revoked", R, L"Publisher-revoked.exe",
         Pinned(key + ";" + name), false,
         "revoked: a certificate of the signer's chain is revoked"},
        {"vendor's key, listed as not revoked", H, L"Publisher-checked.exe", Pinned(key), true},
        // Known Wine difference (Wine 8.0): a revocation server that accepts and never answers
        // cannot be tried here. When cryptnet gives up on it after the time-out, Wine calls
        // back into cryptnet.dll after it was unloaded, and the process crashes.
        {"vendor's key, its revocation server out of reach", R, L"Publisher-unreachable.exe",
         Pinned(key), true, "revocation unknown (offline or no revocation list), accepted"},
        {"no pins: unsigned starts", R, L"Publisher-unsigned.exe", kNoPins, true},
        {"no pins: unsigned archive starts", B, L"Publisher-unsigned.zip", kNoPins, true},
        {"no pins: a batch file never starts", H, L"/_fault/setup.bat?size=100", kNoPins, false},
        {"pins: a shortcut never starts", H, L"/_fault/setup.lnk?size=100", Pinned(key), false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(EmptyWorkFolder());
        ForgetRevocationChecks();
        m_log = ScratchFolder() + L"\\publisher-" + std::to_wstring(GetTickCount()) + L".log";
        ClearSetupSettings();
        SetSetupSetting(L"KVZ_SETUP_LOG", m_log.c_str());
        const std::wstring url =
            c.package[0] == L'/' ? Https(c.package) : Https(L"/packages/" + c.package);
        SetReply(c.kind == B   ? L"RealtekDrivers"
                 : c.kind == R ? L"VelmoraRXApp"
                               : L"QuillHotspot",
                 Offer(url));
        FakeWindow window;
        Control(L"clear-log");
        EXPECT_EQ(Click(window, c.kind, c.policy), c.started ? 0u : kInstallerFailed);
        EXPECT_EQ(SetupRuns(c.started ? 1 : 0).size(), c.started ? 1u : 0u);
        // (The support log went with the working folder before the run.)
        if (c.logged)
        {
            EXPECT_NE(ReadFileBytes(SupportLogPath()).find(c.logged), std::string::npos)
                << c.logged;
        }
        // A name that starts nothing is judged before a byte is fetched.
        EXPECT_EQ(Control(L"log").find("/_fault/setup."), std::string::npos);
        EXPECT_EQ(window.StatusTexts(), c.started
                                            ? std::vector<std::wstring>{}
                                            : std::vector<std::wstring>{L"[INSTALLER_UNTRUSTED]"});
        EXPECT_EQ(window.Messages(), 0);
    }
}

TEST(Staging, CommandLinesSurviveBlanksAndNonAnsiLettersInPaths)
{
    // A program folder with blanks, as under "C:\Program Files", and letters the ANSI code page
    // (1252 here) cannot hold, as in a Russian user's name: paths stay wide all the way.
    const std::wstring folder = ScratchFolder() + L"\\dir with blanks \u0418\u0432\u0430\u043D";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring setup = folder + L"\\My Setup.exe";
    ASSERT_TRUE(CopyFileW(ModuleData(L"WifiAutoInstallSetup.exe").c_str(), setup.c_str(), FALSE));
    const std::wstring log = folder + L"\\runs.log";
    SetSetupSetting(L"KVZ_SETUP_LOG", log.c_str());
    SetSetupSetting(L"KVZ_SETUP_EXIT", L"7");
    ChildProgram child;
    child.program = setup;
    child.folder = folder;
    child.tempFolder = folder;
    const ProcessOutcome outcome = RunChild(child, INFINITE);
    EXPECT_TRUE(outcome.started);
    EXPECT_TRUE(outcome.exitCodeKnown);
    EXPECT_EQ(outcome.exitCode, 7u);
    // The program saw its own path unaltered.
    EXPECT_NE(ReadFileBytes(log).find("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\\My Setup.exe"),
              std::string::npos);

    const std::wstring out = folder + L"\\out put";
    ChildProgram archiver;
    archiver.program = ModuleData(L"7za.exe");
    archiver.arguments = BuildUnpackArguments(KVZ_PACKAGES_DIR L"/NoSetup.zip", out);
    archiver.tempFolder = folder;
    EXPECT_EQ(RunChild(archiver, INFINITE).exitCode, 0u);
    EXPECT_TRUE(FileExists(out + L"\\NoSetup\\readme.txt"));
    SetSetupSetting(L"KVZ_SETUP_EXIT", nullptr);
}

// The unpacked tree is walked through its held folder: Setup.exe is found one level deep, case
// ignored, files only; a link anywhere in it is named and nothing is found.
TEST(Staging, TheUnpackedTreeIsPlainAndItsSetupOneLevelDeep)
{
    CPackageFolder folder;
    ASSERT_TRUE(folder.Create(L"tree-walk"));
    const std::wstring root = folder.Path();
    const std::wstring elsewhere = ScratchFolder() + L"\\elsewhere";
    for (const wchar_t* dir : {L"\\A", L"\\B", L"\\C", L"\\C\\D", L"\\E", L"\\Setup.exe"})
        CreateDirectoryW((root + dir).c_str(), nullptr);
    // Two levels down is too deep; folders named like it never match.
    WriteFileBytes(root + L"\\C\\D\\Setup.exe", "x");
    CreateDirectoryW((root + L"\\E\\setup.EXE").c_str(), nullptr);
    std::wstring found = L"?";
    std::wstring offending;
    EXPECT_TRUE(folder.CheckUnpackedTree(L"Setup.exe", found, offending));
    EXPECT_EQ(found, L"");
    WriteFileBytes(root + L"\\B\\SETUP.exe", "x");
    EXPECT_TRUE(folder.CheckUnpackedTree(L"Setup.exe", found, offending));
    EXPECT_EQ(found, root + L"\\B\\SETUP.exe");

    CreateDirectoryW(elsewhere.c_str(), nullptr);
    ASSERT_TRUE(MakeFolderLink(root + L"\\C\\Linked", elsewhere));
    EXPECT_FALSE(folder.CheckUnpackedTree(L"Setup.exe", found, offending));
    EXPECT_EQ(found, L"");
    EXPECT_EQ(offending, root + L"\\C\\Linked");
    EXPECT_TRUE(RemoveFolderLink(root + L"\\C\\Linked"));
}

} // namespace
