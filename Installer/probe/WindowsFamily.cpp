#include "probe/WindowsFamily.h"

#include "probe/Wmi.h"

#include <windows.h>

int GetWindowsFamily()
{
    // A failed query leaves the text empty, which reads as unknown.
    std::wstring version;
    QueryWmiProperty("Win32_OperatingSystem", L"Version", version);
    if (!version.empty())
        OutputDebugStringW(version.c_str());
    return WindowsFamilyFromVersion(version);
}
