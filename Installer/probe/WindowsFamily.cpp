#include "probe/WindowsFamily.h"

#include "log/SupportLog.h"
#include "probe/Wmi.h"

#include <windows.h>

int GetWindowsFamily()
{
    // A failed query leaves the text empty, which reads as unknown.
    std::wstring version;
    QueryWmiProperty("Win32_OperatingSystem", L"Version", version);
    if (!version.empty())
        OutputDebugStringW(version.c_str());
    const int family = WindowsFamilyFromVersion(version);
    LogEvent(L"Windows version " + (version.empty() ? L"unknown" : version) + L", family " +
             std::to_wstring(family));
    return family;
}
