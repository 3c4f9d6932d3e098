// The bitmap push-button against real GDI and USER: what it paints in each state, the style
// bits the dialog manager sees, clicks, hover repaints and the keyboard focus cue.
#include "controls/SkinButton.h"
#include "framework/GdiSelect.h"
#include "framework/MemoryDc.h"
#include "framework/WindowDc.h"

#include "../gui/PixelPicture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace {
constexpr COLORREF kBlue = RGB(9, 147, 221);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kButtonId = 1000;
constexpr RECT kItem{0, 0, 318, 46};
constexpr RECT kInterior{3, 3, 315, 43};

// A button whose paints can be counted.
class CCountingButton : public CSkinButton
{
public:
    void DrawItem(const DRAWITEMSTRUCT& item) noexcept override
    {
        ++m_nPaints;
        CSkinButton::DrawItem(item);
    }
    int m_nPaints = 0;
};

// Parent window that reflects notifications to its controls, as the dialogs do.
struct ParentState
{
    int nClicks = 0;
    int nLastClickedId = 0;
};

LRESULT CALLBACK ParentProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<ParentState*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    switch (nMsg)
    {
    case WM_DRAWITEM:
    case WM_CTLCOLORBTN:
    {
        const LRESULT result =
            ReflectToControl(NotificationSource(nMsg, wParam, lParam), nMsg, wParam, lParam);
        if (result)
            return result;
        break;
    }
    case WM_COMMAND:
        ReflectToControl(NotificationSource(nMsg, wParam, lParam), nMsg, wParam, lParam);
        if (state && HIWORD(wParam) == BN_CLICKED)
        {
            ++state->nClicks;
            state->nLastClickedId = LOWORD(wParam);
        }
        return 0;
    default: break;
    }
    return DefWindowProcW(hWnd, nMsg, wParam, lParam);
}

void PumpUntil(const std::function<bool()>& done, DWORD nTimeoutMs)
{
    const DWORD nStart = GetTickCount();
    for (;;)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done() || GetTickCount() - nStart > nTimeoutMs)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void Pump()
{
    PumpUntil([] { return false; }, 150);
}

// A picture the button paints into, filled first with a colour no face uses.
class CCanvas : public CPixelPicture
{
public:
    CCanvas(int nWidth, int nHeight) : CPixelPicture(nWidth, nHeight)
    {
        UniqueBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
        RECT rc{0, 0, nWidth, nHeight};
        FillRect(dc(), &rc, brush.get());
    }
    // Bounding box of pixels in [area) that differ from crBackground.
    RECT InkBox(const RECT& area, COLORREF crBackground) const
    {
        RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                if (At(x, y) != crBackground)
                {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
};

// A screen-compatible bitmap painted by a callback, as LoadImage would give one.
UniqueBitmap MakeBitmap(int nWidth, int nHeight, const std::function<COLORREF(int, int)>& colour)
{
    CWindowDc screen(nullptr);
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), nWidth, nHeight));
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    CSelectObject select(dc.get(), bitmap.get());
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x)
            SetPixelV(dc.get(), x, y, colour(x, y));
    return bitmap;
}

// The installer's face: blue inside a white margin.
UniqueBitmap MakeFace(int nWidth, int nHeight, int nMargin)
{
    return MakeBitmap(nWidth, nHeight, [=](int x, int y) {
        const bool bInside =
            x >= nMargin && x < nWidth - nMargin && y >= nMargin && y < nHeight - nMargin;
        return bInside ? kBlue : kWhite;
    });
}

class SkinButtonTest : public ::testing::Test
{
protected:
    // One parent for the whole suite: destroying a top-level window costs about 2 s under Wine.
    static void SetUpTestSuite()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KvzSkinButtonTestParent";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        RegisterClassW(&wc);
        // Only the input suite, which holds the display, shows it (topmost, so that no other
        // window covers the button); the others draw into memory and must not cover the windows
        // that tests running meanwhile capture from the screen.
        const bool bInput = std::string("EnvSkinButtonInput") ==
                            ::testing::UnitTest::GetInstance()->current_test_suite()->name();
        s_hParent = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"skin button test",
                                    WS_POPUP | (bInput ? WS_VISIBLE : 0), 100, 100, 400, 160,
                                    nullptr, nullptr, wc.hInstance, nullptr);
        s_hOther = CreateWindowExW(0, L"Button", L"other",
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 10, 100, 80,
                                   30, s_hParent, reinterpret_cast<HMENU>(2000), nullptr, nullptr);
    }
    static void TearDownTestSuite() { DestroyWindow(s_hParent); }

    void SetUp() override
    {
        ASSERT_NE(nullptr, s_hParent);
        m_hParent = s_hParent;
        m_hOther = s_hOther;
        SetWindowLongPtrW(m_hParent, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_parent));
        m_font.reset(CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                 NONANTIALIASED_QUALITY, 0, L"Tahoma"));
    }
    void TearDown() override
    {
        SetWindowLongPtrW(m_hParent, GWLP_USERDATA, 0);
        for (HWND hButton : m_buttons)
            DestroyWindow(hButton);
    }

    HWND MakeButtonWindow(DWORD nTypeStyle = BS_PUSHBUTTON, const wchar_t* pszText = L"Install",
                          int nId = kButtonId)
    {
        const HWND hButton = CreateWindowExW(
            0, L"Button", pszText, WS_CHILD | WS_VISIBLE | WS_TABSTOP | nTypeStyle, 10, 10, 318, 46,
            m_hParent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(nId)), nullptr, nullptr);
        m_buttons.push_back(hButton);
        return hButton;
    }

    // Attached and set up as the installer's dialogs do, with a bitmap made here.
    void AttachInstallerButton(CSkinButton& button, const wchar_t* pszText = L"Install")
    {
        ASSERT_TRUE(button.Attach(MakeButtonWindow(BS_PUSHBUTTON, pszText)));
        ASSERT_EQ(SkinResult::Ok, button.SetStateBitmaps(MakeFace(318, 46, 3), RGB(0, 0, 0),
                                                         UniqueBitmap(), RGB(0, 0, 0)));
        button.SetFont(m_font.get(), true);
        button.SetContentAlign(Overlap, true);
        button.SetStateColor(FgFocus, kWhite, false);
        button.SetStateColor(FgNormal, kWhite, false);
        button.SetStateColor(FgHot, kWhite, false);
        button.SetFlatBorder(false, true);
    }

    static void Render(CSkinButton& button, CCanvas& canvas, UINT nState, RECT rcItem)
    {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = kButtonId;
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = nState;
        item.hwndItem = button.GetSafeHwnd();
        item.hDC = canvas.dc();
        item.rcItem = rcItem;
        button.DrawItem(item);
    }

    // White pixels that the focus adds to a rendering in nState; any other change fails.
    static int FocusCuePixels(CSkinButton& button, UINT nState)
    {
        CCanvas without(318, 46), with(318, 46);
        Render(button, without, nState & ~ODS_FOCUS, kItem);
        Render(button, with, nState | ODS_FOCUS, kItem);
        int nWhite = 0, nOther = 0;
        for (int y = 0; y < 46; ++y)
            for (int x = 0; x < 318; ++x)
                if (with.At(x, y) != without.At(x, y))
                    ++(with.At(x, y) == kWhite ? nWhite : nOther);
        EXPECT_EQ(0, nOther) << "the cue is white on the blue face";
        return nWhite;
    }

    static inline HWND s_hParent = nullptr;
    static inline HWND s_hOther = nullptr;
    HWND m_hParent = nullptr;
    HWND m_hOther = nullptr;
    std::vector<HWND> m_buttons;
    ParentState m_parent;
    UniqueFont m_font;
};

// Tests that move the real cursor or the focus: run on their own (see ui.cmake), so that no
// other program's input interferes.
class EnvSkinButtonInput : public SkinButtonTest
{
};

TEST_F(SkinButtonTest, DrawsFaceAndCentredWhiteCaption)
{
    CSkinButton button;
    AttachInstallerButton(button);
    CCanvas canvas(318, 46);
    Render(button, canvas, 0, kItem);

    EXPECT_EQ(kWhite, canvas.At(0, 0));
    EXPECT_EQ(kWhite, canvas.At(2, 2));
    EXPECT_EQ(kBlue, canvas.At(3, 3));
    EXPECT_EQ(kBlue, canvas.At(314, 42));
    EXPECT_EQ(kWhite, canvas.At(317, 45));

    const RECT ink = canvas.InkBox(kInterior, kBlue);
    ASSERT_LT(ink.left, ink.right) << "no caption drawn";
    EXPECT_NEAR(159, (ink.left + ink.right) / 2, 2);
    EXPECT_NEAR(23, (ink.top + ink.bottom) / 2, 6);
    // The caption is white on blue; no other colour than those two and their blends.
    int nWhite = 0;
    for (int y = ink.top; y < ink.bottom; ++y)
        for (int x = ink.left; x < ink.right; ++x)
            nWhite += canvas.At(x, y) == kWhite;
    EXPECT_GT(nWhite, 20);
}

TEST_F(SkinButtonTest, PressedShiftsImageAndCaptionOnePixel)
{
    CSkinButton button;
    AttachInstallerButton(button);
    const COLORREF crHot = RGB(200, 0, 0);
    button.SetStateColor(BkHot, crHot, false);

    CCanvas released(318, 46), pressed(318, 46);
    Render(button, released, 0, kItem);
    Render(button, pressed, ODS_SELECTED | ODS_FOCUS, kItem);

    // The strip along the top and left edges shows the hot face colour.
    for (int x = 0; x < 318; x += 7)
        EXPECT_EQ(crHot, pressed.At(x, 0)) << x;
    for (int y = 0; y < 46; y += 5)
        EXPECT_EQ(crHot, pressed.At(0, y)) << y;
    EXPECT_EQ(kWhite, pressed.At(1, 1));
    EXPECT_EQ(kWhite, pressed.At(3, 3));
    EXPECT_EQ(kBlue, pressed.At(4, 4));
    EXPECT_EQ(kWhite, pressed.At(317, 45));

    const RECT inkReleased = released.InkBox(kInterior, kBlue);
    const RECT inkPressed = pressed.InkBox({4, 4, 316, 44}, kBlue);
    EXPECT_EQ(inkReleased.left + 1, inkPressed.left);
    EXPECT_EQ(inkReleased.top + 1, inkPressed.top);
    EXPECT_EQ(inkReleased.right + 1, inkPressed.right);
    EXPECT_EQ(inkReleased.bottom + 1, inkPressed.bottom);
}

TEST_F(SkinButtonTest, LongCaptionWrapsAndStaysCentred)
{
    CSkinButton button;
    AttachInstallerButton(button, L"Install the wireless adapter's Bluetooth driver now");
    CCanvas canvas(318, 46);
    Render(button, canvas, 0, kItem);
    CSkinButton single;
    AttachInstallerButton(single, L"Install");
    CCanvas one(318, 46);
    Render(single, one, 0, kItem);

    const RECT ink = canvas.InkBox(kInterior, kBlue);
    const RECT inkOne = one.InkBox(kInterior, kBlue);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_GT(ink.bottom - ink.top, (inkOne.bottom - inkOne.top) * 3 / 2) << "not wrapped";
    EXPECT_GT(ink.left, 3);
    EXPECT_LT(ink.right, 315);
    EXPECT_NEAR(159, (ink.left + ink.right) / 2, 3);
}

TEST_F(SkinButtonTest, TransparentPixelsShowTheFaceColour)
{
    CSkinButton button;
    ASSERT_TRUE(button.Attach(MakeButtonWindow(BS_PUSHBUTTON, L"")));
    const COLORREF crFace = RGB(0, 200, 0);
    const COLORREF crKey = RGB(255, 0, 255);
    button.SetStateColor(BkNormal, crFace, false);
    button.SetContentAlign(Overlap, false);
    ASSERT_EQ(SkinResult::Ok, button.SetStateBitmaps(MakeBitmap(40, 20,
                                                                [=](int x, int y) {
                                                                    return x >= 5 && x < 15 &&
                                                                                   y >= 5 && y < 15
                                                                               ? crKey
                                                                               : kBlue;
                                                                }),
                                                     crKey, UniqueBitmap(), 0));
    CCanvas canvas(40, 20);
    Render(button, canvas, 0, {0, 0, 40, 20});
    EXPECT_EQ(crFace, canvas.At(5, 5));
    EXPECT_EQ(crFace, canvas.At(14, 14));
    EXPECT_EQ(kBlue, canvas.At(4, 5));
    EXPECT_EQ(kBlue, canvas.At(15, 14));
    EXPECT_EQ(kBlue, canvas.At(30, 10));
}

TEST_F(SkinButtonTest, LargerImageIsCentredOnTheItem)
{
    CSkinButton button;
    ASSERT_TRUE(button.Attach(MakeButtonWindow(BS_PUSHBUTTON, L"")));
    button.SetContentAlign(Overlap, false);
    // Each pixel tells where it came from; blue 100 or more keeps it away from black.
    ASSERT_EQ(
        SkinResult::Ok,
        button.SetStateBitmaps(
            MakeBitmap(400, 61, [](int x, int y) { return RGB(x & 0xFF, y, 100 + (x >> 8)); }),
            RGB(0, 0, 0), UniqueBitmap(), 0));
    CCanvas canvas(420, 100);
    const RECT rcItem{50, 20, 368, 66};
    Render(button, canvas, 0, rcItem);

    // (318 - 400) / 2 = -41 and (46 - 61) / 2 = -7: the item shows image pixels from (41, 7).
    EXPECT_EQ(RGB(41, 7, 100), canvas.At(50, 20));
    EXPECT_EQ(RGB((41 + 317) & 0xFF, 7 + 45, 101), canvas.At(367, 65));
}

TEST_F(SkinButtonTest, FlatWithoutBorderDrawsNoFrameAndNoFocusRectangle)
{
    CSkinButton button;
    ASSERT_TRUE(button.Attach(MakeButtonWindow(BS_PUSHBUTTON, L"")));
    const COLORREF crHot = RGB(200, 0, 0), crFocus = RGB(0, 0, 200), crNormal = RGB(0, 200, 0);
    button.SetStateColor(BkHot, crHot, false);
    button.SetStateColor(BkFocus, crFocus, false);
    button.SetStateColor(BkNormal, crNormal, false);

    struct Case
    {
        UINT nState;
        bool bBorder;
        COLORREF crTopLeft, crBottomRight, crFace;
    } cases[] = {
        {0, false, crNormal, crNormal, crNormal},
        {ODS_FOCUS, false, crFocus, crFocus, crFocus},
        {ODS_SELECTED | ODS_FOCUS, false, crHot, crHot, crHot},
        // With the border flag a pressed flat button gets its sunken frame.
        {ODS_SELECTED, true, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT), crHot},
        {ODS_FOCUS, true, crFocus, crFocus, crFocus},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "state " << c.nState << " border " << c.bBorder);
        button.SetFlatBorder(c.bBorder, false);
        CCanvas canvas(100, 40);
        Render(button, canvas, c.nState, {0, 0, 100, 40});
        EXPECT_EQ(c.crTopLeft, canvas.At(0, 0));
        EXPECT_EQ(c.crBottomRight, canvas.At(99, 39));
        // Where a focus rectangle would run, 3 pixels in: only the face.
        for (int x = 3; x < 97; ++x)
            ASSERT_EQ(c.crFace, canvas.At(x, 3)) << x;
        for (int y = 3; y < 37; ++y)
            ASSERT_EQ(c.crFace, canvas.At(3, y)) << y;
    }
}

TEST_F(SkinButtonTest, SettersReportBadArgumentsAndChangeNothing)
{
    CSkinButton button;
    ASSERT_TRUE(button.Attach(MakeButtonWindow()));
    COLORREF before[kColorSlotCount];
    for (int i = 0; i < kColorSlotCount; ++i)
        before[i] = button.GetStateColor(static_cast<ColorSlot>(i));

    EXPECT_EQ(SkinResult::BadColorSlot, button.SetStateColor(6, RGB(1, 1, 1)));
    EXPECT_EQ(SkinResult::BadColorSlot, button.SetStateColor(-1, RGB(1, 1, 1)));
    for (int i = 0; i < kColorSlotCount; ++i)
        EXPECT_EQ(before[i], button.GetStateColor(static_cast<ColorSlot>(i)));
    EXPECT_EQ(SkinResult::Ok, button.SetStateColor(FgHot, RGB(1, 1, 1)));
    EXPECT_EQ(RGB(1, 1, 1), button.GetStateColor(FgHot));

    EXPECT_EQ(SkinResult::BadAlign, button.SetContentAlign(4));
    EXPECT_EQ(SkinResult::BadAlign, button.SetContentAlign(-1));
    EXPECT_EQ(SkinResult::Ok, button.SetContentAlign(Overlap));
    EXPECT_EQ(SkinResult::BadPressedStyle, button.SetPressedShift(2));

    // A bitmap that no longer exists cannot be measured.
    HBITMAP hGone = CreateBitmap(4, 4, 1, 32, nullptr);
    DeleteObject(hGone);
    EXPECT_EQ(SkinResult::BadResource,
              button.SetStateBitmaps(UniqueBitmap(hGone), 0, UniqueBitmap(), 0));
}

TEST_F(SkinButtonTest, MissingBitmapResourceLeavesFaceAndCaption)
{
    CSkinButton button;
    ASSERT_TRUE(button.Attach(MakeButtonWindow(BS_PUSHBUTTON, L"Install")));
    const COLORREF crNormal = RGB(0, 200, 0);
    button.SetStateColor(BkNormal, crNormal, false);
    button.SetStateColor(FgNormal, kWhite, false);
    button.SetFont(m_font.get(), false);
    button.SetContentAlign(Overlap, false);
    EXPECT_EQ(SkinResult::Ok, button.SetStateBitmaps(4242u, 0, 0u, 0));

    CCanvas canvas(318, 46);
    Render(button, canvas, 0, kItem);
    EXPECT_EQ(crNormal, canvas.At(0, 0));
    EXPECT_EQ(crNormal, canvas.At(317, 45));
    const RECT ink = canvas.InkBox(kItem, crNormal);
    EXPECT_LT(ink.left, ink.right) << "caption missing";
}

TEST_F(SkinButtonTest, AttachingMakesTheControlOwnerDrawnAndTracksDefault)
{
    CSkinButton plain, def;
    ASSERT_TRUE(plain.Attach(MakeButtonWindow(BS_PUSHBUTTON)));
    ASSERT_TRUE(def.Attach(MakeButtonWindow(BS_DEFPUSHBUTTON, L"OK", IDOK)));
    auto type = [](const CWindow& w) {
        return GetWindowLongPtrW(w.GetSafeHwnd(), GWL_STYLE) & BS_TYPEMASK;
    };
    auto code = [](const CWindow& w) {
        return SendMessageW(w.GetSafeHwnd(), WM_GETDLGCODE, 0, 0) &
               (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON);
    };
    EXPECT_EQ(BS_OWNERDRAW, type(plain));
    EXPECT_EQ(BS_OWNERDRAW, type(def));
    EXPECT_FALSE(plain.IsDefault());
    EXPECT_TRUE(def.IsDefault());
    EXPECT_EQ(DLGC_UNDEFPUSHBUTTON, code(plain));
    EXPECT_EQ(DLGC_DEFPUSHBUTTON, code(def));

    // The dialog manager moves the default style around with BM_SETSTYLE.
    SendMessageW(plain.GetSafeHwnd(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    SendMessageW(def.GetSafeHwnd(), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(BS_OWNERDRAW, type(plain));
    EXPECT_EQ(BS_OWNERDRAW, type(def));
    EXPECT_EQ(DLGC_DEFPUSHBUTTON, code(plain));
    EXPECT_EQ(DLGC_UNDEFPUSHBUTTON, code(def));
}

TEST_F(EnvSkinButtonInput, ClickTakesFocusAndStillReachesTheParent)
{
    CSkinButton button;
    ASSERT_TRUE(button.Attach(MakeButtonWindow()));
    SetFocus(m_hOther);
    ASSERT_EQ(m_hOther, GetFocus());

    SendMessageW(button.GetSafeHwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, m_parent.nClicks);
    EXPECT_EQ(kButtonId, m_parent.nLastClickedId);
    EXPECT_EQ(button.GetSafeHwnd(), GetFocus());
}

TEST_F(SkinButtonTest, OwnerDrawNotificationPaintsThroughReflection)
{
    CCountingButton button;
    AttachInstallerButton(button);
    Pump();
    const int nBefore = button.m_nPaints;
    CCanvas canvas(318, 46);
    SendMessageW(button.GetSafeHwnd(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()),
                 PRF_CLIENT);
    EXPECT_EQ(nBefore + 1, button.m_nPaints);
    EXPECT_EQ(kBlue, canvas.At(3, 3));
    EXPECT_EQ(kWhite, canvas.At(0, 0));
}

TEST_F(EnvSkinButtonInput, HoverRepaintsOnceOnEnterAndOnceOnLeave)
{
    CCountingButton button;
    AttachInstallerButton(button);
    const POINT centre{159, 23};
    POINT screen = centre;
    ClientToScreen(button.GetSafeHwnd(), &screen);
    SetCursorPos(screen.x, screen.y + 200);
    UpdateWindow(m_hParent);
    Pump();
    const int nStart = button.m_nPaints;

    // The cursor really enters (a leave notification needs it there); the move message may
    // come from the system, from us, or both: one repaint all the same.
    SetCursorPos(screen.x, screen.y);
    SendMessageW(button.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(centre.x, centre.y));
    PumpUntil([&] { return button.m_nPaints > nStart; }, 2000);
    Pump();
    EXPECT_TRUE(button.IsHover());
    EXPECT_EQ(nStart + 1, button.m_nPaints);

    SendMessageW(button.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(centre.x + 5, centre.y));
    SendMessageW(button.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(centre.x - 5, centre.y + 2));
    Pump();
    EXPECT_EQ(nStart + 1, button.m_nPaints) << "moving inside repainted";

    SetCursorPos(screen.x, screen.y + 200);
    PumpUntil([&] { return !button.IsHover(); }, 3000);
    Pump();
    EXPECT_FALSE(button.IsHover());
    EXPECT_EQ(nStart + 2, button.m_nPaints);
}

// The dialog manager asks the focused control about the key it is about to act on; Wine sends
// no UI-state message of its own, so the buttons must learn of the Tab from that question.
TEST_F(EnvSkinButtonInput, TabShowsTheCueAndUiStateChangesRepaintTheFocusedButtonOnly)
{
    CCountingButton first, second;
    AttachInstallerButton(first);
    AttachInstallerButton(second);
    SetFocus(first.GetSafeHwnd());
    EXPECT_EQ(0, FocusCuePixels(first, 0)) << "no keyboard used yet";
    MSG tab{first.GetSafeHwnd(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    IsDialogMessageW(m_hParent, &tab);
    ASSERT_EQ(second.GetSafeHwnd(), GetFocus());
    EXPECT_GT(FocusCuePixels(second, 0), 100);
    EXPECT_GT(FocusCuePixels(first, 0), 100) << "the whole window uses the keyboard now";

    Pump();
    const int nFirst = first.m_nPaints, nSecond = second.m_nPaints;
    for (WORD nAction : {UIS_SET, UIS_SET, UIS_CLEAR})
    {
        for (CSkinButton* button : {&first, &second})
            SendMessageW(button->GetSafeHwnd(), WM_UPDATEUISTATE,
                         MAKEWPARAM(nAction, UISF_HIDEFOCUS), 0);
        Pump();
    }
    EXPECT_EQ(nFirst, first.m_nPaints);
    EXPECT_EQ(nSecond + 2, second.m_nPaints) << "once for each change, none for the repeat";
    SendMessageW(second.GetSafeHwnd(), WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    EXPECT_EQ(0, FocusCuePixels(second, 0)) << "the system hides it again";
}

TEST_F(EnvSkinButtonInput, EnteringWithTheLeftButtonHeldDoesNotHover)
{
    CCountingButton button;
    AttachInstallerButton(button);
    POINT screen{159, 23};
    ClientToScreen(button.GetSafeHwnd(), &screen);
    SetCursorPos(screen.x, screen.y + 200);
    UpdateWindow(m_hParent);
    Pump();
    const int nStart = button.m_nPaints;
    SendMessageW(button.GetSafeHwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(159, 23));
    Pump();
    EXPECT_FALSE(button.IsHover());
    EXPECT_EQ(nStart, button.m_nPaints);
}
} // namespace
