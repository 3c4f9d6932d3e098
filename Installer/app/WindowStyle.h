// The look both dialogs share: the window blue, white text in the window font, and the
// skinned buttons' set-up; or, while Windows' high-contrast setting is on, the system's colours
// for everything and no bitmap at all.
#pragma once

#include "controls/SkinButton.h"
#include "framework/Dialog.h"
#include "framework/GdiObject.h"

#include <windows.h>

constexpr COLORREF kWindowBlue = RGB(9, 147, 221); // 0x00DD9309
constexpr const wchar_t* kWindowFontFace = L"Microsoft JhengHei";

// Bitmap face, window font, caption centred over the face in white, no frame.
void SetUpSkinButton(CSkinButton& button, UINT nBitmapId, HFONT hFont) noexcept;

// `rc` of `hDC` in the window blue.
void FillWindowBlue(HDC hDC, const RECT& rc) noexcept;

// Whether Windows' high-contrast setting is on. Wine always says it is off, so the tests put a
// question of their own in its place.
bool IsHighContrastOn() noexcept;
using HighContrastQuery = bool (*)();
void SetHighContrastQuery(HighContrastQuery query) noexcept;

// A dialog in the window blue whose one static control, `m_stcText`, shows white text in the
// window font straight on the blue; every other control answers the colour messages itself.
// Under high contrast: the window's and window text's system colours, and buttons in the
// system's look; the setting is followed while the dialog is open.
class CBlueDialog : public CDialog
{
public:
    using CDialog::CDialog;

protected:
    // Makes the window font for the dialog's density; from OnInitDialog.
    void MakeWindowFont() noexcept;
    // The colour messages and the background. Derived dialogs pass what they do not handle.
    bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;
    // The client area `rc` of `hDC`, blue unless a dialog draws more.
    virtual void PaintBackground(HDC hDC, const RECT& rc) noexcept;
    // Reads the high-contrast setting, tells the dialog (OnLookChanged) and paints it all again.
    void ApplyLook() noexcept;
    // Each dialog puts its buttons in the look m_bHighContrast asks for.
    virtual void OnLookChanged() noexcept = 0;

    bool m_bHighContrast = false;
    float m_fScale = 1.0f;
    UniqueFont m_font;
    CStatic m_stcText;
};
