// What screen readers and other accessibility tools are told beyond what the controls say for
// themselves. The annotations go through oleacc's property service, made by COM where Windows
// has it (Windows 8 and later take the live setting; Wine implements none of it), so that no
// DLL beyond Windows' own is loaded at start. Callers are on the window's thread, in a COM
// apartment.
#pragma once

#include "framework/ComPtr.h"

#include <windows.h>
#include <oleacc.h>

#include <string>

class CAccessibleNotes
{
public:
    CAccessibleNotes() noexcept;

    // Marks the static control a polite live region: screen readers read its new text when
    // told (Announce) without moving the focus.
    void MarkLiveRegion(HWND hWnd) noexcept;
    // The control's accessible name: its window text, and the service's name where the control
    // would take its name elsewhere (a progress bar from a label).
    void SetName(HWND hWnd, const std::wstring& name) noexcept;

    // The live region's text changed.
    static void Announce(HWND hWnd) noexcept;

private:
    ComPtr<IAccPropServices> m_services;
};
