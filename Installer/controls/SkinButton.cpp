#include "controls/SkinButton.h"

#include "framework/GdiSelect.h"
#include "framework/MemoryDc.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

namespace {
SkinRect ToSkin(const RECT& rc)
{
    return {rc.left, rc.top, rc.right, rc.bottom};
}

RECT ToRect(const SkinRect& rc)
{
    return {rc.left, rc.top, rc.right, rc.bottom};
}
} // namespace

UniqueBitmap MakeTransparencyMask(HBITMAP hBitmap, int nWidth, int nHeight,
                                  COLORREF crTransparent) noexcept
{
    UniqueBitmap mask(::CreateBitmap(nWidth, nHeight, 1, 1, nullptr));
    if (!mask)
        return mask;
    UniqueMemoryDc bitmapDc(::CreateCompatibleDC(nullptr));
    UniqueMemoryDc maskDc(::CreateCompatibleDC(nullptr));
    if (!bitmapDc || !maskDc)
        return UniqueBitmap();
    {
        CSelectObject selectBitmap(bitmapDc.get(), hBitmap);
        CSelectObject selectMask(maskDc.get(), mask.get());
        // Colour to mono: pixels of the background colour become 1, all others 0.
        ::SetBkColor(bitmapDc.get(), crTransparent);
        ::BitBlt(maskDc.get(), 0, 0, nWidth, nHeight, bitmapDc.get(), 0, 0, SRCCOPY);
        // Mono to colour: 1 -> white, 0 -> black, so SRCAND blackens the transparent pixels.
        ::SetTextColor(bitmapDc.get(), RGB(255, 255, 255));
        ::SetBkColor(bitmapDc.get(), RGB(0, 0, 0));
        ::BitBlt(bitmapDc.get(), 0, 0, nWidth, nHeight, maskDc.get(), 0, 0, SRCAND);
    }
    return mask;
}

CSkinButton::CSkinButton() noexcept
{
    SetPressedShift(0, false);
    ResetColors(false);
}

void CSkinButton::PreSubclassWindow() noexcept
{
    const AttachedStyle style =
        StyleOnAttach(static_cast<unsigned>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)));
    m_bDefault = style.bDefault;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(style.nNewStyle));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CSkinButton::Repaint(bool bRepaint) const noexcept
{
    if (bRepaint && m_hWnd)
        Invalidate();
}

void CSkinButton::FreeImages() noexcept
{
    for (StateBitmap& slot : m_bitmaps)
        slot = StateBitmap();
}

SkinResult CSkinButton::TakeBitmap(StateBitmap& slot, UniqueBitmap bitmap,
                                   COLORREF crTransparent) noexcept
{
    BITMAP info{};
    if (!::GetObjectW(bitmap.get(), sizeof(info), &info))
        return SkinResult::BadResource;
    UniqueBitmap mask =
        MakeTransparencyMask(bitmap.get(), info.bmWidth, info.bmHeight, crTransparent);
    if (!mask)
        return SkinResult::MaskFailed;
    slot.bitmap = std::move(bitmap);
    slot.mask = std::move(mask);
    slot.nWidth = info.bmWidth;
    slot.nHeight = info.bmHeight;
    slot.crTransparent = crTransparent;
    return SkinResult::Ok;
}

SkinResult CSkinButton::SetStateBitmaps(UINT nFirstId, COLORREF crFirst, UINT nSecondId,
                                        COLORREF crSecond) noexcept
{
    const HINSTANCE hModule = ::GetModuleHandleW(nullptr);
    auto load = [hModule](UINT nId) {
        if (nId == 0)
            return UniqueBitmap();
        return UniqueBitmap(static_cast<HBITMAP>(
            ::LoadImageW(hModule, MAKEINTRESOURCEW(nId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    };
    return SetStateBitmaps(load(nFirstId), crFirst, load(nSecondId), crSecond);
}

SkinResult CSkinButton::SetStateBitmaps(UniqueBitmap first, COLORREF crFirst, UniqueBitmap second,
                                        COLORREF crSecond) noexcept
{
    FreeImages();
    SkinResult result = SkinResult::Ok;
    if (first)
    {
        result = TakeBitmap(m_bitmaps[0], std::move(first), crFirst);
        if (result == SkinResult::Ok && second)
            result = TakeBitmap(m_bitmaps[1], std::move(second), crSecond);
        if (result != SkinResult::Ok)
            FreeImages();
    }
    Repaint(true);
    return result;
}

SkinResult CSkinButton::SetContentAlign(int nAlign, bool bRepaint) noexcept
{
    if (nAlign < ImageLeft || nAlign > Overlap)
        return SkinResult::BadAlign;
    m_align = static_cast<ContentAlign>(nAlign);
    Repaint(bRepaint);
    return SkinResult::Ok;
}

SkinResult CSkinButton::SetStateColor(int nSlot, COLORREF crColor, bool bRepaint) noexcept
{
    if (nSlot < 0 || nSlot >= kColorSlotCount)
        return SkinResult::BadColorSlot;
    m_colors[nSlot] = crColor;
    Repaint(bRepaint);
    return SkinResult::Ok;
}

SkinResult CSkinButton::SetFlatBorder(bool bEnable, bool bRepaint) noexcept
{
    m_bBorder = bEnable;
    Repaint(bRepaint);
    return SkinResult::Ok;
}

SkinResult CSkinButton::SetPressedShift(int nStyle, bool bRepaint) noexcept
{
    if (!PressedShiftFor(nStyle, m_ptPressedShift))
        return SkinResult::BadPressedStyle;
    Repaint(bRepaint);
    return SkinResult::Ok;
}

void CSkinButton::ResetColors(bool bRepaint) noexcept
{
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF crText = ::GetSysColor(COLOR_BTNTEXT);
    m_colors[BkHot] = m_colors[BkNormal] = m_colors[BkFocus] = crFace;
    m_colors[FgHot] = m_colors[FgNormal] = m_colors[FgFocus] = crText;
    Repaint(bRepaint);
}

void CSkinButton::DrawItem(const DRAWITEMSTRUCT& item) noexcept
{
    const HDC hDC = item.hDC;
    ButtonState state;
    state.bPressed = (item.itemState & ODS_SELECTED) != 0;
    state.bFocused = (item.itemState & ODS_FOCUS) != 0;
    state.bHover = m_hover.IsHover();
    state.bNoFocusRect = (item.itemState & ODS_NOFOCUSRECT) != 0;
    const bool bDisabled = (item.itemState & ODS_DISABLED) != 0;

    const int nSavedDc = ::SaveDC(hDC);
    ::SetBkMode(hDC, TRANSPARENT);
    if (HFONT hFont = GetFont())
        ::SelectObject(hDC, hFont);

    const RECT rcItem = item.rcItem;
    if (m_bSystemLook)
    {
        DrawSystemLook(hDC, rcItem, state, bDisabled);
        ::RestoreDC(hDC, nSavedDc);
        return;
    }
    DrawBackground(hDC, rcItem, state);
    DrawFrame(hDC, rcItem, state);

    const std::wstring caption = GetText();
    RECT rcCaption = rcItem;
    if (m_bitmaps[0].bitmap)
    {
        ::SetBkColor(hDC, RGB(255, 255, 255));
        DrawImage(hDC, rcItem, rcCaption, !caption.empty(), state);
    }
    if (!caption.empty())
        DrawCaption(hDC, caption, rcCaption, state, bDisabled);
    if (m_focusCue.Shows(state))
        DrawFocusCue(hDC, rcItem, state);
    ::RestoreDC(hDC, nSavedDc);
}

void CSkinButton::SetSystemLook(bool bOn) noexcept
{
    m_bSystemLook = bOn;
    Repaint(true);
}

void CSkinButton::DrawSystemLook(HDC hDC, const RECT& rcItem, const ButtonState& state,
                                 bool bDisabled) noexcept
{
    RECT rc = rcItem;
    ::DrawFrameControl(hDC, &rc, DFC_BUTTON,
                       DFCS_BUTTONPUSH | (state.bPressed ? DFCS_PUSHED : 0) |
                           (bDisabled ? DFCS_INACTIVE : 0));
    RECT rcText = rcItem;
    if (state.bPressed)
        ::OffsetRect(&rcText, 1, 1);
    ::SetTextColor(hDC, ::GetSysColor(bDisabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    const std::wstring caption = GetText();
    ::DrawTextW(hDC, caption.c_str(), static_cast<int>(caption.size()), &rcText,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (m_focusCue.Shows(state))
    {
        RECT rcFocus = rcItem;
        ::InflateRect(&rcFocus, -4, -4);
        ::DrawFocusRect(hDC, &rcFocus);
    }
}

void CSkinButton::DrawBackground(HDC hDC, const RECT& rc, const ButtonState& state) noexcept
{
    UniqueBrush brush(::CreateSolidBrush(m_colors[FaceSlot(state)]));
    ::FillRect(hDC, &rc, brush.get());
}

void CSkinButton::DrawFrame(HDC hDC, const RECT& rc, const ButtonState& state) noexcept
{
    if (!m_bFlat || !m_bBorder)
        return;
    COLORREF crTopLeft = 0, crBottomRight = 0;
    if (state.bPressed)
    {
        crTopLeft = ::GetSysColor(COLOR_BTNSHADOW);
        crBottomRight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    }
    else if (state.bHover)
    {
        crTopLeft = ::GetSysColor(COLOR_BTNHIGHLIGHT);
        crBottomRight = ::GetSysColor(COLOR_BTNSHADOW);
    }
    else
    {
        return;
    }
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    auto line = [hDC](int x, int y, int w, int h, COLORREF cr) {
        const RECT r{x, y, x + w, y + h};
        ::SetBkColor(hDC, cr);
        ::ExtTextOutW(hDC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    };
    line(rc.left, rc.top, cx - 1, 1, crTopLeft);
    line(rc.left, rc.top, 1, cy - 1, crTopLeft);
    line(rc.left + cx - 1, rc.top, 1, cy, crBottomRight);
    line(rc.left, rc.top + cy - 1, cx, 1, crBottomRight);
}

void CSkinButton::DrawImage(HDC hDC, const RECT& rcItem, RECT& rcCaption, bool bHasCaption,
                            const ButtonState& state) noexcept
{
    const StateBitmap& image = m_bitmaps[ImageIndex(state, static_cast<bool>(m_bitmaps[1].bitmap))];
    SkinRect caption = ToSkin(rcCaption);
    const SkinRect rcImage =
        PlaceImage(m_align, ToSkin(rcItem), caption, bHasCaption, image.nWidth, image.nHeight,
                   state.bPressed, m_ptImageOrigin, m_ptPressedShift);
    rcCaption = ToRect(caption);

    UniqueMemoryDc bitmapDc(::CreateCompatibleDC(hDC));
    UniqueMemoryDc maskDc(::CreateCompatibleDC(hDC));
    if (!bitmapDc || !maskDc)
        return;
    CSelectObject selectBitmap(bitmapDc.get(), image.bitmap.get());
    CSelectObject selectMask(maskDc.get(), image.mask.get());
    // Mask 1 bits come out in the background colour (white, set by DrawItem) and keep the
    // face; 0 bits in the text colour, which must be black to clear where the bitmap goes.
    const COLORREF crOldText = ::SetTextColor(hDC, RGB(0, 0, 0));
    ::BitBlt(hDC, rcImage.left, rcImage.top, image.nWidth, image.nHeight, maskDc.get(), 0, 0,
             SRCAND);
    ::BitBlt(hDC, rcImage.left, rcImage.top, image.nWidth, image.nHeight, bitmapDc.get(), 0, 0,
             SRCPAINT);
    ::SetTextColor(hDC, crOldText);
}

void CSkinButton::DrawCaption(HDC hDC, const std::wstring& caption, RECT rcCaption,
                              const ButtonState& state, bool bDisabled) noexcept
{
    if (state.bPressed)
        ::OffsetRect(&rcCaption, m_ptPressedShift.x, m_ptPressedShift.y);
    RECT rcText = rcCaption;
    ::DrawTextW(hDC, caption.c_str(), static_cast<int>(caption.size()), &rcText,
                DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    rcText = ToRect(CentreCaption(ToSkin(rcCaption), ToSkin(rcText)));
    ::SetBkMode(hDC, TRANSPARENT);

    const UINT nFormat = DT_WORDBREAK | DT_CENTER;
    if (bDisabled)
    {
        ::OffsetRect(&rcText, 1, 1);
        ::SetTextColor(hDC, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(hDC, caption.c_str(), static_cast<int>(caption.size()), &rcText, nFormat);
        ::OffsetRect(&rcText, -1, -1);
        ::SetTextColor(hDC, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextW(hDC, caption.c_str(), static_cast<int>(caption.size()), &rcText, nFormat);
        return;
    }
    ::SetTextColor(hDC, m_colors[CaptionSlot(state)]);
    ::SetBkColor(hDC, m_colors[FaceSlot(state)]);
    ::DrawTextW(hDC, caption.c_str(), static_cast<int>(caption.size()), &rcText, nFormat);
}

void CSkinButton::DrawFocusCue(HDC hDC, const RECT& rcItem, const ButtonState& state) noexcept
{
    // Every other pixel in the caption's colour: DrawFocusRect inverts, which turns its dots
    // orange on the blue face.
    const SkinRect rc = FocusCueRect(ToSkin(rcItem));
    const COLORREF crCue = m_colors[CaptionSlot(state)];
    for (int x = rc.left; x < rc.right; x += 2)
    {
        ::SetPixelV(hDC, x, rc.top, crCue);
        ::SetPixelV(hDC, x, rc.bottom - 1, crCue);
    }
    for (int y = rc.top; y < rc.bottom; y += 2)
    {
        ::SetPixelV(hDC, rc.left, y, crCue);
        ::SetPixelV(hDC, rc.right - 1, y, crCue);
    }
}

LRESULT CSkinButton::OnUpdateUiState(WPARAM wParam, LPARAM lParam) noexcept
{
    const LRESULT result = DefaultProc(WM_UPDATEUISTATE, wParam, lParam);
    if (m_focusCue.OnUpdateUiState(LOWORD(wParam), HIWORD(wParam)) && ::GetFocus() == m_hWnd)
        Invalidate();
    return result;
}

// Tab or an arrow key is about to move the focus: the window is now used with the keyboard.
void CSkinButton::ShowFocusCues() noexcept
{
    const WPARAM clear = MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS);
    const HWND hParent = ::GetParent(m_hWnd);
    ::SendMessageW(hParent, WM_CHANGEUISTATE, clear, 0);
    // On Windows the top-level window passes that on to every child; Wine drops it, and our cue
    // may be hidden where the system's is not, so the children hear it from here as well.
    for (HWND hChild = ::GetWindow(hParent, GW_CHILD); hChild;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT))
        ::SendMessageW(hChild, WM_UPDATEUISTATE, clear, 0);
}

void CSkinButton::EndHover() noexcept
{
    if (m_hover.EndHover(m_bFlat))
        Invalidate();
}

LRESULT CSkinButton::OnMouseMove(WPARAM wParam, LPARAM lParam) noexcept
{
    const LRESULT result = DefaultProc(WM_MOUSEMOVE, wParam, lParam);
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(m_hWnd, &pt);
    const bool bOver = ::WindowFromPoint(pt) == m_hWnd;
    switch (m_hover.OnMouseMove(bOver, (wParam & MK_LBUTTON) != 0, m_bFlat))
    {
    case CHoverTracker::Action::Enter:
    {
        Invalidate();
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        ::_TrackMouseEvent(&track);
        break;
    }
    case CHoverTracker::Action::Leave: Invalidate(); break;
    case CHoverTracker::Action::None: break;
    }
    return result;
}

LRESULT CSkinButton::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (nMsg)
    {
    case WM_MOUSEMOVE: return OnMouseMove(wParam, lParam);
    case WM_MOUSELEAVE: EndHover(); return 0;
    case WM_KILLFOCUS:
    case WM_CANCELMODE:
    {
        const LRESULT result = DefaultProc(nMsg, wParam, lParam);
        EndHover();
        return result;
    }
    case WM_ENABLE:
    {
        const LRESULT result = DefaultProc(nMsg, wParam, lParam);
        if (!wParam)
        {
            // A disabled button must not keep the keyboard focus.
            const HWND hParent = ::GetParent(m_hWnd);
            const HWND hNext = ::GetNextDlgTabItem(hParent, m_hWnd, FALSE);
            ::SetFocus(hNext && hNext != m_hWnd ? hNext : hParent);
            EndHover();
        }
        return result;
    }
    case WM_GETDLGCODE:
    {
        // The dialog manager asks with the key it is about to act on.
        const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
        if (pMsg && IsNavigationKey(pMsg->message, static_cast<unsigned>(pMsg->wParam)))
            ShowFocusCues();
        return static_cast<LRESULT>(
            DialogCodeFor(static_cast<unsigned>(DefaultProc(nMsg, wParam, lParam)), m_bDefault));
    }
    case WM_UPDATEUISTATE: return OnUpdateUiState(wParam, lParam);
    case BM_SETSTYLE:
        // The dialog manager moves the default style between buttons; the control must stay
        // owner-drawn whatever type it is given.
        return DefaultProc(nMsg, StyleOnSetStyle(static_cast<unsigned>(wParam), m_bDefault),
                           lParam);
    default: return DefaultProc(nMsg, wParam, lParam);
    }
}

bool CSkinButton::OnReflectedMessage(UINT nMsg, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result) noexcept
{
    switch (nMsg)
    {
    case WM_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
        result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return true;
    case WM_COMMAND:
        // Focus on click; the dialog's own BN_CLICKED handler runs as well.
        if (HIWORD(wParam) == BN_CLICKED)
            ::SetFocus(m_hWnd);
        return false;
    default: return false;
    }
}
