#include "app/ExtraMsg.h"

#include "app/Layout.h"

CExtraMsg::CExtraMsg(HWND hParent) noexcept : CBlueDialog(IDD_EXTRA_MSG, hParent)
{
}

void CExtraMsg::DoDataExchange() noexcept
{
    BindControl(IDC_MESSAGE_TEXT, m_stcText);
    BindControl(IDOK, m_btnOk);
}

BOOL CExtraMsg::OnInitDialog() noexcept
{
    CDialog::OnInitDialog();
    MakeWindowFont();

    const RECT rcClient = GetClientRect();
    CenterWindow();

    m_btnOk.SetWindowPos(nullptr, OkButtonLeft(rcClient.right - rcClient.left), kOkButtonTop,
                         kOkButtonWidth, kOkButtonHeight, SWP_NOZORDER | SWP_HIDEWINDOW);
    SetUpSkinButton(m_btnOk, IDB_OK_FACE, m_font.get());
    m_btnOk.ShowWindow(SW_SHOW);

    m_stcText.SetFont(m_font.get(), true);
    const std::wstring text = m_translation.GetWord(WordKeys[HINT_NO_INTERNET]);
    m_stcText.SetText(text);
    // The box has no caption bar: its text is its name, which a screen reader says with the
    // dialog as it opens.
    SetText(text);
    ApplyLook();
    return TRUE;
}

void CExtraMsg::OnLookChanged() noexcept
{
    m_btnOk.SetSystemLook(m_bHighContrast);
}
