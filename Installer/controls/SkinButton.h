// An owner-drawn push button that paints a bitmap face, a centred caption and per-state
// colours, and a dotted focus cue once the keyboard is used in its window. It is bound to a
// dialog's button by subclassing, which makes the button owner-drawn; the dialog reflects
// WM_DRAWITEM, WM_CTLCOLOR* and BN_CLICKED back to it.
#pragma once

#include "controls/SkinButtonLogic.h"
#include "framework/GdiObject.h"
#include "framework/Window.h"

#include <windows.h>

#include <string>

class CSkinButton : public CButton
{
public:
    CSkinButton() noexcept;

    // Bitmap resources of this program, [0] for hover/pressed, [1] for the other states; an id
    // of 0 means none. Pixels equal to a transparent colour show the face beneath.
    SkinResult SetStateBitmaps(UINT nFirstId, COLORREF crFirst, UINT nSecondId,
                               COLORREF crSecond) noexcept;
    // The same for bitmaps the caller made; the button takes them over.
    SkinResult SetStateBitmaps(UniqueBitmap first, COLORREF crFirst, UniqueBitmap second,
                               COLORREF crSecond) noexcept;
    SkinResult SetContentAlign(int nAlign, bool bRepaint = true) noexcept;
    SkinResult SetStateColor(int nSlot, COLORREF crColor, bool bRepaint = true) noexcept;
    SkinResult SetFlatBorder(bool bEnable, bool bRepaint = true) noexcept;
    SkinResult SetPressedShift(int nStyle, bool bRepaint = true) noexcept;
    void ResetColors(bool bRepaint = true) noexcept;
    // The system's look (high contrast): no bitmap and no colour of its own, a push button drawn
    // as Windows draws one in the system's colours, with the system's focus rectangle.
    void SetSystemLook(bool bOn) noexcept;

    COLORREF GetStateColor(ColorSlot slot) const noexcept { return m_colors[slot]; }
    bool IsDefault() const noexcept { return m_bDefault; }
    bool IsHover() const noexcept { return m_hover.IsHover(); }

    // Paints the button as the owner-draw notification asks.
    virtual void DrawItem(const DRAWITEMSTRUCT& item) noexcept;

protected:
    void PreSubclassWindow() noexcept override;
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept override;
    bool OnReflectedMessage(UINT nMsg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) noexcept override;

    virtual void DrawBackground(HDC hDC, const RECT& rc, const ButtonState& state) noexcept;
    virtual void DrawFrame(HDC hDC, const RECT& rc, const ButtonState& state) noexcept;
    virtual void DrawImage(HDC hDC, const RECT& rcItem, RECT& rcCaption, bool bHasCaption,
                           const ButtonState& state) noexcept;
    virtual void DrawCaption(HDC hDC, const std::wstring& caption, RECT rcCaption,
                             const ButtonState& state, bool bDisabled) noexcept;
    virtual void DrawFocusCue(HDC hDC, const RECT& rcItem, const ButtonState& state) noexcept;
    void DrawSystemLook(HDC hDC, const RECT& rcItem, const ButtonState& state,
                        bool bDisabled) noexcept;

private:
    struct StateBitmap
    {
        UniqueBitmap bitmap;
        UniqueBitmap mask;
        int nWidth = 0;
        int nHeight = 0;
        COLORREF crTransparent = 0;
    };

    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnUpdateUiState(WPARAM wParam, LPARAM lParam) noexcept;
    void ShowFocusCues() noexcept;
    void EndHover() noexcept;
    void FreeImages() noexcept;
    SkinResult TakeBitmap(StateBitmap& slot, UniqueBitmap bitmap, COLORREF crTransparent) noexcept;
    void Repaint(bool bRepaint) const noexcept;

    SkinPoint m_ptImageOrigin{3, 3};
    SkinPoint m_ptPressedShift{1, 1};
    const bool m_bFlat = true; // only the flat look is built
    CHoverTracker m_hover;
    CFocusCue m_focusCue;
    bool m_bDefault = false;
    bool m_bSystemLook = false;
    ContentAlign m_align = ImageLeft;
    bool m_bBorder = true;
    COLORREF m_colors[kColorSlotCount]{};
    StateBitmap m_bitmaps[2];
};

// Makes a 1-bit mask of the pixels equal to crTransparent and turns those pixels of the bitmap
// black, so that SRCAND with the mask and SRCPAINT with the bitmap keep the face beneath them.
UniqueBitmap MakeTransparencyMask(HBITMAP hBitmap, int nWidth, int nHeight,
                                  COLORREF crTransparent) noexcept;
