// Modal dialogs made from resource templates. The object travels in DialogBoxParamW's LPARAM,
// lives in DWLP_USER from WM_INITDIALOG to WM_NCDESTROY, and each message reaches the derived
// class through OnMessage, one switch of On... handlers.
#pragma once

#include "framework/Window.h"

class CDialog : public CWindow
{
public:
    explicit CDialog(UINT nTemplateId, HWND hParent = nullptr) noexcept;

    // Runs the modal loop on the calling thread; -1 when the dialog could not be created.
    INT_PTR DoModal() noexcept;
    void EndDialog(INT_PTR nResult) const noexcept;
    HWND GetDlgItem(int nId) const noexcept { return ::GetDlgItem(m_hWnd, nId); }
    // Centres the dialog in the work area of its monitor (none of ours has an owner).
    void CenterWindow() const noexcept;

protected:
    // Binds the controls to their member objects; called by the base OnInitDialog.
    virtual void DoDataExchange() noexcept {}
    void BindControl(int nId, CWindow& control) noexcept;

    // Answer is returned from the dialog procedure as is (focus wish of WM_INITDIALOG).
    virtual BOOL OnInitDialog() noexcept;
    // true when handled; result is what the message answers. The base turns it into the
    // dialog procedure's return value and DWLP_MSGRESULT as each message requires.
    virtual bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept;
    virtual void OnOK() noexcept { EndDialog(IDOK); }
    virtual void OnCancel() noexcept { EndDialog(IDCANCEL); }

public:
    // The brush a control asks for when the dialog has nothing to say: the control's own
    // answer to the reflected WM_CTLCOLOR*, else null (the system default).
    static HBRUSH DefaultCtlColor(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;

    UINT m_nTemplateId;
    HWND m_hParent;
};
