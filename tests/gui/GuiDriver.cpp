#include "GuiDriver.h"

#include "framework/WindowDc.h"
#include "localisation/TranslationFile.h"
#include "localisation/WordTable.h"
#include "res/resource.h"

#include <algorithm>
#include <vector>

std::wstring EnvText(const wchar_t* pszName, const std::wstring& fallback)
{
    wchar_t buffer[1024];
    const DWORD n = GetEnvironmentVariableW(pszName, buffer, 1024);
    return n > 0 && n < 1024 ? std::wstring(buffer, n) : fallback;
}

bool WaitFor(const std::function<bool()>& condition, DWORD nTimeoutMs)
{
    const DWORD nStart = GetTickCount();
    for (;;)
    {
        if (condition())
            return true;
        if (GetTickCount() - nStart > nTimeoutMs)
            return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(20);
    }
}

CProgram::~CProgram()
{
    Terminate();
}

bool CProgram::Start(const std::wstring& exePath, const std::wstring& arguments)
{
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exePath.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    m_process.reset(pi.hProcess);
    m_nId = pi.dwProcessId;
    return true;
}

bool CProgram::IsRunning() const
{
    return m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

DWORD CProgram::WaitForExit(DWORD nTimeoutMs) const
{
    if (!m_process)
        return STILL_ACTIVE;
    if (WaitForSingleObject(m_process.get(), nTimeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD nCode = STILL_ACTIVE;
    GetExitCodeProcess(m_process.get(), &nCode);
    return nCode;
}

void CProgram::Terminate()
{
    if (IsRunning())
    {
        TerminateProcess(m_process.get(), 99);
        WaitForSingleObject(m_process.get(), 10000);
    }
}

namespace {
struct TopLevelSearch
{
    DWORD nId;
    const std::function<bool(HWND)>* match;
    HWND hFound;
};

// A named CALLBACK: a lambda would have the wrong calling convention on 32-bit x86.
BOOL CALLBACK MatchTopLevel(HWND hWnd, LPARAM lParam)
{
    auto* s = reinterpret_cast<TopLevelSearch*>(lParam);
    DWORD nId = 0;
    GetWindowThreadProcessId(hWnd, &nId);
    if (nId == s->nId && IsWindowVisible(hWnd) && (*s->match)(hWnd))
    {
        s->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND CProgram::FindTopLevel(const std::function<bool(HWND)>& match, DWORD nTimeoutMs) const
{
    TopLevelSearch search{m_nId, &match, nullptr};
    WaitFor(
        [&] {
            EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
            return search.hFound != nullptr;
        },
        nTimeoutMs);
    return search.hFound;
}

HWND CProgram::FindWindowByCaption(const std::wstring& caption, DWORD nTimeoutMs) const
{
    return FindTopLevel([&](HWND hWnd) { return WindowText(hWnd) == caption; }, nTimeoutMs);
}

HWND CProgram::FindDialog(DWORD nTimeoutMs) const
{
    return FindTopLevel(
        [](HWND hWnd) {
            wchar_t name[64] = {};
            GetClassNameW(hWnd, name, 64);
            return std::wstring(name) == L"#32770";
        },
        nTimeoutMs);
}

HWND CProgram::FindMessageDialog(DWORD nTimeoutMs) const
{
    return FindTopLevel(
        [](HWND hWnd) {
            wchar_t name[64] = {};
            GetClassNameW(hWnd, name, 64);
            return std::wstring(name) == L"#32770" && GetDlgItem(hWnd, IDC_MESSAGE_TEXT) != nullptr;
        },
        nTimeoutMs);
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t buffer[512] = {};
    DWORD_PTR nCopied = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &nCopied))
        return L"<no answer>";
    return std::wstring(buffer, std::min<DWORD_PTR>(nCopied, 511));
}

ControlInfo ReadControl(HWND hDialog, int nId)
{
    ControlInfo info;
    info.hWnd = GetDlgItem(hDialog, nId);
    if (!info.hWnd)
        return info;
    GetWindowRect(info.hWnd, &info.rc);
    MapWindowPoints(nullptr, hDialog, reinterpret_cast<POINT*>(&info.rc), 2);
    info.text = WindowText(info.hWnd);
    info.bVisible = IsWindowVisible(info.hWnd) != FALSE;
    info.nStyle = GetWindowLongPtrW(info.hWnd, GWL_STYLE);
    return info;
}

SIZE ClientSize(HWND hWnd)
{
    RECT rc{};
    GetClientRect(hWnd, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

SIZE OuterSize(HWND hWnd)
{
    RECT rc{};
    GetWindowRect(hWnd, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

CScreenPixels::CScreenPixels(HWND hWnd) : CPixelPicture(ClientSize(hWnd).cx, ClientSize(hWnd).cy)
{
    POINT origin{0, 0};
    ClientToScreen(hWnd, &origin);
    CWindowDc screen(nullptr);
    BitBlt(dc(), 0, 0, Width(), Height(), screen.get(), origin.x, origin.y, SRCCOPY);
}

std::unique_ptr<CScreenPixels> SteadyPixels(HWND hWnd, DWORD nTimeoutMs)
{
    std::unique_ptr<CScreenPixels> last;
    WaitFor(
        [&] {
            auto now = std::make_unique<CScreenPixels>(hWnd);
            const bool bSteady =
                last &&
                ComparePixels(*last, *now, {0, 0, now->Width(), now->Height()}, 0).nChanged == 0;
            last = std::move(now);
            return bSteady;
        },
        nTimeoutMs);
    return last;
}

PixelChanges ComparePixels(const CPixelPicture& before, const CPixelPicture& after, const RECT& rc,
                           COLORREF crTo)
{
    PixelChanges changes;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            if (before.At(x, y) != after.At(x, y))
            {
                ++changes.nChanged;
                changes.nNotTo += after.At(x, y) != crTo;
            }
    return changes;
}

void PressKey(HWND hTarget, WORD nVirtualKey)
{
    SetForegroundWindow(hTarget);
    WaitFor([&] { return GetForegroundWindow() == hTarget; }, 2000);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = nVirtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

std::wstring LookUpWord(const std::wstring& translationPath, const std::wstring& language,
                        const std::wstring& key)
{
    HANDLE hFile = CreateFileW(translationPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return key;
    std::string bytes;
    char buffer[4096];
    DWORD nRead = 0;
    while (ReadFile(hFile, buffer, sizeof(buffer), &nRead, nullptr) && nRead > 0)
        bytes.append(buffer, nRead);
    CloseHandle(hFile);
    WordMap words;
    ReadTranslationBranch(DecodeUtf8(bytes), language, words);
    const auto it = words.find(key);
    return it == words.end() ? key : it->second;
}
