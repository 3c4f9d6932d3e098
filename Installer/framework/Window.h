// Thin wrappers over a window handle: the window operations the dialogs use, and controls
// that are subclassed so that a member object can handle their messages.
#pragma once

#include <windows.h>

#include <string>

class CWindow
{
public:
    CWindow() = default;
    virtual ~CWindow() = default;
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }

    // Binds the object to an existing control; controls that handle messages subclass it.
    virtual bool Attach(HWND hWnd) noexcept;

    BOOL ShowWindow(int nCmdShow) const noexcept { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL SetWindowPos(HWND hInsertAfter, int x, int y, int cx, int cy, UINT nFlags) const noexcept
    {
        return ::SetWindowPos(m_hWnd, hInsertAfter, x, y, cx, cy, nFlags);
    }
    bool SetText(const std::wstring& text) const noexcept
    {
        return ::SetWindowTextW(m_hWnd, text.c_str()) != FALSE;
    }
    std::wstring GetText() const;
    void SetFont(HFONT hFont, bool bRedraw = true) const noexcept
    {
        ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw);
    }
    HFONT GetFont() const noexcept
    {
        return reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    }
    void Invalidate(bool bErase = true) const noexcept
    {
        ::InvalidateRect(m_hWnd, nullptr, bErase);
    }
    RECT GetClientRect() const noexcept;
    int GetDlgCtrlID() const noexcept { return ::GetDlgCtrlID(m_hWnd); }

protected:
    HWND m_hWnd = nullptr;
};

// Messages that a parent passes back to the control that sent them (WM_DRAWITEM, WM_CTLCOLOR*,
// WM_COMMAND) arrive at the control as kReflectBase + the original message.
constexpr UINT kReflectBase = 0xBC00;

// Sends a notification back to its control. Returns the control's answer; 0 means the
// control did not handle it (plain controls ignore the private message and answer 0).
LRESULT ReflectToControl(HWND hControl, UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;

// WM_CTLCOLORMSGBOX to WM_CTLCOLORSTATIC: a control asking its parent for its colours.
constexpr bool IsColourMessage(UINT nMsg) noexcept
{
    return nMsg >= WM_CTLCOLORMSGBOX && nMsg <= WM_CTLCOLORSTATIC;
}

// The child window that a parent notification came from, or null.
HWND NotificationSource(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;

class CControl : public CWindow
{
public:
    ~CControl() override;
    bool Attach(HWND hWnd) noexcept override;

protected:
    // Called once the object knows its window, before the subclass procedure is installed.
    virtual void PreSubclassWindow() noexcept {}
    virtual LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;
    // A reflected notification; true when handled, with the answer in result.
    virtual bool OnReflectedMessage(UINT nMsg, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) noexcept;
    LRESULT DefaultProc(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR uId, DWORD_PTR refData);
    void Detach() noexcept;
};

class CButton : public CControl
{
};

class CStatic : public CWindow
{
};

class CProgressCtrl : public CWindow
{
public:
    void SetRange(int nLower, int nUpper) const noexcept;
    int SetPos(int nPos) const noexcept;
    int GetPos() const noexcept;
};
