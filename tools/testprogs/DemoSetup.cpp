// Stands in for the setup programs the installer starts: the Wi-Fi driver setup in data\, the
// Setup.exe of a Bluetooth driver archive, the receiver and hotspot installers.
//
// With the setting KVZ_SETUP_LOG (SetupSettings.h; the tests set it) it appends one line with
// its own full path to that file (and, with KVZ_SETUP_FOLDER_LOG set, one with its current
// folder to that one; with KVZ_SETUP_TEMP_LOG, one with its TEMP and TMP; with
// KVZ_SETUP_ARGS_LOG, its command line; with KVZ_SETUP_ENV_LOG, its whole environment), waits
// KVZ_SETUP_SLEEP_MS, and exits with KVZ_SETUP_EXIT (default 0), showing nothing. Without it (the
// demo) it shows a small window saying what it would have installed; as the Wi-Fi setup it asks
// whether to report success.
#include <windows.h>

#include "SetupSettings.h"

#include <cstdlib>
#include <string>

namespace {

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

// Every variable of this process's environment, one "name=value" per line.
std::wstring WholeEnvironment()
{
    std::wstring lines;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; entry && *entry; entry += wcslen(entry) + 1)
        lines += std::wstring(entry) + L"\n";
    FreeEnvironmentStringsW(block);
    return lines;
}

bool AppendLine(const std::wstring& file, const std::wstring& line)
{
    // Several setup programs may finish at once: append under a share-nothing retry.
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
        {
            Sleep(20);
            continue;
        }
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(size > 0 ? size - 1 : 0, '\0');
        WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &utf8[0], size, nullptr, nullptr);
        utf8 += "\n";
        DWORD written = 0;
        const BOOL ok =
            WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
        CloseHandle(h);
        return ok && written == utf8.size();
    }
    return false;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring self = OwnPath();
    const std::wstring log = SetupSetting(L"KVZ_SETUP_LOG");
    if (!log.empty())
    {
        if (!AppendLine(log, self))
            return 99;
        const std::wstring folderLog = SetupSetting(L"KVZ_SETUP_FOLDER_LOG");
        wchar_t folder[MAX_PATH] = {};
        if (!folderLog.empty() &&
            (!GetCurrentDirectoryW(MAX_PATH, folder) || !AppendLine(folderLog, folder)))
            return 98;
        const std::wstring argsLog = SetupSetting(L"KVZ_SETUP_ARGS_LOG");
        if (!argsLog.empty() && !AppendLine(argsLog, GetCommandLineW()))
            return 96;
        const std::wstring tempLog = SetupSetting(L"KVZ_SETUP_TEMP_LOG");
        if (!tempLog.empty() &&
            !AppendLine(tempLog, Environment(L"TEMP") + L"|" + Environment(L"TMP")))
            return 97;
        const std::wstring environmentLog = SetupSetting(L"KVZ_SETUP_ENV_LOG");
        if (!environmentLog.empty() && !AppendLine(environmentLog, WholeEnvironment()))
            return 95;
        Sleep(static_cast<DWORD>(_wtoi(SetupSetting(L"KVZ_SETUP_SLEEP_MS").c_str())));
        const std::wstring code = SetupSetting(L"KVZ_SETUP_EXIT");
        return code.empty() ? 0 : _wtoi(code.c_str());
    }

    const std::wstring name = self.substr(self.find_last_of(L'\\') + 1);
    if (CompareStringOrdinal(name.c_str(), -1, L"WifiAutoInstallSetup.exe", -1, TRUE) == CSTR_EQUAL)
    {
        const int answer =
            MessageBoxW(nullptr, L"Demo Wi-Fi driver setup.\n\nReport the driver as installed?",
                        L"KVZ-7300 Wi-Fi driver (demo)", MB_YESNO | MB_ICONQUESTION);
        return answer == IDYES ? 0 : 1;
    }
    const std::wstring text = L"Demo package started with administrator rights:\n\n" + self;
    MessageBoxW(nullptr, text.c_str(), L"KVZ-7300 driver installed (demo)",
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
