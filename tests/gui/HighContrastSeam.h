// For the test builds of the installer: Wine always reports high contrast off, so the window
// asks the test's own registry value instead (HKCU\Software\KVZ7300Test, HighContrast).
#pragma once

#include "app/WindowStyle.h"

#include <windows.h>

constexpr const wchar_t* kTestKey = L"Software\\KVZ7300Test";
constexpr const wchar_t* kHighContrastValue = L"HighContrast";

inline bool TestHighContrast()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, kTestKey, kHighContrastValue, RRF_RT_REG_DWORD, nullptr,
                        &value, &size) == ERROR_SUCCESS &&
           value != 0;
}

inline void UseTestHighContrast()
{
    SetHighContrastQuery(TestHighContrast);
}
