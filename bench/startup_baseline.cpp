// Baseline for the start-up benchmark: the cheapest windowed program, a message box. Built a
// second time (KVZ_BASELINE_WITH_INSTALLER_DLLS) with the installer's manifest and the DLLs it
// imports, so that what Wine charges for loading those shows apart from the installer's own work.
#include <windows.h>
#ifdef KVZ_BASELINE_WITH_INSTALLER_DLLS
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
#ifdef KVZ_BASELINE_WITH_INSTALLER_DLLS
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    // Never true: the calls only make the loader map their DLLs at start, as the installer's.
    if (::GetCurrentProcessId() == 0)
    {
        int count = 0;
        ::LocalFree(::CommandLineToArgvW(::GetCommandLineW(), &count));
        ::CoUninitialize();
        ::SysFreeString(nullptr);
    }
#endif
    MessageBoxW(nullptr, L"baseline", L"baseline", MB_OK);
    return 0;
}
