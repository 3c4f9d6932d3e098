// A window's device context from GetDC, given back with ReleaseDC to the same window.
#pragma once

#include <windows.h>

class CWindowDc
{
public:
    explicit CWindowDc(HWND hWnd) noexcept : m_hWnd(hWnd), m_hDC(GetDC(hWnd)) {}
    ~CWindowDc()
    {
        if (m_hDC)
            ReleaseDC(m_hWnd, m_hDC);
    }
    CWindowDc(const CWindowDc&) = delete;
    CWindowDc& operator=(const CWindowDc&) = delete;

    HDC get() const noexcept { return m_hDC; }
    explicit operator bool() const noexcept { return m_hDC != nullptr; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};
