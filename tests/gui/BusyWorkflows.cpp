// Workflows for the close-during-work test: each keeps the window busy in its own way until
// the process ends.
#include "app/InstallerDlg.h"

#include "framework/KernelHandle.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace
{
std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}
} // namespace

// Starts a setup program and waits for it, as the Wi-Fi workflow does.
void CInstallerDlg::InstallWifiDriver()
{
    wchar_t tmp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"KVZ_TEST_TMP", tmp, MAX_PATH);
    const std::wstring exe = ProgramFolder() + L"SlowSetup.exe";
    std::wstring commandLine =
        L"\"" + exe + L"\" 4000 \"" + std::wstring(tmp) + L"\\setup-finished.txt\"";
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi))
        return;
    KernelHandle process(pi.hProcess);
    KernelHandle thread(pi.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    ShowStatusText(L"setup ended");
}

// A download that never ends: synchronous progress messages as fast as they go.
void CInstallerDlg::InstallBluetoothDriver()
{
    m_progBluetooth.ShowWindow(SW_SHOW);
    for (unsigned n = 0;; ++n)
    {
        m_progBluetooth.SetPos(static_cast<int>(n % 101));
        if (n % 500 == 0)
            ShowStatusText(L"downloading " + std::to_wstring(n));
    }
}

void CInstallerDlg::InstallHotspotDriver()
{
    ShowNoInternetMessage();
}

void CInstallerDlg::InstallReceiverApp()
{
    for (;;)
    {
        const std::wstring word = m_translation.GetWord(WordKeys[INSTALL_RX]);
        if (word.empty() && m_bBluetoothShown)
            ShowStatusText(word);
    }
}
