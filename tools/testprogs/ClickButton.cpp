// Drives the running installer window from outside for the headless demo, the way a user would,
// and waits until what it did can be seen, so that a screenshot taken next shows it:
//   ClickButton               waits until the installer window is up and painted
//   ClickButton <control id>  clicks that button and waits until the click shows: a message
//                             dialog that was not there before (a started setup program or the
//                             installer's own message), or a new text on the status line; prints
//                             the dialog's handle, if one came, for --close
//   ClickButton --close <handle>...  closes those windows and waits until they are gone
// Every wait has a deadline. Exits 1 with the reason on stderr when something did not happen.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>

namespace {

constexpr DWORD kWindowDeadlineMs = 30000;
constexpr DWORD kEffectDeadlineMs = 60000;
constexpr DWORD kCloseDeadlineMs = 10000;
constexpr int kStatusId = 1004; // IDC_STATUS

template <typename Condition>
bool WaitFor(Condition condition, DWORD deadlineMs)
{
    const DWORD start = GetTickCount();
    while (!condition())
    {
        if (GetTickCount() - start > deadlineMs)
            return false;
        Sleep(50);
    }
    return true;
}

// For another process's window this reads the text the system keeps, without a message.
std::wstring TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// Message boxes and the installer's message are dialogs; the console window that comes and goes
// while an archive unpacks is not.
bool IsDialog(HWND window)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wcscmp(name, L"#32770") == 0;
}

// A named CALLBACK: a lambda would have the wrong calling convention on 32-bit x86.
BOOL CALLBACK CollectShown(HWND window, LPARAM lParam)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::set<HWND>*>(lParam)->insert(window);
    return TRUE;
}

std::set<HWND> ShownTopLevel()
{
    std::set<HWND> shown;
    EnumWindows(CollectShown, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// The installer sets its caption when it has finished initialising.
HWND FindInstaller()
{
    for (HWND window : ShownTopLevel())
    {
        if (TextOf(window).rfind(L"USB Bluetooth Wireless Adapter (", 0) == 0)
            return window;
    }
    return nullptr;
}

// Paints what is invalid now; returns once the window's thread has done so.
void PaintNow(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

int Fail(const std::wstring& reason)
{
    std::fwprintf(stderr, L"ClickButton: %ls\n", reason.c_str());
    return 1;
}

int Click(HWND installer, int id)
{
    const std::wstring name = L"button " + std::to_wstring(id);
    HWND button = GetDlgItem(installer, id);
    if (!button)
        return Fail(name + L" is not in the installer window");
    if (!IsWindowVisible(button) || !IsWindowEnabled(button))
        return Fail(name + L" is not shown or not enabled");

    const std::set<HWND> before = ShownTopLevel();
    HWND status = GetDlgItem(installer, kStatusId);
    const std::wstring statusBefore = status ? TextOf(status) : std::wstring();
    // Posted: the click may open a modal loop in the installer.
    if (!PostMessageW(button, BM_CLICK, 0, 0))
        return Fail(L"cannot click " + name);

    HWND dialog = nullptr;
    std::wstring statusAfter = statusBefore;
    const bool shown = WaitFor(
        [&] {
            for (HWND window : ShownTopLevel())
            {
                if (!before.count(window) && IsDialog(window))
                    dialog = window;
            }
            if (status)
                statusAfter = TextOf(status);
            return dialog || statusAfter != statusBefore;
        },
        kEffectDeadlineMs);
    if (!shown)
        return Fail(L"nothing showed within " + std::to_wstring(kEffectDeadlineMs / 1000) +
                    L" s after clicking " + name);

    PaintNow(installer);
    if (dialog)
    {
        PaintNow(dialog);
        const std::wstring caption = TextOf(dialog);
        std::fwprintf(stderr, L"ClickButton: %ls opened a dialog %ls\n", name.c_str(),
                      caption.empty() ? L"without caption" : (L"\"" + caption + L"\"").c_str());
        std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(dialog)));
    }
    else
    {
        std::fwprintf(stderr, L"ClickButton: %ls; status line: %ls\n", name.c_str(),
                      statusAfter.c_str());
    }
    return 0;
}

int Close(int count, wchar_t** handles)
{
    int result = 0;
    for (int i = 0; i < count; ++i)
    {
        HWND window =
            reinterpret_cast<HWND>(static_cast<UINT_PTR>(_wcstoui64(handles[i], nullptr, 10)));
        if (IsWindow(window))
            PostMessageW(window, WM_CLOSE, 0, 0);
        if (!WaitFor([&] { return !IsWindow(window); }, kCloseDeadlineMs))
            result = Fail(L"window " + std::wstring(handles[i]) + L" did not close");
    }
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && std::wcscmp(argv[1], L"--close") == 0)
        return Close(argc - 2, argv + 2);
    if (argc > 2)
        return Fail(L"usage: ClickButton [<control id> | --close <handle>...]");

    HWND installer = nullptr;
    if (!WaitFor([&] { return (installer = FindInstaller()) != nullptr; }, kWindowDeadlineMs))
        return Fail(L"no installer window within " + std::to_wstring(kWindowDeadlineMs / 1000) +
                    L" s");
    if (argc == 1)
    {
        PaintNow(installer);
        return 0;
    }
    const int id = _wtoi(argv[1]);
    if (id <= 0)
        return Fail(L"not a control id: " + std::wstring(argv[1]));
    return Click(installer, id);
}
