// The no-internet message: a small modal box in the window's blue with one fixed, translated
// text and a skinned OK button. It runs on the worker thread that shows it and has no owner,
// so the main window stays usable meanwhile.
#pragma once

#include "controls/SkinButton.h"
#include "framework/Dialog.h"
#include "framework/GdiObject.h"
#include "localisation/Translation.h"

class CExtraMsg : public CDialog
{
public:
    explicit CExtraMsg(HWND hParent = nullptr) noexcept;

protected:
    void DoDataExchange() noexcept override;
    BOOL OnInitDialog() noexcept override;
    bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;

private:
    BOOL OnEraseBkgnd(HDC hDC) noexcept;

    float m_fScale = 1.0f;
    UniqueFont m_font;
    CStatic m_stcMessage;
    CSkinButton m_btnOk;
    CTranslation m_translation; // its first GetWord loads it
};
