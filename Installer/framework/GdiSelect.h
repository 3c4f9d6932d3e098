// Selects a GDI object into a device context and selects the previous one back on scope exit,
// so an owner can delete its object only after it is no longer selected anywhere.
#pragma once

#include <windows.h>

class CSelectObject
{
public:
    CSelectObject(HDC hDC, HGDIOBJ hObject) noexcept
        : m_hDC(hDC), m_hOld(hDC && hObject ? SelectObject(hDC, hObject) : nullptr)
    {
    }
    ~CSelectObject()
    {
        if (m_hOld && m_hOld != HGDI_ERROR)
            SelectObject(m_hDC, m_hOld);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
