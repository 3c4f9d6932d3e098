#include "app/ExtraMsg.h"

#include "app/Layout.h"
#include "app/WindowStyle.h"
#include "framework/Font.h"
#include "framework/GdiSelect.h"

CExtraMsg::CExtraMsg(HWND hParent) noexcept : CDialog(IDD_EXTRA_MSG, hParent)
{
}

void CExtraMsg::DoDataExchange() noexcept
{
    BindControl(IDC_MESSAGE_TEXT, m_stcMessage);
    BindControl(IDOK, m_btnOk);
}

BOOL CExtraMsg::OnInitDialog() noexcept
{
    CDialog::OnInitDialog();

    m_fScale = DensityScale(GetWindowDpi(m_hWnd));
    m_font = CreatePointFont(FontPointTenths(m_fScale), kWindowFontFace);

    const RECT rcClient = GetClientRect();
    CenterWindow();

    m_btnOk.SetWindowPos(nullptr, OkButtonLeft(rcClient.right - rcClient.left), kOkButtonTop,
                         kOkButtonWidth, kOkButtonHeight, SWP_NOZORDER | SWP_HIDEWINDOW);
    SetUpSkinButton(m_btnOk, IDB_OK_FACE, m_font.get());
    m_btnOk.ShowWindow(SW_SHOW);

    m_stcMessage.SetFont(m_font.get(), true);
    m_stcMessage.SetText(m_translation.GetWord(WordKeys[HINT_NO_INTERNET]));
    return TRUE;
}

bool CExtraMsg::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept
{
    switch (nMsg)
    {
    case WM_ERASEBKGND: result = OnEraseBkgnd(reinterpret_cast<HDC>(wParam)); return true;
    default:
        return AnswerBlueDialogColours(nMsg, wParam, lParam, m_stcMessage.GetSafeHwnd(),
                                       m_font.get(), result) &&
               result != 0;
    }
}

BOOL CExtraMsg::OnEraseBkgnd(HDC hDC) noexcept
{
    FillWindowBlue(hDC, GetClientRect());
    return TRUE;
}
