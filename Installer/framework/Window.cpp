#include "framework/Window.h"

#include <commctrl.h>

#include <vector>

namespace {
constexpr UINT_PTR kSubclassId = 0x4B565A; // any constant unique to this procedure
}

bool CWindow::Attach(HWND hWnd) noexcept
{
    m_hWnd = hWnd;
    return hWnd != nullptr;
}

std::wstring CWindow::GetText() const
{
    const int nLength = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(nLength) + 1);
    const int nCopied = ::GetWindowTextW(m_hWnd, buffer.data(), nLength + 1);
    return std::wstring(buffer.data(), nCopied > 0 ? nCopied : 0);
}

RECT CWindow::GetClientRect() const noexcept
{
    RECT rc{};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

LRESULT ReflectToControl(HWND hControl, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (!hControl)
        return 0;
    return ::SendMessageW(hControl, kReflectBase + nMsg, wParam, lParam);
}

HWND NotificationSource(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (nMsg == WM_COMMAND || IsColourMessage(nMsg))
        return reinterpret_cast<HWND>(lParam);
    if (nMsg == WM_DRAWITEM && wParam != 0)
        return reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    return nullptr;
}

CControl::~CControl()
{
    Detach();
}

bool CControl::Attach(HWND hWnd) noexcept
{
    if (!hWnd || m_hWnd)
        return false;
    m_hWnd = hWnd;
    PreSubclassWindow();
    if (!::SetWindowSubclass(hWnd, &CControl::SubclassProc, kSubclassId,
                             reinterpret_cast<DWORD_PTR>(this)))
    {
        m_hWnd = nullptr;
        return false;
    }
    return true;
}

void CControl::Detach() noexcept
{
    if (m_hWnd)
    {
        ::RemoveWindowSubclass(m_hWnd, &CControl::SubclassProc, kSubclassId);
        m_hWnd = nullptr;
    }
}

LRESULT CControl::DefaultProc(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    return ::DefSubclassProc(m_hWnd, nMsg, wParam, lParam);
}

LRESULT CControl::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept
{
    return DefaultProc(nMsg, wParam, lParam);
}

bool CControl::OnReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&) noexcept
{
    return false;
}

LRESULT CALLBACK CControl::SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR refData)
{
    auto* self = reinterpret_cast<CControl*>(refData);
    if (nMsg == WM_NCDESTROY)
    {
        self->Detach();
        return ::DefSubclassProc(hWnd, nMsg, wParam, lParam);
    }
    if (nMsg >= kReflectBase && nMsg < kReflectBase + WM_USER)
    {
        LRESULT result = 0;
        return self->OnReflectedMessage(nMsg - kReflectBase, wParam, lParam, result) ? result : 0;
    }
    return self->WindowProc(nMsg, wParam, lParam);
}

void CProgressCtrl::SetRange(int nLower, int nUpper) const noexcept
{
    ::SendMessageW(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper);
}

int CProgressCtrl::SetPos(int nPos) const noexcept
{
    return static_cast<int>(::SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(nPos), 0));
}

int CProgressCtrl::GetPos() const noexcept
{
    return static_cast<int>(::SendMessageW(m_hWnd, PBM_GETPOS, 0, 0));
}
