// The workflows through the real window, against the driver-service stand-in, driven from outside
// by its controls: the shipped installer for its own two commands, a build that offers all four
// for the others.
#include "../../gui/GuiDriver.h"
#include "../NetTestSupport.h"
#include "WorkFolder.h"

#include "BuildConfig.h"
#include "localisation/WordTable.h"
#include "net/HttpRequest.h"
#include "net/Sha256Hasher.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <commctrl.h>
#include <oleacc.h>
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace nettest;

namespace {

std::wstring Dist()
{
    return EnvText(L"KVZ_E2E_DIST");
}

std::wstring Word(WordId id)
{
    return LookUpWord(Dist() + L"\\data\\translation.json", L"eng", WordKeys[id]);
}

std::wstring MainCaption()
{
    const char* version = KVZ_VERSION_TEXT;
    return L"USB Bluetooth Wireless Adapter (" +
           std::wstring(version, version + std::strlen(version)) + L")";
}

std::string Control(const std::wstring& pathAndQuery)
{
    std::string body;
    EXPECT_TRUE(GetJson(Http(L"/_control/" + pathAndQuery), body));
    return body;
}

void SetOffer(const std::wstring& endpoint, const std::wstring& downloadUrl)
{
    Control(L"set?path=/api/rx/" + endpoint + L"&type=application/json&body=" +
            QueryEncode(L"{\"status\":true,\"downloadURL\":\"" + downloadUrl + L"\"}"));
}

// A command's detection record as deployment tools read it: from the 64-bit view (or, to show
// that nothing went elsewhere, from `view`).
struct InstallRecord
{
    bool present = false;
    std::wstring package;
    std::wstring sha256;
    DWORD exitCode = 0;
    std::wstring version;
    std::wstring installedAt;
};

constexpr const wchar_t* kRecordsKey = L"SOFTWARE\\KVZ7300\\Installed";

std::wstring RegistryText(HKEY key, const wchar_t* name)
{
    wchar_t text[256] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return L"(missing)";
    return text;
}

InstallRecord ReadRecord(const std::wstring& selector, REGSAM view = KEY_WOW64_64KEY)
{
    InstallRecord record;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kRecordsKey) + L"\\" + selector).c_str(), 0,
                      KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return record;
    record.present = true;
    record.package = RegistryText(key, L"Package");
    record.sha256 = RegistryText(key, L"Sha256");
    record.version = RegistryText(key, L"InstallerVersion");
    record.installedAt = RegistryText(key, L"InstalledAt");
    DWORD size = sizeof(record.exitCode);
    if (RegGetValueW(key, nullptr, L"ExitCode", RRF_RT_REG_DWORD, nullptr, &record.exitCode,
                     &size) != ERROR_SUCCESS)
        record.exitCode = 0xDEAD;
    RegCloseKey(key);
    return record;
}

// Every record and what an interrupted write left, so that no test sees another's.
void RemoveRecords()
{
    HKEY installed = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordsKey, 0, KEY_READ | KEY_WOW64_64KEY, &installed) ==
        ERROR_SUCCESS)
    {
        std::vector<std::wstring> names;
        wchar_t name[256];
        for (DWORD i = 0, size = 256; RegEnumKeyExW(installed, i, name, &size, nullptr, nullptr,
                                                    nullptr, nullptr) == ERROR_SUCCESS;
             ++i, size = 256)
            names.push_back(name);
        for (const std::wstring& each : names)
            RegDeleteKeyExW(installed, each.c_str(), KEY_WOW64_64KEY, 0);
        RegCloseKey(installed);
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kRecordsKey, KEY_WOW64_64KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KVZ7300", KEY_WOW64_64KEY, 0);
}

std::wstring Sha256Of(const std::wstring& path)
{
    const FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    net::Sha256Digest digest{};
    EXPECT_TRUE(file && net::HashOpenFile(file.get(), digest)) << Narrow(path);
    const std::string hex = net::Sha256ToHex(digest);
    return std::wstring(hex.begin(), hex.end());
}

// The record names `file` with its digest and `exitCode`, and nothing is in the 32-bit view.
void ExpectRecord(const wchar_t* selector, DWORD exitCode, const std::wstring& file)
{
    SCOPED_TRACE(Narrow(selector));
    const InstallRecord record = ReadRecord(selector);
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.exitCode, exitCode);
    EXPECT_EQ(record.package, file.substr(file.find_last_of(L"\\/") + 1));
    EXPECT_EQ(record.sha256, Sha256Of(file));
    const char* version = KVZ_VERSION_TEXT;
    EXPECT_EQ(record.version, std::wstring(version, version + std::strlen(version)));
    EXPECT_EQ(record.installedAt.size(), 20u); // its form: the native tests'
    EXPECT_FALSE(ReadRecord(selector, KEY_WOW64_32KEY).present);
}

// The marker files of the DLLs planted beside the all-offers build that some process loaded.
std::vector<std::wstring> LoadedPlantedDlls()
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE hFind = FindFirstFileW((Dist() + L"\\*.loaded").c_str(), &found);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(hFind, &found));
    FindClose(hFind);
    return names;
}

void ForgetPlantedDlls()
{
    for (const std::wstring& name : LoadedPlantedDlls())
        DeleteFileW((Dist() + L"\\" + name).c_str());
}

class WorkflowWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The user's working folder starts empty, so nothing of another run can be found.
        ASSERT_TRUE(EmptyWorkFolder());
        ForgetPlantedDlls();
        m_log = ScratchFolder() + L"\\setups.log";
        DeleteFileW(m_log.c_str());
        ClearSetupSettings();
        SetSetupSetting(L"KVZ_SETUP_LOG", m_log.c_str());
        SetSetupSetting(L"KVZ_SETUP_EXIT", L"0");
        Control(L"clear");
        ASSERT_TRUE(m_installer.Start(Installer()));
        m_hWnd = m_installer.FindWindowByCaption(MainCaption(), 30000);
        ASSERT_NE(nullptr, m_hWnd);
    }
    virtual std::wstring Installer() const { return Dist() + L"\\InstallerAllOffers.exe"; }
    void TearDown() override
    {
        Control(L"clear");
        m_installer.Terminate();
        // Whatever the workflow used came from the system folder.
        EXPECT_EQ(LoadedPlantedDlls(), std::vector<std::wstring>());
    }

    void Click(int id) { PostMessageW(GetDlgItem(m_hWnd, id), BM_CLICK, 0, 0); }
    std::wstring Status() { return WindowText(GetDlgItem(m_hWnd, IDC_STATUS)); }

    std::vector<std::wstring> WaitForSetups(std::size_t count, DWORD timeoutMs = 60000)
    {
        std::vector<std::wstring> lines;
        WaitFor(
            [&] {
                lines.clear();
                std::istringstream text(ReadFileBytes(m_log));
                for (std::string line; std::getline(text, line);)
                    lines.emplace_back(line.begin(), line.end());
                return lines.size() >= count;
            },
            timeoutMs);
        return lines;
    }

    CProgram m_installer;
    HWND m_hWnd = nullptr;
    std::wstring m_log;
};

// The very folder that ships.
class ShippedWindow : public WorkflowWindow
{
protected:
    std::wstring Installer() const override
    {
        return EnvText(L"KVZ_DIST_DIR") + L"\\Installer.exe";
    }
};

// The planted copies are real bait: a program that searches the installer's folder by name
// loads them.
TEST(PlantedDlls, AreLoadedBySearchingTheInstallersFolder)
{
    ForgetPlantedDlls();
    ASSERT_TRUE(SetDllDirectoryW(Dist().c_str()));
    const HMODULE hModule = LoadLibraryW(L"gdiplus.dll");
    SetDllDirectoryW(nullptr);
    ASSERT_NE(nullptr, hModule);
    FreeLibrary(hModule);
    EXPECT_EQ(LoadedPlantedDlls(), std::vector<std::wstring>{L"gdiplus.dll.loaded"});
    ForgetPlantedDlls();
}

// The live-region events another program's window raises, as a screen reader hears them.
class LiveRegionEvents
{
public:
    explicit LiveRegionEvents(const CProgram& program)
    {
        s_events.clear();
        m_hook = SetWinEventHook(EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_LIVEREGIONCHANGED,
                                 nullptr, Heard, program.Id(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~LiveRegionEvents() { UnhookWinEvent(m_hook); }
    // The windows each event came from, once WaitFor has pumped them in.
    static const std::vector<HWND>& Sources() { return s_events; }

private:
    static void CALLBACK Heard(HWINEVENTHOOK, DWORD, HWND hWnd, LONG idObject, LONG idChild, DWORD,
                               DWORD)
    {
        if (idObject == OBJID_CLIENT && idChild == CHILDID_SELF)
            s_events.push_back(hWnd);
    }

    HWINEVENTHOOK m_hook = nullptr;
    static std::vector<HWND> s_events;
};
std::vector<HWND> LiveRegionEvents::s_events;

// Name and state as an accessibility tool reads them.
std::wstring AccessibleName(HWND hWnd, LONG* state = nullptr)
{
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hWnd, OBJID_CLIENT, IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible))))
        return L"<none>";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring text;
    if (SUCCEEDED(accessible->get_accName(self, &name)) && name)
        text = name;
    SysFreeString(name);
    VARIANT value{};
    if (state && SUCCEEDED(accessible->get_accState(self, &value)) && value.vt == VT_I4)
        *state = value.lVal;
    accessible->Release();
    return text;
}

TEST_F(ShippedWindow, BluetoothShowsItsBarAndStartsTheDriverSetup)
{
    const HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_BLUETOOTH);
    // Named by what it measures, and hidden to accessibility tools while it is.
    LONG state = 0;
    EXPECT_EQ(AccessibleName(bar, &state), Word(INSTALL_BT));
    EXPECT_TRUE(state & STATE_SYSTEM_INVISIBLE);
    EXPECT_EQ(AccessibleName(GetDlgItem(m_hWnd, IDC_INSTALL_BLUETOOTH)), Word(INSTALL_BT));
    const LiveRegionEvents events(m_installer);
    EXPECT_FALSE(IsWindowVisible(bar));
    Click(IDC_INSTALL_BLUETOOTH);
    // The bar holds 100 for a second after the download before it is hidden again.
    EXPECT_TRUE(WaitFor(
        [&] { return IsWindowVisible(bar) && SendMessageW(bar, PBM_GETPOS, 0, 0) == 100; }, 20000));
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(bar); }, 10000));
    const auto runs = WaitForSetups(1);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_NE(runs[0].find(L"\\KVZ7300\\RealtekBT-8821CU-win7\\RealtekBT-win7\\Setup.exe"),
              std::wstring::npos);
    EXPECT_EQ(Status(), L"");
    EXPECT_EQ(m_installer.FindMessageDialog(0), nullptr);
    // A moving bar is no news for a screen reader.
    EXPECT_EQ(LiveRegionEvents::Sources().size(), 0u);
}

TEST_F(ShippedWindow, NothingToFetchShowsTheMessageWithoutABar)
{
    Control(L"set?path=/api/rx/RealtekDrivers&type=application/json&body=" +
            QueryEncode(L"{\"status\":false}"));
    const HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_BLUETOOTH);
    Click(IDC_INSTALL_BLUETOOTH);
    HWND dialog = nullptr;
    bool barSeen = false;
    WaitFor(
        [&] {
            barSeen = barSeen || IsWindowVisible(bar);
            dialog = m_installer.FindMessageDialog(0);
            return dialog != nullptr;
        },
        20000);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(barSeen);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_MESSAGE_TEXT)), Word(HINT_NO_INTERNET));
    // The main window stays usable while the message is open.
    EXPECT_TRUE(IsWindowEnabled(m_hWnd));
    PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return m_installer.FindMessageDialog(0) == nullptr; }, 10000));
    EXPECT_EQ(Status(), L"");
}

TEST_F(WorkflowWindow, FailedDownloadHidesTheBarThenShowsTheMessage)
{
    SetOffer(L"VelmoraRXApp",
             Https(L"/_fault/Velmora.exe?size=300000&trickle=100&piece=20000&reset=100000"));
    const HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_RECEIVER);
    Click(IDC_INSTALL_RECEIVER);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(bar) != FALSE; }, 20000));
    HWND dialog = nullptr;
    EXPECT_TRUE(
        WaitFor([&] { return (dialog = m_installer.FindMessageDialog(0)) != nullptr; }, 30000));
    EXPECT_FALSE(IsWindowVisible(bar));
}

// The new status text is announced once, from the status line, and reads as its text.
TEST_F(ShippedWindow, WifiSuccessAddsTheBluetoothHint)
{
    const LiveRegionEvents events(m_installer);
    RemoveRecords();
    Click(IDC_INSTALL_WIFI);
    EXPECT_TRUE(WaitFor([&] { return !Status().empty(); }, 20000));
    EXPECT_EQ(Status(), Word(WIFI_INSTALLED) + L" " + Word(HINT_DL_BT));
    // Deployment tools' records come from their runs only.
    EXPECT_FALSE(ReadRecord(L"wifi").present);
    const HWND status = GetDlgItem(m_hWnd, IDC_STATUS);
    WaitFor([] { return !LiveRegionEvents::Sources().empty(); }, 5000);
    Sleep(300);
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(LiveRegionEvents::Sources(), std::vector<HWND>{status});
    EXPECT_EQ(AccessibleName(status), Status());
}

TEST_F(ShippedWindow, WifiFailureChangesNothing)
{
    SetSetupSetting(L"KVZ_SETUP_EXIT", L"1");
    // The variable reaches the setup program through the installer started before: restart.
    m_installer.Terminate();
    ASSERT_TRUE(m_installer.Start(Installer()));
    m_hWnd = m_installer.FindWindowByCaption(MainCaption(), 30000);
    ASSERT_NE(nullptr, m_hWnd);
    Click(IDC_INSTALL_WIFI);
    EXPECT_EQ(WaitForSetups(1).size(), 1u);
    Sleep(500);
    EXPECT_EQ(Status(), L"");
}

TEST_F(WorkflowWindow, ReceiverAndHotspotDownloadTogether)
{
    // Slow enough that both bars are seen at once.
    SetOffer(L"VelmoraRXApp", Https(L"/packages/VelmoraRXSetup.exe?trickle=50&piece=65536"));
    SetOffer(L"QuillHotspot", Https(L"/packages/QuillHotspotSetup.exe?trickle=50&piece=65536"));
    Click(IDC_INSTALL_RECEIVER);
    Click(IDC_INSTALL_HOTSPOT);
    const HWND receiver = GetDlgItem(m_hWnd, IDC_PROGRESS_RECEIVER);
    const HWND hotspot = GetDlgItem(m_hWnd, IDC_PROGRESS_HOTSPOT);
    EXPECT_TRUE(
        WaitFor([&] { return IsWindowVisible(receiver) && IsWindowVisible(hotspot); }, 20000));
    EXPECT_EQ(WaitForSetups(2).size(), 2u);
}

TEST_F(WorkflowWindow, QuickDoubleClickRunsTheWorkflowOnce)
{
    Control(L"clear-log");
    Click(IDC_INSTALL_RECEIVER);
    Click(IDC_INSTALL_RECEIVER);
    EXPECT_EQ(WaitForSetups(1).size(), 1u);
    Sleep(1500); // time for a second run to show itself
    EXPECT_EQ(WaitForSetups(2, 100).size(), 1u);
    const std::string log = Control(L"log");
    const std::size_t first = log.find("/api/rx/VelmoraRXApp");
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("/api/rx/VelmoraRXApp", first + 1), std::string::npos);
}

TEST_F(ShippedWindow, ClosingDuringARetryPauseEndsTheProcessAtOnce)
{
    Control(L"clear-log");
    SetOffer(L"RealtekDrivers", Https(L"/_fault/flaky.zip?status=503"));
    const auto asked = [] {
        const std::string log = Control(L"log");
        std::size_t count = 0;
        for (std::size_t at = 0; (at = log.find("flaky.zip", at)) != std::string::npos; ++at)
            ++count;
        return count;
    };
    Click(IDC_INSTALL_BLUETOOTH);
    // The first retry came after 1 s; the next would come 3 s after it.
    ASSERT_TRUE(WaitFor([&] { return asked() >= 2; }, 20000));
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(m_installer.WaitForExit(15000), 0u);
    EXPECT_EQ(asked(), 2u);
}

TEST_F(ShippedWindow, ClosingDuringADownloadEndsTheProcessAndTheNextStartCleansUp)
{
    SetOffer(L"RealtekDrivers", Https(L"/_fault/slow.zip?size=10000000&trickle=200&piece=4096"));
    const HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_BLUETOOTH);
    Click(IDC_INSTALL_BLUETOOTH);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(bar) != FALSE; }, 20000));
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    // Under Wine a windowed process takes about 2 s to go; the download alone would take minutes.
    EXPECT_EQ(m_installer.WaitForExit(15000), 0u);

    // The cut download and an earlier run's package folder go at the next start; the logs, the
    // packages and whatever a link in the folder points to stay.
    const std::wstring part = GetWorkFolderPath(L"slow\\slow.zip.part");
    EXPECT_TRUE(FileExists(part));
    const std::wstring packageFolder = GetWorkFolderPath(L"RealtekBT-8821CU-win7");
    CreateDirectoryW(packageFolder.c_str(), nullptr);
    CreateDirectoryW((packageFolder + L"\\RealtekBT-win7").c_str(), nullptr);
    WriteFileBytes(packageFolder + L"\\RealtekBT-win7\\driver.inf", "x");
    SetFileAttributesW((packageFolder + L"\\RealtekBT-win7\\driver.inf").c_str(),
                       FILE_ATTRIBUTE_READONLY);
    const std::wstring elsewhere = ScratchFolder() + L"\\elsewhere";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    WriteFileBytes(elsewhere + L"\\keep.txt", "x");
    ASSERT_TRUE(MakeFolderLink(GetWorkFolderPath(L"Linked"), elsewhere));
    const std::vector<std::wstring> kept = {GetWorkFolderPath(L"Installer.log"),
                                            GetWorkFolderPath(L"Installer.1.log"),
                                            GetWorkFolderPath(L"RealtekBT-8821CU-win10.zip")};
    for (const std::wstring& path : kept)
        WriteFileBytes(path, "earlier\r\n");

    // Everything but the kept files and the link (which Wine cannot remove, below).
    const auto others = [&] {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(GetWorkFolderPath(L"*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do
        {
            const std::wstring path = GetWorkFolderPath(entry.cFileName);
            if (entry.cFileName[0] != L'.' &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                std::find(kept.begin(), kept.end(), path) == kept.end())
                names.push_back(entry.cFileName);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    };
    ASSERT_EQ(others().size(), 2u);

    ASSERT_TRUE(m_installer.Start(Installer()));
    EXPECT_TRUE(WaitFor([&] { return others().empty(); }, 20000));
    for (const std::wstring& path : kept)
        EXPECT_TRUE(FileExists(path)) << Narrow(path);
    EXPECT_TRUE(FileExists(elsewhere + L"\\keep.txt"));
    // Known Wine difference: Wine's RemoveDirectoryW does not remove a link to a full folder.
    if (!RunningUnderWine())
    {
        EXPECT_TRUE(WaitFor([&] { return !FileExists(GetWorkFolderPath(L"Linked")); }, 20000));
    }
}

// Another program (here, the test) holds a lock on all of the support log from before the
// installer starts, through its initialisation, a click and a download: the window's thread
// writes no line itself and waits for no worker, so it answers at once all the same.
TEST_F(ShippedWindow, TheWindowAnswersWhileAnotherProgramLocksTheLog)
{
    SetOffer(L"RealtekDrivers", Https(L"/_fault/big.zip?size=67108864"));
    m_installer.Terminate();
    const FileHandle log(CreateFileW(GetWorkFolderPath(L"Installer.log").c_str(),
                                     GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    OVERLAPPED all = {};
    ASSERT_TRUE(LockFileEx(log.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                           MAXDWORD, MAXDWORD, &all));
    ASSERT_TRUE(m_installer.Start(Installer()));
    m_hWnd = m_installer.FindDialog(30000); // before its initialisation ends
    ASSERT_NE(nullptr, m_hWnd);

    const HWND bar = GetDlgItem(m_hWnd, IDC_PROGRESS_BLUETOOTH);
    std::vector<double> trips;
    bool clicked = false;
    bool barSeen = false;
    // A round trip every 2 ms until the download is over (the bar hides again).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline && !(barSeen && !IsWindowVisible(bar)))
    {
        if (!clicked && WindowText(m_hWnd) == MainCaption())
        {
            Click(IDC_INSTALL_BLUETOOTH);
            clicked = true;
        }
        barSeen = barSeen || IsWindowVisible(bar);
        const auto start = std::chrono::steady_clock::now();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        trips.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        Sleep(2);
    }
    ASSERT_TRUE(barSeen);
    EXPECT_FALSE(IsWindowVisible(bar)) << "the download did not end within 90 s";
    std::sort(trips.begin(), trips.end());
    EXPECT_LT(trips[trips.size() * 99 / 100], 20.0) << trips.size() << " round trips";
    // A writer waits up to 250 ms for the log's lock: a window's thread that wrote a line itself
    // would miss one answer by about that much, which the 99th percentile does not see.
    EXPECT_LT(trips.back(), 125.0);
}

// Unattended runs of the all-offers installer, started as a distribution tool starts it and
// read as it reads them: the whole exit code, which a Unix parent would see cut to a byte.
class Unattended : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EmptyWorkFolder());
        m_log = ScratchFolder() + L"\\unattended-setups.log";
        DeleteFileW(m_log.c_str());
        ClearSetupSettings();
        SetSetupSetting(L"KVZ_SETUP_LOG", m_log.c_str());
        SetSetupSetting(L"KVZ_SETUP_EXIT", L"0");
        Control(L"clear");
        RemoveRecords();
    }
    void TearDown() override
    {
        SetSetupSetting(L"KVZ_SETUP_SLEEP_MS", nullptr);
        Control(L"clear");
        RemoveRecords();
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\KVZ7300", L"Proxy");
    }

    // `output`: a file the run's standard output goes to, as a tool that reads it gives one.
    static HANDLE Start(const std::wstring& arguments, const std::wstring& output = L"",
                        const std::wstring& program = Dist() + L"\\InstallerAllOffers.exe")
    {
        std::wstring line = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
        FileHandle out;
        if (!output.empty())
        {
            out.reset(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                  CREATE_ALWAYS, 0, nullptr));
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = out.get();
        }
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, out ? TRUE : FALSE, 0, nullptr,
                            nullptr, &startup, &info))
            return nullptr;
        CloseHandle(info.hThread);
        return info.hProcess;
    }
    // With `windowSeen`, whether the main window showed while the run went on.
    static DWORD Finish(HANDLE process, bool* windowSeen = nullptr)
    {
        DWORD code = 0xDEAD;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        DWORD waited = WAIT_TIMEOUT;
        while (waited == WAIT_TIMEOUT && std::chrono::steady_clock::now() < deadline)
        {
            if (windowSeen && FindWindowW(nullptr, MainCaption().c_str()))
                *windowSeen = true;
            waited = WaitForSingleObject(process, 50);
        }
        if (waited == WAIT_OBJECT_0)
            GetExitCodeProcess(process, &code);
        else
            TerminateProcess(process, 0xDEAD);
        CloseHandle(process);
        return code;
    }
    std::size_t SetupRuns() const
    {
        std::istringstream text(ReadFileBytes(m_log));
        std::size_t count = 0;
        for (std::string line; std::getline(text, line);)
            ++count;
        return count;
    }
    bool SetupRan(const char* pathPart) const
    {
        return ReadFileBytes(m_log).find(pathPart) != std::string::npos;
    }

    static std::wstring Layout() { return ScratchFolder() + L"\\layout"; }
    // A layout made by the all-offers build, as an administrator makes one; its exit code.
    static DWORD MakeLayout(const std::wstring& folder, const std::wstring& selectors,
                            std::string* printed = nullptr)
    {
        DeleteTree(folder);
        const std::wstring output = ScratchFolder() + L"\\layout-output.txt";
        bool windowSeen = false;
        const DWORD code =
            Finish(Start(L"/layout \"" + folder + L"\" " + selectors, output), &windowSeen);
        EXPECT_FALSE(windowSeen);
        if (printed)
            *printed = ReadFileBytes(output);
        return code;
    }
    static void AnswerOnlyErrors()
    {
        for (const wchar_t* endpoint : {L"RealtekDrivers", L"VelmoraRXApp", L"QuillHotspot"})
            Control(std::wstring(L"set?path=/api/rx/") + endpoint +
                    L"&status=404&type=text/html&body=gone");
    }
    static std::size_t Count(const std::string& text, const std::string& needle)
    {
        std::size_t count = 0;
        for (std::size_t at = text.find(needle); at != std::string::npos;
             at = text.find(needle, at + 1))
            ++count;
        return count;
    }
    static std::size_t ServiceRequests() { return Count(Control(L"log"), "\"/api/rx/"); }

    std::wstring m_log;
};

TEST_F(Unattended, QuietRunsEndWithTheCodeDistributionToolsRead)
{
    constexpr DWORD kNone = 0xFFFFFFFF; // no record
    const std::wstring logFile = ScratchFolder() + L"\\run log.txt";
    DeleteFileW(logFile.c_str());
    const struct
    {
        const char* what;
        const wchar_t* arguments;
        const wchar_t* setupExit;
        bool offersNothing;
        DWORD code;
        std::size_t setups;
        // The detection records' exit codes after the run: a failure leaves them as they were.
        DWORD wifiRecord;
        DWORD bluetoothRecord;
    } cases[] = {
        {"a setup asking for a restart", L"/quiet /bluetooth", L"3010", false, 3010, 1, kNone,
         3010},
        {"the setup fails", L"/quiet /bluetooth", L"1603", false, 1603, 1, kNone, 3010},
        {"the Wi-Fi setup started one", L"-Q /WIFI", L"1641", false, 1641, 1, 1641, 3010},
        {"both succeed, logged", L"/quiet /wifi /bluetooth /log \"RUNLOG\"", L"0", false, 0, 2, 0,
         0},
        {"the service offers nothing", L"/quiet /bluetooth", L"0", true, 1603, 0, 0, 0},
        {"an unknown switch", L"/quiet /silent", L"0", false, 87, 0, 0, 0},
        {"/log without a file", L"/quiet /wifi /log", L"0", false, 87, 0, 0, 0},
        {"both modes", L"/quiet /passive", L"0", false, 87, 0, 0, 0},
        // The elevated run writes its log only where nothing on the way is a link or remote.
        {"/log on a share", L"/quiet /wifi /log \\\\server\\share\\run.log", L"0", false, 87, 0, 0,
         0},
        {"/log on a device", L"/quiet /wifi /log=\\\\.\\NUL", L"0", false, 87, 0, 0, 0},
        {"/log through a link", L"/quiet /wifi /log \"LINKLOG\"", L"0", false, 87, 0, 0, 0},
    };
    const std::wstring wifiSetup = Dist() + L"\\data\\WifiAutoInstallSetup.exe";
    const std::wstring bluetoothPackage = KVZ_PACKAGES_DIR L"\\RealtekBT-8821CU-win7.zip";
    const std::wstring linked = ScratchFolder() + L"\\linked";
    CreateDirectoryW((ScratchFolder() + L"\\target").c_str(), nullptr);
    ASSERT_TRUE(MakeFolderLink(linked, ScratchFolder() + L"\\target"));
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteFileW(m_log.c_str());
        SetSetupSetting(L"KVZ_SETUP_EXIT", c.setupExit);
        if (c.offersNothing)
            Control(L"set?path=/api/rx/RealtekDrivers&type=application/json&body=" +
                    QueryEncode(L"{\"status\":false}"));
        else
            Control(L"clear");
        std::wstring arguments = c.arguments;
        const std::size_t at = arguments.find(L"RUNLOG");
        if (at != std::wstring::npos)
            arguments.replace(at, 6, logFile);
        const std::size_t link = arguments.find(L"LINKLOG");
        if (link != std::wstring::npos)
            arguments.replace(link, 7, linked + L"\\run.log");
        bool windowSeen = false;
        EXPECT_EQ(Finish(Start(arguments), &windowSeen), c.code);
        EXPECT_EQ(SetupRuns(), c.setups);
        EXPECT_FALSE(windowSeen);
        if (c.wifiRecord == kNone)
            EXPECT_FALSE(ReadRecord(L"wifi").present);
        else
            ExpectRecord(L"wifi", c.wifiRecord, wifiSetup);
        ExpectRecord(L"bluetooth", c.bluetoothRecord, bluetoothPackage);
    }
    // The shipped build offers no hotspot command: naming it is a wrong command line.
    EXPECT_EQ(Finish(Start(L"/quiet /hotspot", L"", EnvText(L"KVZ_DIST_DIR") + L"\\Installer.exe")),
              87u);
    // A tool reading the run's output gets a line per command and the final code.
    const std::wstring output = ScratchFolder() + L"\\quiet-output.txt";
    EXPECT_EQ(Finish(Start(L"/quiet /wifi /bluetooth", output)), 0u);
    // (beside the HTTP status lines that the requests have always written there)
    const std::string printed = ReadFileBytes(output);
    for (const char* line :
         {"Wi-Fi driver: exit code 0\r\n", "Bluetooth driver: exit code 0\r\n", "Exit code 0\r\n"})
        EXPECT_NE(printed.find(line), std::string::npos) << printed;
    const std::string logged = ReadFileBytes(logFile);
    EXPECT_NE(logged.find("Unattended outcome: Bluetooth driver: exit code 0"), std::string::npos);
    EXPECT_NE(logged.find("Unattended run ends with exit code 0"), std::string::npos);
    EXPECT_EQ(LoadedPlantedDlls(), std::vector<std::wstring>());
    EXPECT_FALSE(FileExists(ScratchFolder() + L"\\target\\run.log"));
    EXPECT_TRUE(RemoveFolderLink(linked));
}

// A working folder the installer did not make (a folder with a file, a file, a link to another
// folder) is set aside under another name, never followed; the run then makes its own.
TEST_F(Unattended, AWorkingFolderTheInstallerDidNotMakeIsSetAside)
{
    const std::wstring root = GetWorkFolderPath(L"");
    const std::wstring aside = root + L".set-aside.1";
    const std::wstring elsewhere = ScratchFolder() + L"\\elsewhere";
    CreateDirectoryW(elsewhere.c_str(), nullptr);
    WriteFileBytes(elsewhere + L"\\keep.txt", "mine");
    const struct
    {
        const char* what;
        std::function<bool()> plant;
        bool bLink;
        const wchar_t* kept; // what the user had, below the name it was set aside to
    } cases[] = {
        {"a folder with a file",
         [&] {
             CreateDirectoryW(root.c_str(), nullptr);
             WriteFileBytes(root + L"\\mine.txt", "mine");
             return FileExists(root + L"\\mine.txt");
         },
         false, L"\\mine.txt"},
        {"a file",
         [&] {
             WriteFileBytes(root, "mine");
             return FileExists(root);
         },
         false, L""},
        {"a link", [&] { return MakeFolderLink(root, elsewhere); }, true, L"\\keep.txt"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(EmptyWorkFolder());
        DeleteTree(aside);
        DeleteFileW(aside.c_str());
        ASSERT_TRUE(c.plant());
        DeleteFileW(m_log.c_str());
        const DWORD code = Finish(Start(L"/quiet /wifi"));
        if (c.bLink && RunningUnderWine())
        {
            // Known Wine difference: its handles reach only what a link points to, so nothing
            // can rename the link itself. The installer then has no working folder: it starts
            // nothing rather than follow the link.
            EXPECT_EQ(code, 1603u);
            EXPECT_EQ(SetupRuns(), 0u);
            EXPECT_TRUE(RemoveFolderLink(root));
        }
        else
        {
            EXPECT_EQ(code, 0u);
            EXPECT_EQ(SetupRuns(), 1u);
            EXPECT_NE(GetFileAttributesW(aside.c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_NE(ReadFileBytes(root + L"\\Installer.log").find("Set aside a working folder"),
                      std::string::npos);
            EXPECT_EQ(ReadFileBytes(aside + c.kept), "mine");
        }
        // What a link pointed to is neither moved nor written.
        EXPECT_EQ(ReadFileBytes(elsewhere + L"\\keep.txt"), "mine");
        EXPECT_FALSE(FileExists(elsewhere + L"\\Installer.log"));
    }
    EXPECT_TRUE(EmptyWorkFolder());
    if (FileExists(aside) && !(GetFileAttributesW(aside.c_str()) & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW(aside.c_str());
    DeleteTree(aside);
}

// The Wi-Fi setup starts from its checked copy in the working folder, never from data\, where
// any program of the user can plant a DLL: one planted there under a name Wine is told to
// prefer (as Windows prefers any DLL that is no Known DLL) stays unloaded.
TEST_F(Unattended, TheWifiSetupNeverRunsBesideWhatDataHolds)
{
    const std::wstring data = Dist() + L"\\data";
    const std::wstring marker = data + L"\\version.dll.loaded";
    const wchar_t* overrides =
        L"Software\\Wine\\AppDefaults\\WifiAutoInstallSetup.exe\\DllOverrides";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, overrides, L"version", REG_SZ, L"native,builtin",
                              sizeof(L"native,builtin")),
              ERROR_SUCCESS);
    DeleteFileW(marker.c_str());
    // The bait is real: started from data\, the setup loads it (Wine's user32, which every
    // window program loads, imports version.dll).
    EXPECT_EQ(Finish(Start(L"", L"", data + L"\\WifiAutoInstallSetup.exe")), 0u);
    EXPECT_TRUE(FileExists(marker));
    DeleteFileW(marker.c_str());
    EXPECT_EQ(Finish(Start(L"/quiet /wifi")), 0u);
    EXPECT_EQ(SetupRuns(), 2u);
    EXPECT_FALSE(FileExists(marker));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\WifiAutoInstallSetup.exe");
}

// The vendor's silent switches (a build setting; the test tree gives the receiver some) reach
// the setup program in unattended runs only.
TEST_F(Unattended, TheSilentSwitchesReachTheSetupProgram)
{
    const std::wstring args = ScratchFolder() + L"\\setup-args.log";
    DeleteFileW(args.c_str());
    SetSetupSetting(L"KVZ_SETUP_ARGS_LOG", args.c_str());
    const DWORD code = Finish(Start(L"/quiet /receiver"));
    SetSetupSetting(L"KVZ_SETUP_ARGS_LOG", nullptr);
    EXPECT_EQ(code, 0u);
    const std::string line = ReadFileBytes(args);
    EXPECT_NE(line.find("VelmoraRXSetup.exe\" /quiet-test \"a b\"\n"), std::string::npos) << line;
}

// `self` pinned: a quiet run trusts whoever signed the installer's own file, read through the
// file it holds from its first line, so nothing put in its place later makes another publisher
// trusted. Signed copies of the all-offers installer that pins `self`; the receiver's package
// is one of the publisher tests' (make-packages.py).
TEST_F(Unattended, QuietRunsWithSelfPinnedTrustTheInstallersOwnSigner)
{
    const struct
    {
        const char* what;
        const wchar_t* installer;
        const wchar_t* package;
        DWORD code;
        std::size_t setups;
    } cases[] = {
        {"both signed by the vendor", L"SelfPinned-vendor.exe", L"Publisher-vendor.exe", 0, 1},
        {"package by another publisher", L"SelfPinned-vendor.exe", L"Publisher-other.exe", 1603, 0},
        {"installer by another publisher", L"SelfPinned-other.exe", L"Publisher-vendor.exe", 1603,
         0},
        {"installer unsigned", L"InstallerPinned.exe", L"Publisher-vendor.exe", 1603, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteFileW(m_log.c_str());
        SetOffer(L"VelmoraRXApp", Https(std::wstring(L"/packages/") + c.package));
        EXPECT_EQ(Finish(Start(L"/quiet /receiver", L"", Dist() + L"\\" + c.installer)), c.code);
        EXPECT_EQ(SetupRuns(), c.setups);
        // A layout holds only what an install would start.
        const std::wstring layout = ScratchFolder() + L"\\pinned layout";
        DeleteTree(layout);
        EXPECT_EQ(Finish(Start(L"/layout \"" + layout + L"\" /receiver", L"",
                               Dist() + L"\\" + c.installer)),
                  c.code);
        EXPECT_EQ(FileExists(layout + L"\\" + c.package), c.code == 0);
    }

    // While the package comes slowly, another program of the user moves the installer's file
    // away and puts a copy signed by another publisher in its place, whose package is offered.
    const std::wstring installer = ScratchFolder() + L"\\SelfPinned.exe";
    const std::wstring other = Dist() + L"\\SelfPinned-other.exe";
    ASSERT_TRUE(CopyFileW((Dist() + L"\\SelfPinned-vendor.exe").c_str(), installer.c_str(), FALSE));
    DeleteFileW(m_log.c_str());
    Control(L"clear-log");
    Control(L"set?path=/packages/Publisher-other.exe&trickle=100&piece=4096");
    SetOffer(L"VelmoraRXApp", Https(L"/packages/Publisher-other.exe"));
    const HANDLE run = Start(L"/quiet /receiver", L"", installer);
    ASSERT_NE(run, nullptr);
    EXPECT_TRUE(WaitFor(
        [] { return Control(L"log").find("/packages/Publisher-other.exe") != std::string::npos; },
        30000));
    const bool movedAway = MoveFileW(installer.c_str(), (installer + L".away").c_str()) != FALSE;
    EXPECT_FALSE(movedAway) << "the installer's file was not held";
    if (movedAway)
        CopyFileW(other.c_str(), installer.c_str(), FALSE);
    EXPECT_EQ(Finish(run), 1603u);
    EXPECT_EQ(SetupRuns(), 0u);
}

// A machine-wide lock: a second unattended run while one installs ends at once.
TEST_F(Unattended, ASecondRunWhileOneInstallsEndsWith1618)
{
    SetSetupSetting(L"KVZ_SETUP_SLEEP_MS", L"4000");
    const HANDLE first = Start(L"/quiet /wifi");
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(WaitFor([&] { return SetupRuns() == 1; }, 30000));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Finish(Start(L"/quiet /wifi")), 1618u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_EQ(Finish(first), 0u);
    EXPECT_EQ(SetupRuns(), 1u);
}

// /passive: the window shows and runs the commands by itself, nothing waits for a click, and it
// closes by itself; closed before the run ended, the run was cancelled.
TEST_F(Unattended, PassiveRunsShowTheWindowAndCloseThemselves)
{
    HANDLE process = Start(L"/passive /wifi /receiver");
    EXPECT_TRUE(
        WaitFor([&] { return FindWindowW(nullptr, MainCaption().c_str()) != nullptr; }, 30000));
    EXPECT_EQ(Finish(process), 0u);
    EXPECT_EQ(SetupRuns(), 2u); // both setups, without a click
    ExpectRecord(L"receiver", 0, KVZ_PACKAGES_DIR L"\\VelmoraRXSetup.exe");

    // Nothing to fetch: the message goes to the status line, no dialog waits for anyone.
    Control(L"set?path=/api/rx/RealtekDrivers&type=application/json&body=" +
            QueryEncode(L"{\"status\":false}"));
    process = Start(L"/passive /bluetooth");
    HWND window = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (window = FindWindowW(nullptr, MainCaption().c_str())); }, 30000));
    std::wstring status;
    EXPECT_TRUE(WaitFor(
        [&] {
            status = WindowText(GetDlgItem(window, IDC_STATUS));
            return status == Word(HINT_NO_INTERNET);
        },
        60000))
        << Narrow(status);
    EXPECT_EQ(Finish(process), 1603u);

    Control(L"clear");
    DeleteFileW(m_log.c_str());
    SetSetupSetting(L"KVZ_SETUP_SLEEP_MS", L"5000");
    process = Start(L"/passive /wifi");
    ASSERT_TRUE(WaitFor([&] { return SetupRuns() == 1; }, 30000));
    window = FindWindowW(nullptr, MainCaption().c_str());
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 1602u);
}

// A family probe slower than the window's wait: the window shows its buttons as for an unknown
// Windows, but the passive run waits for the answer, and the receiver applies to this one.
TEST_F(Unattended, PassiveRunsWaitForTheFamilyWhenItIsLate)
{
    EXPECT_EQ(Finish(Start(L"/passive /receiver", L"", Dist() + L"\\InstallerSlowProbe.exe")), 0u);
    EXPECT_EQ(SetupRuns(), 1u);
}

// The package lies under a name only the stand-in's proxy resolves: without a proxy it is out
// of reach; /proxy, or the machine policy, takes the query and the package through the proxy;
// a proxy that asks for credentials ends a quiet run at once, with no window and no prompt, and
// asks the person at the window through Windows' own prompt.
TEST_F(Unattended, ProxiesFromTheSwitchOrThePolicyAndCredentialsOnlyFromAPerson)
{
    const std::wstring proxy = L"localhost:" + std::to_wstring(StandInPort("proxy"));
    const std::wstring package = L"https://packages.kvz7300.test:" +
                                 std::to_wstring(StandInPort("proxyonly")) +
                                 L"/packages/RealtekBT-8821CU-win7.zip";
    Control(L"set?path=/api/rx/RealtekDrivers&type=application/json&body=" +
            QueryEncode(L"{\"status\":true,\"downloadURL\":\"" + package + L"\"}"));
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth")), 1603u);
    EXPECT_EQ(SetupRuns(), 0u);

    StandIn(L"clear-log");
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth /proxy http://" + proxy)), 0u);
    EXPECT_EQ(SetupRuns(), 1u);
    EXPECT_EQ(LoggedTimes("\"target\": \"" KVZ_DRIVER_SERVICE_HOST "\"", 1), 1u);
    EXPECT_EQ(LoggedTimes("\"target\": \"packages.kvz7300.test:", 1), 1u);

    // The policy, for a click in the window.
    const wchar_t* policyKey = L"SOFTWARE\\Policies\\KVZ7300";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, policyKey, L"Proxy", REG_SZ, proxy.c_str(),
                              static_cast<DWORD>((proxy.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    HANDLE process = Start(L"");
    HWND window = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (window = FindWindowW(nullptr, MainCaption().c_str())); }, 30000));
    PostMessageW(GetDlgItem(window, IDC_INSTALL_BLUETOOTH), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return SetupRuns() == 2; }, 60000));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);

    // Credentials asked for: the log names the proxy and what it offers, nothing waits.
    StandIn(L"proxy?auth=Basic");
    const std::wstring logFile = ScratchFolder() + L"\\proxy run.log";
    DeleteFileW(logFile.c_str());
    bool windowSeen = false;
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth /log \"" + logFile + L"\""), &windowSeen), 1603u);
    EXPECT_FALSE(windowSeen);
    EXPECT_NE(ReadFileBytes(logFile).find("The proxy " + std::string(proxy.begin(), proxy.end()) +
                                          " asks for credentials (it offers Basic)"),
              std::string::npos);
    EXPECT_EQ(SetupRuns(), 2u);

    // In the window, Windows' own prompt asks; what was typed gets through and is never logged.
    StandIn(L"proxy?auth=Basic&user=kvz&password=Pr0xy-s3cret");
    process = Start(L"");
    ASSERT_TRUE(
        WaitFor([&] { return (window = FindWindowW(nullptr, MainCaption().c_str())); }, 30000));
    PostMessageW(GetDlgItem(window, IDC_INSTALL_BLUETOOTH), BM_CLICK, 0, 0);
    HWND prompt = nullptr;
    const DWORD processId = GetProcessId(process);
    EXPECT_TRUE(WaitFor(
        [&] {
            prompt = nullptr;
            for (HWND top = FindWindowW(L"#32770", nullptr); top && !prompt;
                 top = FindWindowExW(nullptr, top, L"#32770", nullptr))
            {
                DWORD owner = 0;
                GetWindowThreadProcessId(top, &owner);
                if (owner == processId && top != window && IsWindowVisible(top) &&
                    FindWindowExW(top, nullptr, L"Edit", nullptr))
                    prompt = top;
            }
            return prompt != nullptr;
        },
        30000))
        << "no credentials prompt";
    if (prompt)
    {
        const HWND user = FindWindowExW(prompt, nullptr, L"Edit", nullptr);
        const HWND password = FindWindowExW(prompt, user, L"Edit", nullptr);
        SendMessageW(user, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"kvz"));
        SendMessageW(password, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Pr0xy-s3cret"));
        PostMessageW(GetDlgItem(prompt, IDOK), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return SetupRuns() == 3; }, 60000));
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Finish(process), 0u);
    EXPECT_EQ(ReadFileBytes(GetWorkFolderPath(L"Installer.log")).find("Pr0xy-s3cret"),
              std::string::npos);
}

// Started by a person: /? lists the switches, and a wrong one is named; both in a box.
TEST_F(Unattended, HelpAndAWrongSwitchSpeakInAMessageBox)
{
    const struct
    {
        const wchar_t* arguments;
        const wchar_t* says;
        DWORD code;
    } cases[] = {
        {L"/?", L"/quiet", 0},
        {L"/bluetooth /silent", L"/silent", 87},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(Narrow(c.arguments));
        const HANDLE process = Start(c.arguments);
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] { return (box = FindWindowW(L"#32770", L"KVZ-7300 installer")) != nullptr; },
            20000));
        // A message box's text is its static control 0xFFFF.
        EXPECT_NE(WindowText(GetDlgItem(box, 0xFFFF)).find(c.says), std::wstring::npos);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(Finish(process), c.code);
    }
}

// /layout asks for each family's package once and lays it out byte for byte beside the
// installer and its data, starting nothing and showing no window. An installer pointed at it
// then asks the service nothing, refuses a package changed since, and with /offline ends 1612
// for a package the layout lacks.
TEST_F(Unattended, ALayoutHoldsEveryPackageAndInstallsWithoutTheService)
{
    Control(L"clear-log");
    std::string printed;
    ASSERT_EQ(MakeLayout(Layout(), L"", &printed), 0u);
    EXPECT_EQ(SetupRuns(), 0u);
    const std::string asked = Control(L"log");
    for (const char* query : {"os=win7&", "os=win8&", "os=win10&"})
        EXPECT_EQ(Count(asked, query), 1u) << query;
    EXPECT_EQ(Count(asked, "\"/api/rx/VelmoraRXApp\""), 1u);
    EXPECT_EQ(Count(asked, "\"/api/rx/QuillHotspot\""), 1u);
    for (const wchar_t* name :
         {L"RealtekBT-8821CU-win7.zip", L"RealtekBT-8821CU-win8.zip", L"RealtekBT-8821CU-win10.zip",
          L"VelmoraRXSetup.exe", L"QuillHotspotSetup.exe"})
        EXPECT_EQ(ReadFileBytes(Layout() + L"\\" + name),
                  ReadFileBytes(std::wstring(KVZ_PACKAGES_DIR) + L"\\" + name))
            << Narrow(name);
    for (const wchar_t* name : {L"InstallerAllOffers.exe", L"data\\translation.json",
                                L"data\\7za.exe", L"data\\WifiAutoInstallSetup.exe"})
    {
        const std::string bytes = ReadFileBytes(Layout() + L"\\" + name);
        EXPECT_FALSE(bytes.empty()) << Narrow(name);
        EXPECT_EQ(bytes, ReadFileBytes(Dist() + L"\\" + name)) << Narrow(name);
    }
    // What the build ships, not whatever else data\ holds.
    EXPECT_FALSE(FileExists(Layout() + L"\\data\\version.dll"));
    const std::string manifest = ReadFileBytes(Layout() + L"\\KVZ7300-layout.json");
    EXPECT_NE(manifest.find(Narrow(Https(L"/packages/RealtekBT-8821CU-win8.zip"))),
              std::string::npos);
    EXPECT_EQ(manifest.find('?'), std::string::npos);
    for (const char* line : {"Bluetooth driver (win10): RealtekBT-8821CU-win10.zip, ",
                             "receiver app: VelmoraRXSetup.exe, ", "Exit code 0\r\n"})
        EXPECT_NE(printed.find(line), std::string::npos) << printed;

    const std::wstring source = L" /source \"" + Layout() + L"\"";
    const auto namesIn = [](const std::wstring& folder) {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW entry;
        const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do
            names.push_back(entry.cFileName);
        while (FindNextFileW(find, &entry));
        FindClose(find);
        return names;
    };
    const std::vector<std::wstring> laidOut = namesIn(Layout());
    AnswerOnlyErrors();
    Control(L"clear-log");
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth /receiver" + source)), 0u);
    EXPECT_EQ(SetupRuns(), 2u);
    EXPECT_TRUE(SetupRan("\\KVZ7300\\RealtekBT-8821CU-win7\\RealtekBT-win7\\Setup.exe"));
    EXPECT_EQ(ServiceRequests(), 0u);
    ExpectRecord(L"bluetooth", 0, Layout() + L"\\RealtekBT-8821CU-win7.zip");
    EXPECT_EQ(namesIn(Layout()), laidOut);

    // Changed after the layout was made (same size): never run; the service is asked instead.
    const std::wstring win7 = Layout() + L"\\RealtekBT-8821CU-win7.zip";
    std::string changed = ReadFileBytes(win7);
    changed[changed.size() / 2] ^= 1;
    WriteFileBytes(win7, changed);
    DeleteFileW(m_log.c_str());
    Control(L"clear-log");
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth" + source)), 1603u);
    EXPECT_EQ(SetupRuns(), 0u);
    EXPECT_EQ(Count(Control(L"log"), "os=win7&"), 1u);

    // A layout of one command: with /offline the other ends 1612, asking nothing.
    Control(L"clear");
    // (in a folder that is not there yet either)
    DeleteTree(ScratchFolder() + L"\\layouts");
    const std::wstring receiverOnly = ScratchFolder() + L"\\layouts\\receiver only";
    ASSERT_EQ(MakeLayout(receiverOnly, L"/receiver"), 0u);
    EXPECT_FALSE(FileExists(receiverOnly + L"\\RealtekBT-8821CU-win7.zip"));
    AnswerOnlyErrors();
    Control(L"clear-log");
    DeleteFileW(m_log.c_str());
    EXPECT_EQ(
        Finish(Start(L"/quiet /bluetooth /receiver /offline /source \"" + receiverOnly + L"\"")),
        1612u);
    EXPECT_EQ(SetupRuns(), 1u);
    EXPECT_EQ(ServiceRequests(), 0u);

    // A data folder that links elsewhere receives nothing, nor does the layout.
    const std::wstring linked = ScratchFolder() + L"\\layouts\\linked";
    const std::wstring elsewhere = ScratchFolder() + L"\\layouts\\elsewhere";
    ASSERT_TRUE(CreateDirectoryW(linked.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
    ASSERT_TRUE(MakeFolderLink(linked + L"\\data", elsewhere));
    Control(L"clear");
    EXPECT_EQ(Finish(Start(L"/layout \"" + linked + L"\" /receiver")), 1603u);
    EXPECT_FALSE(FileExists(elsewhere + L"\\translation.json"));
    EXPECT_FALSE(FileExists(linked + L"\\KVZ7300-layout.json"));
    EXPECT_TRUE(RemoveFolderLink(linked + L"\\data"));
}

// Run with the prefix reporting Windows 10, and 8.1: the layout's own installer finds its
// manifest beside itself and takes this family's package, quietly and on a click.
class EnvLayoutWin10 : public Unattended
{
};
class EnvLayoutWin81 : public Unattended
{
};

// Beside the program, a manifest that others than administrators may change is not used (the
// build pins nothing); named by /source it is the person's choice.
TEST_F(EnvLayoutWin10, AQuietRunFromTheLayoutTakesThisFamilysPackage)
{
    ASSERT_EQ(MakeLayout(Layout(), L"/bluetooth"), 0u);
    AnswerOnlyErrors();
    Control(L"clear-log");
    const std::wstring installer = Layout() + L"\\InstallerAllOffers.exe";
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth", L"", installer)), 0u);
    EXPECT_EQ(SetupRuns(), 1u);
    EXPECT_TRUE(SetupRan("\\KVZ7300\\RealtekBT-8821CU-win10\\RealtekBT-win10\\Setup.exe"));
    EXPECT_EQ(ServiceRequests(), 0u);

    PSECURITY_DESCRIPTOR everyone = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &everyone, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(everyone, &present, &dacl, &defaulted);
    std::wstring manifest = Layout() + L"\\KVZ7300-layout.json";
    EXPECT_EQ(SetNamedSecurityInfoW(&manifest[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, dacl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalFree(everyone);
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth /offline", L"", installer)), 1612u);
    EXPECT_EQ(SetupRuns(), 1u);
    EXPECT_EQ(
        Finish(Start(L"/quiet /bluetooth /offline /source \"" + Layout() + L"\"", L"", installer)),
        0u);
    EXPECT_EQ(SetupRuns(), 2u);
    EXPECT_EQ(ServiceRequests(), 0u);
}

TEST_F(EnvLayoutWin81, AClickInTheLayoutsWindowTakesThisFamilysPackage)
{
    ASSERT_EQ(MakeLayout(Layout(), L"/bluetooth"), 0u);
    AnswerOnlyErrors();
    Control(L"clear-log");
    CProgram installer;
    ASSERT_TRUE(installer.Start(Layout() + L"\\InstallerAllOffers.exe"));
    const HWND window = installer.FindWindowByCaption(MainCaption(), 30000);
    ASSERT_NE(window, nullptr);
    PostMessageW(GetDlgItem(window, IDC_INSTALL_BLUETOOTH), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return SetupRuns() == 1; }, 60000));
    EXPECT_TRUE(SetupRan("\\KVZ7300\\RealtekBT-8821CU-win8\\RealtekBT-win8\\Setup.exe"));
    EXPECT_EQ(installer.FindMessageDialog(0), nullptr);
    EXPECT_EQ(ServiceRequests(), 0u);
    installer.Terminate();
}

// Run with the prefix reporting Vista.
class EnvVistaUnattended : public Unattended
{
};

TEST_F(EnvVistaUnattended, CommandsForWindows7DoNotApply)
{
    EXPECT_EQ(Finish(Start(L"/quiet /bluetooth")), 1633u);
    // The Wi-Fi command applies and runs; the run says that another did not.
    EXPECT_EQ(Finish(Start(L"/quiet /wifi /receiver")), 1633u);
    EXPECT_EQ(SetupRuns(), 1u);
    // Named by nobody, the commands this Windows does not support are left out of the run:
    // the shipped build runs Wi-Fi alone.
    const std::wstring shipped = EnvText(L"KVZ_DIST_DIR") + L"\\Installer.exe";
    EXPECT_EQ(Finish(Start(L"/quiet", L"", shipped)), 0u);
    EXPECT_EQ(Finish(Start(L"/passive", L"", shipped)), 0u);
    EXPECT_EQ(SetupRuns(), 3u);
}

} // namespace
