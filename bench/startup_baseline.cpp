// Baseline for the start-up benchmark: the cheapest windowed program, a message box.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    MessageBoxW(nullptr, L"baseline", L"baseline", MB_OK);
    return 0;
}
