#include "framework/Dialog.h"

namespace {
// Messages whose answer is the dialog procedure's return value rather than DWLP_MSGRESULT.
bool AnswersDirectly(UINT nMsg)
{
    if (IsColourMessage(nMsg))
        return true;
    switch (nMsg)
    {
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG: return true;
    default: return false;
    }
}
} // namespace

CDialog::CDialog(UINT nTemplateId, HWND hParent) noexcept
    : m_nTemplateId(nTemplateId), m_hParent(hParent)
{
}

INT_PTR CDialog::DoModal() noexcept
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId),
                             m_hParent, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(INT_PTR nResult) const noexcept
{
    ::EndDialog(m_hWnd, nResult);
}

void CDialog::CenterWindow() const noexcept
{
    RECT rcWindow{};
    ::GetWindowRect(m_hWnd, &rcWindow);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &info))
        return;
    const RECT& work = info.rcWork;
    const int cx = rcWindow.right - rcWindow.left;
    const int cy = rcWindow.bottom - rcWindow.top;
    int x = work.left + (work.right - work.left - cx) / 2;
    int y = work.top + (work.bottom - work.top - cy) / 2;
    // A window larger than the work area keeps its top-left corner on screen.
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::BindControl(int nId, CWindow& control) noexcept
{
    control.Attach(GetDlgItem(nId));
}

BOOL CDialog::OnInitDialog() noexcept
{
    DoDataExchange();
    return TRUE;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) noexcept
{
    return false;
}

HBRUSH CDialog::DefaultCtlColor(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    return reinterpret_cast<HBRUSH>(
        ReflectToControl(NotificationSource(nMsg, wParam, lParam), nMsg, wParam, lParam));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (nMsg == WM_INITDIALOG)
    {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        self->m_hWnd = hDlg;
    }
    else
    {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hDlg, DWLP_USER));
    }
    if (!self) // messages before WM_INITDIALOG and after WM_NCDESTROY
        return FALSE;

    const INT_PTR answer = self->Dispatch(nMsg, wParam, lParam);
    if (nMsg == WM_NCDESTROY)
    {
        ::SetWindowLongPtrW(hDlg, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return answer;
}

INT_PTR CDialog::Dispatch(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (nMsg == WM_INITDIALOG)
        return OnInitDialog();

    LRESULT result = 0;
    bool bHandled = false;
    // Owner-draw and click notifications go to the control object first, as a framework's
    // message reflection does; a click that the control leaves unconsumed still reaches us.
    if (nMsg == WM_DRAWITEM || nMsg == WM_COMMAND)
    {
        if (HWND hSource = NotificationSource(nMsg, wParam, lParam))
        {
            result = ReflectToControl(hSource, nMsg, wParam, lParam);
            bHandled = result != 0;
        }
    }
    if (!bHandled)
        bHandled = OnMessage(nMsg, wParam, lParam, result);
    if (!bHandled && IsColourMessage(nMsg))
    {
        result = reinterpret_cast<LRESULT>(DefaultCtlColor(nMsg, wParam, lParam));
        bHandled = result != 0;
    }
    if (!bHandled && nMsg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED)
    {
        switch (LOWORD(wParam))
        {
        case IDOK:
            OnOK();
            bHandled = true;
            break;
        case IDCANCEL:
            OnCancel();
            bHandled = true;
            break;
        default: break;
        }
    }
    if (!bHandled)
        return FALSE;
    if (AnswersDirectly(nMsg))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
