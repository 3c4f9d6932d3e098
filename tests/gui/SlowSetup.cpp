// Stands in for a setup program: works for the given milliseconds, then leaves a file.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    Sleep(static_cast<DWORD>(_wtoi(argv[1])));
    HANDLE hFile = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(hFile);
    return 0;
}
