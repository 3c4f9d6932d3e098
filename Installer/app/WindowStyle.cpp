#include "app/WindowStyle.h"

#include "app/Layout.h"
#include "framework/Font.h"

#include <atomic>

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

namespace {
bool AskWindows()
{
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof(setting);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

std::atomic<HighContrastQuery> g_highContrastQuery{AskWindows};
} // namespace

bool IsHighContrastOn() noexcept
{
    try
    {
        return g_highContrastQuery.load()();
    }
    catch (...)
    {
        return false;
    }
}

void SetHighContrastQuery(HighContrastQuery query) noexcept
{
    g_highContrastQuery.store(query ? query : AskWindows);
}

void CBlueDialog::MakeWindowFont() noexcept
{
    m_fScale = DensityScale(GetWindowDpi(m_hWnd));
    m_font = CreatePointFont(FontPointTenths(m_fScale), kWindowFontFace);
}

void CBlueDialog::PaintBackground(HDC hDC, const RECT& rc) noexcept
{
    if (m_bHighContrast)
        ::FillRect(hDC, &rc, ::GetSysColorBrush(COLOR_WINDOW));
    else
        FillWindowBlue(hDC, rc);
}

void CBlueDialog::ApplyLook() noexcept
{
    m_bHighContrast = IsHighContrastOn();
    OnLookChanged();
    ::RedrawWindow(m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
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
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        // The high-contrast setting changed, or the colours it uses.
        if (nMsg != WM_SETTINGCHANGE || wParam == SPI_SETHIGHCONTRAST)
            ApplyLook();
        return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        // Every other control has had its own answer, or gets the system's.
        if (reinterpret_cast<HWND>(lParam) != m_stcText.GetSafeHwnd())
            return false;
        ::SetTextColor(hDC, m_bHighContrast ? ::GetSysColor(COLOR_WINDOWTEXT) : RGB(255, 255, 255));
        ::SetBkMode(hDC, TRANSPARENT);
        if (m_font)
            ::SelectObject(hDC, m_font.get());
        result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return true;
    default: return false;
    }
}
