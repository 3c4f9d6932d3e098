#include "app/InstallerApp.h"

#include <windows.h>

namespace {
CInstallerApp theApp;

// DLLs from the system folder only, so none planted beside the installer (a downloads folder)
// is loaded with its rights. Windows 7 without KB2533623 lacks the call.
void LoadDllsFromSystemFolderOnly() noexcept
{
    using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto pSet = hKernel ? reinterpret_cast<SetDirectoriesFn>(reinterpret_cast<void*>(
                                    ::GetProcAddress(hKernel, "SetDefaultDllDirectories")))
                              : nullptr;
    if (pSet)
        pSet(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    LoadDllsFromSystemFolderOnly();
    return theApp.Run(ProgramParts());
}
