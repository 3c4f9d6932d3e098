#include "app/WindowStyle.h"

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

HBRUSH StyleWhiteText(HDC hDC, HFONT hFont) noexcept
{
    ::SetTextColor(hDC, RGB(255, 255, 255));
    ::SetBkMode(hDC, TRANSPARENT);
    if (hFont)
        ::SelectObject(hDC, hFont);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}
