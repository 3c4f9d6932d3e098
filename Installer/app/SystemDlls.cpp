// Every DLL that is not a Known DLL on all of Windows 7 to 11 is delay-loaded
// (cmake/SystemDlls.cmake) and comes from here: by full path from the system folder, so a copy
// planted beside the program (a downloads folder) is never loaded with its rights, even on a
// Windows 7 that lacks SetDefaultDllDirectories (KB2533623).
#include <windows.h>

#include <delayimp.h>

namespace {
bool SearchFlagsSupported() noexcept
{
    // KB2533623 brings AddDllDirectory and the LOAD_LIBRARY_SEARCH_* flags together.
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    return hKernel && ::GetProcAddress(hKernel, "AddDllDirectory");
}

HMODULE LoadFromSystemFolder(const char* pszDll) noexcept
{
    wchar_t szPath[MAX_PATH];
    UINT cch = ::GetSystemDirectoryW(szPath, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH - 1)
        return nullptr;
    szPath[cch++] = L'\\';
    // The names come from the program's own delay-load table: short ASCII.
    for (; *pszDll; ++pszDll)
    {
        if (cch >= MAX_PATH - 1)
            return nullptr;
        szPath[cch++] = static_cast<unsigned char>(*pszDll);
    }
    szPath[cch] = L'\0';
    // The DLL's own imports must not come from the program's folder either.
    const DWORD dwFlags =
        SearchFlagsSupported() ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    return ::LoadLibraryExW(szPath, nullptr, dwFlags);
}

FARPROC WINAPI OnDelayLoad(unsigned uNotify, PDelayLoadInfo pInfo)
{
    if (uNotify != dliNotePreLoadLibrary)
        return nullptr;
    const HMODULE hModule = LoadFromSystemFolder(pInfo->szDll);
    if (!hModule)
    {
        // Returning null would let the helper try LoadLibraryA, which searches the program's
        // folder: fail the way the helper fails instead.
        pInfo->dwLastError = ::GetLastError();
        ULONG_PTR info = reinterpret_cast<ULONG_PTR>(pInfo);
        ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &info);
    }
    return reinterpret_cast<FARPROC>(hModule);
}

} // namespace

// The zeroed descriptor that ends the delay-load table: the linker sorts dlltool's descriptors
// (.text$2) right before it, and cmake/delay-directory.py points the PE header at them. In
// assembly, because the compiler would align an array to 32 bytes and could leave a gap.
asm(".section .text$2z, \"dr\"\n.p2align 2\n.zero 32\n.text");

PfnDliHook __pfnDliNotifyHook2 = OnDelayLoad;
