// The test setup program's settings (KVZ_SETUP_LOG, KVZ_SETUP_EXIT, ...), kept in the registry
// of the test prefix's user: the installer starts programs with the system's environment
// only, so nothing set in a test's own environment reaches them.
#pragma once

#include <windows.h>

#include <string>

inline constexpr const wchar_t* kSetupSettingsKey = L"Software\\KVZ7300Test\\Setup";

// The setting `name`; empty when it is not set.
inline std::wstring SetupSetting(const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kSetupSettingsKey, name, RRF_RT_REG_SZ, nullptr, value,
                     &bytes) != ERROR_SUCCESS)
        return std::wstring();
    return value;
}

// Sets `name` to `value`, or removes it when `value` is null.
inline void SetSetupSetting(const wchar_t* name, const wchar_t* value)
{
    if (!value)
    {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSetupSettingsKey, name);
        return;
    }
    RegSetKeyValueW(HKEY_CURRENT_USER, kSetupSettingsKey, name, REG_SZ, value,
                    static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
}

// Forgets every setting an earlier test left.
inline void ClearSetupSettings()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kSetupSettingsKey);
}
