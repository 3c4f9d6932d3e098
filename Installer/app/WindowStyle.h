// The look both dialogs share: the window blue, white text in the window font, and the
// skinned buttons' set-up.
#pragma once

#include "controls/SkinButton.h"

#include <windows.h>

constexpr COLORREF kWindowBlue = RGB(9, 147, 221); // 0x00DD9309
constexpr const wchar_t* kWindowFontFace = L"Microsoft JhengHei";

// Bitmap face, window font, caption centred over the face in white, no frame.
void SetUpSkinButton(CSkinButton& button, UINT nBitmapId, HFONT hFont) noexcept;

// `rc` of `hDC` in the window blue.
void FillWindowBlue(HDC hDC, const RECT& rc) noexcept;

// The colour messages of a blue dialog (WM_CTLCOLORSTATIC, WM_CTLCOLORBTN): the static control
// `hWhiteText` gets white text in `hFont` straight on the blue, every other control what it
// answers itself (reflected). False for any other message; `result` is the brush, and a null
// one leaves the message to the system.
bool AnswerBlueDialogColours(UINT nMsg, WPARAM wParam, LPARAM lParam, HWND hWhiteText, HFONT hFont,
                             LRESULT& result) noexcept;
