// A test build of the installer whose workflows keep the window busy in their own ways until
// the process ends, for the close-during-work tests. With KVZ_BUSY_PROBE=hang its
// Windows-family probe never answers, as a hung WMI service would not.
#include "app/InstallerApp.h"
#include "HighContrastSeam.h"

#include "framework/KernelHandle.h"
#include "localisation/ModulePath.h"
#include "localisation/WordTable.h"
#include "probe/WindowsFamily.h"

#include <string>
#include <vector>

namespace {
// Starts a setup program and waits for it, as the Wi-Fi workflow does.
DWORD RunSlowSetup(CWorkflowHost& host) noexcept
{
    wchar_t tmp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"KVZ_TEST_TMP", tmp, MAX_PATH);
    const std::wstring exe = GetModuleRelativePath(L"SlowSetup.exe");
    std::wstring commandLine =
        L"\"" + exe + L"\" 4000 \"" + std::wstring(tmp) + L"\\setup-finished.txt\"";
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi))
        return kInstallerFailed;
    KernelHandle process(pi.hProcess);
    KernelHandle thread(pi.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    host.ShowStatusText(L"setup ended");
    return 0;
}

CommandOutcome RunBusy(CWorkflowHost& host, Command kind, RunStyle) noexcept
{
    switch (kind)
    {
    case Command::Wifi: return RunSlowSetup(host);
    case Command::Bluetooth:
        // A download that never ends: progress as fast as it goes.
        host.ShowProgressBar(kind);
        for (unsigned n = 0;; ++n)
        {
            host.SetProgressBar(kind, static_cast<int>(n % 101));
            if (n % 500 == 0)
                host.ShowStatusText(L"downloading " + std::to_wstring(n));
        }
    case Command::Hotspot: host.ShowNoInternetMessage(); return kInstallerFailed;
    case Command::Receiver:
        for (;;)
        {
            const std::wstring word = host.GetWord(WordKeys[INSTALL_RX]);
            if (word.empty() && host.IsShown(Command::Bluetooth))
                host.ShowStatusText(word);
        }
    }
    return kInstallerFailed;
}

int ProbeFamily()
{
    wchar_t mode[16] = {};
    GetEnvironmentVariableW(L"KVZ_BUSY_PROBE", mode, 16);
    if (std::wstring(mode) == L"hang")
        Sleep(INFINITE);
    return GetWindowsFamily();
}

CInstallerApp theApp;
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    UseTestHighContrast();
    theApp.InitInstance({RunBusy, ProbeFamily});
    return 0;
}
