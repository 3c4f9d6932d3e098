#include "app/WindowStyle.h"

#include "app/Layout.h"
#include "framework/Font.h"

void SetUpSkinButton(CSkinButton& button, UINT nBitmapId, HFONT hFont) noexcept
{
    button.SetStateBitmaps(nBitmapId, RGB(0, 0, 0), 0, RGB(0, 0, 0));
    button.SetFont(hFont, true);
    button.SetContentAlign(Overlap, true);
    button.SetStateColor(FgFocus, RGB(255, 255, 255), false);
    button.SetStateColor(FgNormal, RGB(255, 255, 255), false);
    button.SetStateColor(FgHot, RGB(255, 255, 255), false);
    button.SetFlatBorder(false, true);
}

void FillWindowBlue(HDC hDC, const RECT& rc) noexcept
{
    UniqueBrush blue(::CreateSolidBrush(kWindowBlue));
    ::FillRect(hDC, &rc, blue.get());
}

void CBlueDialog::MakeWindowFont() noexcept
{
    m_fScale = DensityScale(GetWindowDpi(m_hWnd));
    m_font = CreatePointFont(FontPointTenths(m_fScale), kWindowFontFace);
}

void CBlueDialog::PaintBackground(HDC hDC, const RECT& rc) noexcept
{
    FillWindowBlue(hDC, rc);
}

bool CBlueDialog::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    const HDC hDC = reinterpret_cast<HDC>(wParam);
    switch (nMsg)
    {
    case WM_ERASEBKGND:
        PaintBackground(hDC, GetClientRect());
        result = TRUE;
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // Every other control has had its own answer, or gets the system's.
        if (reinterpret_cast<HWND>(lParam) != m_stcText.GetSafeHwnd())
            return false;
        ::SetTextColor(hDC, RGB(255, 255, 255));
        ::SetBkMode(hDC, TRANSPARENT);
        if (m_font)
            ::SelectObject(hDC, m_font.get());
        result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return true;
    default: return false;
    }
}
