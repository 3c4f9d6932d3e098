// Planted beside the installer under the names of the DLLs it delay-loads: leaves
// "<its own path>.loaded" when any process loads it, so a test sees whether the installer took
// it instead of the system's copy. It exports nothing.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, void*)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t szPath[MAX_PATH + 8];
    const DWORD cch = GetModuleFileNameW(hInstance, szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH)
        return TRUE;
    lstrcpyW(szPath + cch, L".loaded");
    const HANDLE hFile = CreateFileW(szPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    return TRUE;
}
