// Clicks a button of the running installer window, the way a user would, for the headless
// demo: ClickButton <control id>. Exits 1 when the window or the control is not there.
// ClickButton 0 only waits until the window has finished initialising.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

BOOL CALLBACK FindInstaller(HWND hWnd, LPARAM lParam)
{
    wchar_t caption[256] = {};
    GetWindowTextW(hWnd, caption, 256);
    if (std::wcsncmp(caption, L"USB Bluetooth Wireless Adapter (", 32) == 0) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    HWND window = nullptr;
    for (int attempt = 0; attempt < 300 && !window; ++attempt) {
        EnumWindows(FindInstaller, reinterpret_cast<LPARAM>(&window));
        if (!window)
            Sleep(100);
    }
    const int id = _wtoi(argv[1]);
    if (id == 0)
        return window ? 0 : 1;
    HWND button = window ? GetDlgItem(window, id) : nullptr;
    if (!button || !IsWindowVisible(button))
        return 1;
    // Posted: the click may open a modal loop in the installer.
    return PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
}
