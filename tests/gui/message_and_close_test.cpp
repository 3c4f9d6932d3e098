// The no-internet message, and how the main window ends: Escape and Enter keep it, the close
// box ends the process at once, even while workers run.
#include "GuiDriver.h"

#include "BuildConfig.h"
#include "localisation/WordTable.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>

namespace {
constexpr COLORREF kBlue = RGB(9, 147, 221);
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::wstring GuiDist()
{
    return EnvText(L"KVZ_GUI_DIST");
}

std::wstring MainCaption()
{
    const char* psz = KVZ_VERSION_TEXT;
    return L"USB Bluetooth Wireless Adapter (" + std::wstring(psz, psz + strlen(psz)) + L")";
}

// --- The message dialog, shown by a program that calls the window's operation ---------------

class MessageDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_probe.Start(GuiDist() + L"\\MessageProbe.exe"));
        m_hDialog = m_probe.FindDialog(30000);
        ASSERT_NE(nullptr, m_hDialog) << "no message dialog appeared";
        SetWindowPos(m_hDialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }

    CProgram m_probe;
    HWND m_hDialog = nullptr;
};

TEST_F(MessageDialog, ShowsTheTranslatedHintInTheWindowStyle)
{
    const LONG_PTR nStyle = GetWindowLongPtrW(m_hDialog, GWL_STYLE);
    EXPECT_FALSE((nStyle & WS_CAPTION) == WS_CAPTION) << "it must have no caption bar";
    EXPECT_TRUE(nStyle & WS_BORDER);

    const std::wstring language = LanguageCodeFromLangId(GetUserDefaultLangID());
    const ControlInfo text = ReadControl(m_hDialog, IDC_MESSAGE_TEXT);
    EXPECT_TRUE(text.bVisible);
    EXPECT_EQ(
        LookUpWord(GuiDist() + L"\\data\\translation.json", language, WordKeys[HINT_NO_INTERNET]),
        text.text);
    // Its name is its text, which a screen reader says as the dialog opens.
    EXPECT_EQ(text.text, WindowText(m_hDialog));

    const SIZE client = ClientSize(m_hDialog);
    const ControlInfo ok = ReadControl(m_hDialog, IDOK);
    EXPECT_TRUE(ok.bVisible);
    EXPECT_EQ(L"OK", ok.text);
    EXPECT_EQ((client.cx - 92) / 2, ok.rc.left);
    EXPECT_EQ(70, ok.rc.top);
    EXPECT_EQ(92, ok.Width());
    EXPECT_EQ(36, ok.Height());
    EXPECT_EQ(BS_OWNERDRAW, ok.nStyle & BS_TYPEMASK);

    UpdateWindow(m_hDialog);
    // On a loaded machine the painted dialog reaches the screen a little later, and a capture
    // can catch OK with its face drawn but not yet its frame.
    std::unique_ptr<CScreenPixels> captured;
    WaitFor(
        [&] {
            captured = std::make_unique<CScreenPixels>(m_hDialog);
            return captured->At(2, 2) == kBlue &&
                   captured->At(ok.rc.left + 1, ok.rc.top + 1) == kWhite &&
                   captured->At(ok.rc.left + 3, ok.rc.top + 3) == kBlue;
        },
        10000);
    const CScreenPixels& pixels = *captured;
    EXPECT_EQ(kBlue, pixels.At(2, 2));
    EXPECT_EQ(kWhite, pixels.At(ok.rc.left + 1, ok.rc.top + 1));
    EXPECT_EQ(kBlue, pixels.At(ok.rc.left + 3, ok.rc.top + 3));

    SendMessageW(ok.hWnd, BM_CLICK, 0, 0);
    EXPECT_EQ(0u, m_probe.WaitForExit(15000)) << "OK did not end the dialog";
}

// OK is the one control that takes the focus: Tab leaves it there and shows its white cue.
TEST_F(MessageDialog, TabShowsTheFocusCueAndEnterEndsIt)
{
    const RECT rcOk = ReadControl(m_hDialog, IDOK).rc;
    const std::unique_ptr<CScreenPixels> before = SteadyPixels(m_hDialog, 10000);
    ASSERT_EQ(kBlue, before->At(rcOk.left + 3, rcOk.top + 3)) << "OK was not painted";
    PressKey(m_hDialog, VK_TAB);
    PixelChanges cue;
    // A capture in the middle of the button's repaint clears up; a wrong repaint does not.
    WaitFor(
        [&] {
            cue = ComparePixels(*before, CScreenPixels(m_hDialog), rcOk, kWhite);
            return cue.nChanged > 40 && cue.nNotTo == 0;
        },
        10000);
    EXPECT_GT(cue.nChanged, 40);
    EXPECT_EQ(0, cue.nNotTo);

    PressKey(m_hDialog, VK_RETURN);
    EXPECT_EQ(0u, m_probe.WaitForExit(15000));
}

TEST_F(MessageDialog, EscapeEndsIt)
{
    PressKey(m_hDialog, VK_ESCAPE);
    EXPECT_EQ(0u, m_probe.WaitForExit(15000));
}

// --- High contrast ----------------------------------------------------------------------------

// A black-and-yellow system scheme, and the test builds told that high contrast is on
// (HighContrastSeam.h); both given back afterwards.
class HighContrast : public ::testing::Test
{
protected:
    static constexpr int kElements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE,
                                        COLOR_BTNTEXT};
    static constexpr COLORREF kBlack = RGB(0, 0, 0);
    static constexpr COLORREF kYellow = RGB(255, 255, 0);
    static constexpr COLORREF kFace = RGB(40, 40, 40);

    void SetUp() override
    {
        for (size_t i = 0; i < std::size(kElements); ++i)
            m_saved[i] = GetSysColor(kElements[i]);
        const COLORREF scheme[] = {kBlack, kYellow, kFace, kYellow};
        ASSERT_TRUE(SetSysColors(static_cast<int>(std::size(kElements)), kElements, scheme));
        SetOn(true);
    }
    void TearDown() override
    {
        SetSysColors(static_cast<int>(std::size(kElements)), kElements, m_saved);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\KVZ7300Test", L"HighContrast");
    }
    static void SetOn(bool bOn)
    {
        const DWORD value = bOn ? 1 : 0;
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\KVZ7300Test", L"HighContrast", REG_DWORD,
                        &value, sizeof(value));
    }
    // Pixels of `colour` in the client area.
    static int Count(const CPixelPicture& pixels, SIZE client, COLORREF colour)
    {
        int count = 0;
        for (int y = 0; y < client.cy; ++y)
            for (int x = 0; x < client.cx; ++x)
                count += pixels.At(x, y) == colour;
        return count;
    }

    COLORREF m_saved[std::size(kElements)]{};
};

// All of it or none: no blue, no banner, no bitmap, text and buttons in the system's colours;
// switched off while open, the window paints its blue again at once.
TEST_F(HighContrast, BothWindowsTakeTheSystemsColoursAndGiveThemBack)
{
    CProgram installer;
    ASSERT_TRUE(installer.Start(GuiDist() + L"\\InstallerBusy.exe"));
    const HWND hWnd = installer.FindWindowByCaption(MainCaption(), 30000);
    ASSERT_NE(nullptr, hWnd);
    const SIZE client = ClientSize(hWnd);
    const ControlInfo wifi = ReadControl(hWnd, IDC_INSTALL_WIFI);
    std::unique_ptr<CScreenPixels> pixels = SteadyPixels(hWnd, 10000);
    EXPECT_EQ(0, Count(*pixels, client, kBlue));
    EXPECT_EQ(kBlack, pixels->At(2, 2));
    int banner = 0; // pixels of the banner's place (255 x 85, 13 from the top) not the window's
    for (int y = 13; y < 13 + 85; ++y)
        for (int x = (client.cx - 255) / 2; x < (client.cx + 255) / 2; ++x)
            banner += pixels->At(x, y) != kBlack;
    EXPECT_EQ(0, banner);
    EXPECT_EQ(kFace, pixels->At(wifi.rc.left + 5, wifi.rc.top + 5));
    EXPECT_GT(Count(*pixels, client, kYellow), 20) << "no caption in the button text's colour";

    SetOn(false);
    SendMessageW(hWnd, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    EXPECT_TRUE(WaitFor(
        [&] {
            const CScreenPixels now(hWnd);
            return now.At(2, 2) == kBlue && now.At(client.cx / 2, 13 + 89 * 85 / 100) == kWhite &&
                   now.At(wifi.rc.left + 5, wifi.rc.top + 5) == kBlue;
        },
        10000))
        << "today's blue, banner and button face did not come back";
    PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, installer.WaitForExit(20000));

    SetOn(true);
    CProgram probe;
    ASSERT_TRUE(probe.Start(GuiDist() + L"\\MessageProbe.exe"));
    const HWND hDialog = probe.FindDialog(30000);
    ASSERT_NE(nullptr, hDialog);
    const SIZE box = ClientSize(hDialog);
    pixels = SteadyPixels(hDialog, 10000);
    EXPECT_EQ(0, Count(*pixels, box, kBlue));
    EXPECT_EQ(kBlack, pixels->At(2, 2));
    EXPECT_GT(Count(*pixels, box, kYellow), 20) << "no text in the window text's colour";
    PressKey(hDialog, VK_RETURN);
    EXPECT_EQ(0u, probe.WaitForExit(15000));
}

// --- Closing the main window -----------------------------------------------------------------

TEST(Closing, EscapeAndEnterKeepTheWindowOpenTheCloseBoxEndsIt)
{
    CProgram installer;
    ASSERT_TRUE(installer.Start(EnvText(L"KVZ_DIST_DIR") + L"\\Installer.exe"));
    const HWND hWnd = installer.FindWindowByCaption(MainCaption(), 30000);
    ASSERT_NE(nullptr, hWnd);

    for (WORD nKey : {VK_ESCAPE, VK_RETURN})
    {
        PressKey(hWnd, nKey);
        Sleep(1500);
        EXPECT_TRUE(installer.IsRunning()) << "key " << nKey << " closed the window";
        EXPECT_TRUE(IsWindowVisible(hWnd));
    }
    PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, installer.WaitForExit(20000));
}

// Time from asking the window to close until the process is gone.
DWORD CloseAndTime(CProgram& program, HWND hWnd, DWORD& nExitCode)
{
    const DWORD nStart = GetTickCount();
    PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    nExitCode = program.WaitForExit(60000);
    return GetTickCount() - nStart;
}

// A build whose workflows keep the window busy: a tight loop of progress messages, an open
// message dialog, a started setup program that is being waited for, lookups in the catalogue.
TEST(Closing, CloseDuringWorkEndsTheProcessAtOnce)
{
    const std::wstring busyExe = GuiDist() + L"\\InstallerBusy.exe";
    const std::wstring marker = EnvText(L"KVZ_TEST_TMP") + L"\\setup-finished.txt";

    CProgram idle;
    ASSERT_TRUE(idle.Start(busyExe));
    const HWND hIdle = idle.FindWindowByCaption(MainCaption(), 30000);
    ASSERT_NE(nullptr, hIdle);
    DWORD nIdleCode = 0;
    const DWORD nIdleMs = CloseAndTime(idle, hIdle, nIdleCode);
    EXPECT_EQ(0u, nIdleCode);

    CProgram busy;
    ASSERT_TRUE(busy.Start(busyExe));
    const HWND hBusy = busy.FindWindowByCaption(MainCaption(), 30000);
    ASSERT_NE(nullptr, hBusy);
    for (int nId :
         {IDC_INSTALL_WIFI, IDC_INSTALL_BLUETOOTH, IDC_INSTALL_HOTSPOT, IDC_INSTALL_RECEIVER})
        PostMessageW(GetDlgItem(hBusy, nId), BM_CLICK, 0, 0);

    // Wait until the work is visibly under way: the bar moves and the message is up.
    const HWND hBar = GetDlgItem(hBusy, IDC_PROGRESS_BLUETOOTH);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(hBar) != FALSE; }, 10000));
    EXPECT_NE(nullptr, busy.FindMessageDialog(10000))
        << "the worker's message dialog did not appear";
    Sleep(500);
    ASSERT_FALSE(GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES)
        << "the setup program finished too early for this test";

    DWORD nBusyCode = 0;
    const DWORD nBusyMs = CloseAndTime(busy, hBusy, nBusyCode);
    EXPECT_EQ(0u, nBusyCode) << "the process did not end cleanly";
    // Under Wine any windowed process takes a while to end: compare with the idle close.
    EXPECT_LT(nBusyMs, nIdleMs + 3000) << "idle close " << nIdleMs << " ms";

    // The setup program the worker started is a process of its own and finishes its work.
    EXPECT_TRUE(WaitFor(
        [&] { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000));
}
// A Windows-family probe that never answers: the window still paints, shows what does not
// depend on the family, counts the family as unknown after a few seconds and closes at once.
TEST(Closing, AProbeThatNeverAnswersHoldsUpNothing)
{
    SetEnvironmentVariableW(L"KVZ_BUSY_PROBE", L"hang");
    CProgram installer;
    const bool bStarted = installer.Start(GuiDist() + L"\\InstallerBusy.exe");
    SetEnvironmentVariableW(L"KVZ_BUSY_PROBE", nullptr);
    ASSERT_TRUE(bStarted);
    const HWND hWnd = installer.FindDialog(30000);
    ASSERT_NE(nullptr, hWnd);
    const HWND hWifi = GetDlgItem(hWnd, IDC_INSTALL_WIFI);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(hWifi) != FALSE; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return CScreenPixels(hWnd).At(2, 2) == RGB(9, 147, 221); }, 10000))
        << "the background was not painted";

    EXPECT_NE(nullptr, installer.FindWindowByCaption(MainCaption(), 20000))
        << "initialisation did not end without the family";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hWnd, IDC_INSTALL_BLUETOOTH)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hWnd, IDC_INSTALL_RECEIVER)));
    PostMessageW(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, installer.WaitForExit(20000));
}
} // namespace
