// The device context of WM_PAINT: BeginPaint on construction, EndPaint on destruction.
#pragma once

#include <windows.h>

class CPaintDc
{
public:
    explicit CPaintDc(HWND hWnd) noexcept : m_hWnd(hWnd), m_ps{}, m_hDC(BeginPaint(hWnd, &m_ps)) {}
    ~CPaintDc()
    {
        if (m_hDC)
            EndPaint(m_hWnd, &m_ps);
    }
    CPaintDc(const CPaintDc&) = delete;
    CPaintDc& operator=(const CPaintDc&) = delete;

    HDC get() const noexcept { return m_hDC; }
    explicit operator bool() const noexcept { return m_hDC != nullptr; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps;
    HDC m_hDC;
};
