// The installer's main window as another program sees it: geometry, visibility, texts and
// pixels, for the build and environment this run was registered with.
#include "GuiDriver.h"

#include "BuildConfig.h"
#include "framework/GdiObject.h"
#include "framework/GdiSelect.h"
#include "framework/WindowDc.h"
#include "localisation/WordTable.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {
constexpr COLORREF kBlue = RGB(9, 147, 221);
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::wstring Widen(const char* psz)
{
    return std::wstring(psz, psz + strlen(psz));
}

std::wstring ExpectedCaption()
{
    return L"USB Bluetooth Wireless Adapter (" + Widen(KVZ_VERSION_TEXT) + L")";
}

std::wstring InstallerPath()
{
    return EnvText(L"KVZ_GUI_INSTALLER", EnvText(L"KVZ_DIST_DIR") + L"\\Installer.exe");
}

std::wstring TranslationPath()
{
    std::wstring exe = InstallerPath();
    return EnvText(L"KVZ_GUI_TRANSLATION",
                   exe.substr(0, exe.find_last_of(L'\\') + 1) + L"data\\translation.json");
}

bool AllOffers()
{
    return EnvText(L"KVZ_GUI_OFFERS", L"shipped") == L"all";
}

bool Windows7OrLater()
{
    return EnvText(L"KVZ_GUI_FAMILY7", L"1") == L"1";
}

struct Command
{
    int nButton, nBar;
    const wchar_t* pszTemplateText;
    WordId word;
    bool bNeedsWindows7;
    bool bShipped;
};

// The window's column, top to bottom.
const Command kCommands[] = {
    {IDC_INSTALL_WIFI, 0, L"Install Wifi Driver", INSTALL_WIFI, false, true},
    {IDC_INSTALL_BLUETOOTH, IDC_PROGRESS_BLUETOOTH, L"Install Bluetooth Driver", INSTALL_BT, true,
     true},
    {IDC_INSTALL_HOTSPOT, IDC_PROGRESS_HOTSPOT, L"Install Hotspot Driver", INSTALL_HOTSPOT, false,
     false},
    {IDC_INSTALL_RECEIVER, IDC_PROGRESS_RECEIVER, L"Install VelmoraRX", INSTALL_RX, true, false},
};

bool Offered(const Command& c)
{
    return AllOffers() || c.bShipped;
}

class Window : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_program = std::make_unique<CProgram>();
        ASSERT_TRUE(s_program->Start(InstallerPath())) << "cannot start the installer";
        s_hWnd = s_program->FindWindowByCaption(ExpectedCaption(), 30000);
        // Windows of other tests on the same display must not cover the pixels read here.
        if (s_hWnd)
            SetWindowPos(s_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    static void TearDownTestSuite() { s_program.reset(); }

    void SetUp() override
    {
        ASSERT_NE(nullptr, s_hWnd) << "no window captioned as expected";
        m_hWnd = s_hWnd;
        const ControlInfo status = ReadControl(m_hWnd, IDC_STATUS);
        m_t = status.Height() / 3;
        m_client = ClientSize(m_hWnd);
        m_x = (m_client.cx - 318) / 2;
    }

    static inline std::unique_ptr<CProgram> s_program;
    static inline HWND s_hWnd = nullptr;
    HWND m_hWnd = nullptr;
    int m_t = 0;
    SIZE m_client{};
    int m_x = 0;
};

// The version caption is how the window was found.
TEST_F(Window, HasTheVersionCaptionAndFixedOuterSize)
{
    const SIZE outer = OuterSize(m_hWnd);
    EXPECT_EQ(420, outer.cx);
    EXPECT_EQ(AllOffers() ? 460 : 340, outer.cy);
    const LONG_PTR nStyle = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    EXPECT_TRUE(nStyle & WS_CAPTION);
    EXPECT_TRUE(nStyle & WS_SYSMENU);
    EXPECT_FALSE(nStyle & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

// The font keeps a 20-pixel character height on every density, so the text height t is that
// of a 20-pixel font here too.
TEST_F(Window, TextHeightComesFromATwentyPixelFont)
{
    const CWindowDc screen(nullptr);
    EXPECT_EQ(_wtoi(EnvText(L"KVZ_GUI_DPI", L"96").c_str()),
              GetDeviceCaps(screen.get(), LOGPIXELSX));
    const UniqueFont font(CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                      L"Microsoft JhengHei"));
    SIZE extent{};
    {
        const CSelectObject select(screen.get(), font.get());
        GetTextExtentPoint32W(screen.get(), L"Install", 7, &extent);
    }
    EXPECT_EQ(extent.cy, m_t);
    EXPECT_GT(m_t, 15);
}

TEST_F(Window, ButtonsTakeTheirSlotsInCommandOrder)
{
    int nSlot = 0;
    for (const Command& c : kCommands)
    {
        SCOPED_TRACE(c.nButton);
        const ControlInfo b = ReadControl(m_hWnd, c.nButton);
        ASSERT_NE(nullptr, b.hWnd);
        if (!Offered(c))
        {
            EXPECT_FALSE(b.bVisible);
            continue;
        }
        EXPECT_EQ(m_x, b.rc.left);
        EXPECT_EQ(107 + nSlot * (46 + m_t), b.rc.top);
        EXPECT_EQ(318, b.Width());
        EXPECT_EQ(46, b.Height());
        EXPECT_EQ(BS_OWNERDRAW, b.nStyle & BS_TYPEMASK);
        // Before Windows 7 the slot stays, empty.
        EXPECT_EQ(!c.bNeedsWindows7 || Windows7OrLater(), b.bVisible);
        ++nSlot;
    }
}

TEST_F(Window, BarsWaitHiddenUnderTheirButtons)
{
    int nSlot = 0;
    for (const Command& c : kCommands)
    {
        if (!c.nBar)
            continue;
        SCOPED_TRACE(c.nBar);
        const ControlInfo bar = ReadControl(m_hWnd, c.nBar);
        ASSERT_NE(nullptr, bar.hWnd);
        EXPECT_FALSE(bar.bVisible);
        if (!Offered(c))
            continue;
        EXPECT_EQ(m_x, bar.rc.left);
        EXPECT_EQ(107 + (nSlot + 2) * 46 + (nSlot + 1) * m_t + 5, bar.rc.top);
        EXPECT_EQ(318, bar.Width());
        EXPECT_EQ(m_t / 2, bar.Height());
        EXPECT_EQ(0, SendMessageW(bar.hWnd, PBM_GETRANGE, TRUE, 0));
        EXPECT_EQ(100, SendMessageW(bar.hWnd, PBM_GETRANGE, FALSE, 0));
        EXPECT_EQ(0, SendMessageW(bar.hWnd, PBM_GETPOS, 0, 0));
        ++nSlot;
    }
}

TEST_F(Window, StatusLineShowsInsideTheClientAreaBelowTheColumn)
{
    const ControlInfo status = ReadControl(m_hWnd, IDC_STATUS);
    EXPECT_TRUE(status.bVisible);
    EXPECT_EQ(L"", status.text);
    EXPECT_EQ(m_x, status.rc.left);
    EXPECT_EQ(318, status.Width());
    EXPECT_GT(m_t, 0);
    EXPECT_TRUE(GetWindowLongPtrW(status.hWnd, GWL_EXSTYLE) & WS_EX_TRANSPARENT);

    int nLowest = 0;
    for (const Command& c : kCommands)
    {
        if (!Offered(c))
            continue;
        nLowest = std::max<int>(nLowest, ReadControl(m_hWnd, c.nButton).rc.bottom);
        if (c.nBar)
            nLowest = std::max<int>(nLowest, ReadControl(m_hWnd, c.nBar).rc.bottom);
    }
    EXPECT_GE(status.rc.top, nLowest);
    EXPECT_LT(status.rc.top, m_client.cy);
    if (nLowest + 3 * m_t <= m_client.cy)
    {
        EXPECT_LE(status.rc.bottom, m_client.cy);
    }
}

TEST_F(Window, ShownButtonsCarryTranslatedCaptions)
{
    const std::wstring language = LanguageCodeFromLangId(GetUserDefaultLangID());
    // A key that shows as itself; "*": every key does (an unreadable translation file).
    const std::wstring expectKey = EnvText(L"KVZ_GUI_EXPECT_KEY");
    for (const Command& c : kCommands)
    {
        SCOPED_TRACE(c.nButton);
        const ControlInfo b = ReadControl(m_hWnd, c.nButton);
        if (!Offered(c))
        {
            EXPECT_EQ(c.pszTemplateText, b.text); // hidden buttons keep the template text
            continue;
        }
        EXPECT_EQ(LookUpWord(TranslationPath(), language, WordKeys[c.word]), b.text);
        if (expectKey == WordKeys[c.word] || expectKey == L"*")
        {
            EXPECT_EQ(WordKeys[c.word], b.text) << "a missing key shows as itself";
        }
    }
}

TEST_F(Window, PaintsBlueBannerAndButtonFaces)
{
    UpdateWindow(m_hWnd);
    // On a loaded machine the painted window reaches the screen a little later.
    std::unique_ptr<CScreenPixels> captured;
    WaitFor(
        [&] {
            captured = std::make_unique<CScreenPixels>(m_hWnd);
            return captured->At(2, 2) == kBlue &&
                   captured->At(m_client.cx - 3, m_client.cy - 3) == kBlue;
        },
        10000);
    const CScreenPixels& pixels = *captured;
    EXPECT_EQ(kBlue, pixels.At(2, 2));
    EXPECT_EQ(kBlue, pixels.At(m_client.cx - 3, m_client.cy - 3));
    EXPECT_EQ(kBlue, pixels.At(m_client.cx / 2, 6)); // above the banner

    // The banner: 255 x 85 at 13 pixels from the top, centred; its white rule runs through
    // banner row 89 (of 100), scaled by 0.85.
    const int nLeft = (m_client.cx - 255) / 2;
    EXPECT_EQ(kBlue, pixels.At(nLeft - 2, 60));
    EXPECT_EQ(kWhite, pixels.At(m_client.cx / 2, 13 + 89 * 85 / 100));
    EXPECT_EQ(kBlue, pixels.At(m_client.cx / 2, 13 + 85 + 2));

    const ControlInfo wifi = ReadControl(m_hWnd, IDC_INSTALL_WIFI);
    const int x0 = wifi.rc.left, y0 = wifi.rc.top;
    EXPECT_EQ(kWhite, pixels.At(x0 + 1, y0 + 1));
    EXPECT_EQ(kBlue, pixels.At(x0 + 5, y0 + 5));
    EXPECT_EQ(kBlue, pixels.At(x0 + 312, y0 + 40));
    // White caption centred on the blue face.
    int nMin = INT_MAX, nMax = INT_MIN;
    for (int y = y0 + 4; y < y0 + 42; ++y)
        for (int x = x0 + 4; x < x0 + 314; ++x)
            if (pixels.At(x, y) == kWhite)
            {
                nMin = std::min(nMin, x);
                nMax = std::max(nMax, x);
            }
    ASSERT_LT(nMin, nMax) << "no white caption on the button";
    EXPECT_NEAR(x0 + 159, (nMin + nMax + 1) / 2, 3);
}

TEST_F(Window, PressedButtonShiftsItsFace)
{
    const ControlInfo wifi = ReadControl(m_hWnd, IDC_INSTALL_WIFI);
    POINT inside{wifi.rc.left + 20, wifi.rc.top + 20};
    ClientToScreen(m_hWnd, &inside);
    SetForegroundWindow(m_hWnd);
    SetCursorPos(inside.x, inside.y);
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &down, sizeof(down));
    const bool bPressed = WaitFor(
        [&] { return (SendMessageW(wifi.hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, 3000);
    const int x0 = wifi.rc.left, y0 = wifi.rc.top;
    // The pressed face reaches the screen a little later on a loaded machine.
    std::unique_ptr<CScreenPixels> captured;
    WaitFor(
        [&] {
            captured = std::make_unique<CScreenPixels>(m_hWnd);
            // Shifted by one pixel: the white margin now covers (3, 3), the face starts at (4, 4).
            return captured->At(x0 + 3, y0 + 3) == kWhite &&
                   captured->At(x0 + 4, y0 + 4) == kBlue && captured->At(x0, y0 + 20) != kWhite;
        },
        5000);
    const CScreenPixels& pixels = *captured;
    // Release away from the button, so that no click is made.
    SetCursorPos(inside.x, inside.y + 400);
    INPUT up{};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &up, sizeof(up));
    ASSERT_TRUE(bPressed);
    // The next test compares against the button's own face: it must be back on the screen.
    EXPECT_TRUE(WaitFor(
        [&] {
            return !(SendMessageW(wifi.hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED) &&
                   CScreenPixels(m_hWnd).At(x0 + 3, y0 + 3) == kBlue;
        },
        5000));

    const COLORREF crStrip = pixels.At(x0, y0 + 20);
    EXPECT_NE(kWhite, crStrip);
    EXPECT_NE(kBlue, crStrip);
    EXPECT_EQ(crStrip, pixels.At(x0 + 100, y0));
    EXPECT_EQ(kWhite, pixels.At(x0 + 1, y0 + 1));
    EXPECT_EQ(kWhite, pixels.At(x0 + 3, y0 + 3));
    EXPECT_EQ(kBlue, pixels.At(x0 + 4, y0 + 4));
}

// Used with the mouse only, the window shows no focus cue, although Wine never says to hide it
// (a known Wine difference: WM_QUERYUISTATE answers 0 there for every window). A real Tab puts a
// white cue on the one button that then has the focus; the others look as they did.
TEST_F(Window, TabShowsAFocusCueWhereTheMouseShowedNone)
{
    const std::unique_ptr<CScreenPixels> before = SteadyPixels(m_hWnd, 10000);
    PressKey(m_hWnd, VK_TAB);
    int nCues = 0, nOthers = 0;
    WaitFor(
        [&] {
            const CScreenPixels after(m_hWnd);
            nCues = nOthers = 0;
            for (const Command& c : kCommands)
            {
                const ControlInfo b = ReadControl(m_hWnd, c.nButton);
                if (!b.bVisible)
                    continue;
                const PixelChanges d = ComparePixels(*before, after, b.rc, kWhite);
                const bool bCue = d.nChanged > 100 && d.nNotTo == 0;
                nCues += bCue;
                nOthers += !bCue && d.nChanged > 0;
            }
            // A window of another program passing over ours clears up; a wrong repaint does not.
            return nCues > 0 && nOthers == 0;
        },
        10000);
    EXPECT_EQ(1, nCues);
    EXPECT_EQ(0, nOthers);
}
} // namespace
