// The no-internet message: a small modal box in the window's blue with one fixed, translated
// text and a skinned OK button. It runs on the worker thread that shows it and has no owner,
// so the main window stays usable meanwhile.
#pragma once

#include "app/WindowStyle.h"
#include "controls/SkinButton.h"
#include "localisation/Translation.h"

class CExtraMsg : public CBlueDialog
{
public:
    explicit CExtraMsg(HWND hParent = nullptr) noexcept;

protected:
    void DoDataExchange() noexcept override;
    BOOL OnInitDialog() noexcept override;
    void OnLookChanged() noexcept override;

private:
    CSkinButton m_btnOk;
    CTranslation m_translation; // its first GetWord loads it
};
