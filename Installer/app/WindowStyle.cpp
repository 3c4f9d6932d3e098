#include "app/WindowStyle.h"

#include "framework/Dialog.h"
#include "framework/GdiObject.h"

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

bool AnswerBlueDialogColours(UINT nMsg, WPARAM wParam, LPARAM lParam, HWND hWhiteText, HFONT hFont,
                             LRESULT& result) noexcept
{
    if (nMsg != WM_CTLCOLORSTATIC && nMsg != WM_CTLCOLORBTN)
        return false;
    if (reinterpret_cast<HWND>(lParam) != hWhiteText)
    {
        result = reinterpret_cast<LRESULT>(CDialog::DefaultCtlColor(nMsg, wParam, lParam));
        return true;
    }
    const HDC hDC = reinterpret_cast<HDC>(wParam);
    ::SetTextColor(hDC, RGB(255, 255, 255));
    ::SetBkMode(hDC, TRANSPARENT);
    if (hFont)
        ::SelectObject(hDC, hFont);
    result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    return true;
}
