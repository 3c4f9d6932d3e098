// The look both dialogs share: the window blue, white text in the window font, and the
// skinned buttons' set-up.
#pragma once

#include "controls/SkinButton.h"

#include <windows.h>

constexpr COLORREF kWindowBlue = RGB(9, 147, 221); // 0x00DD9309
constexpr const wchar_t* kWindowFontFace = L"Microsoft JhengHei";

// Bitmap face, window font, caption centred over the face in white, no frame.
void SetUpSkinButton(CSkinButton& button, UINT nBitmapId, HFONT hFont) noexcept;

// White text straight on the dialog's background: answers WM_CTLCOLORSTATIC of a static
// control drawn over the blue.
HBRUSH StyleWhiteText(HDC hDC, HFONT hFont) noexcept;
