#include "unattended/DetectionRecord.h"

#include "framework/RegistryKey.h"
#include "log/SupportLog.h"
#include "probe/ProgramVersion.h"
#include "unattended/DetectionValues.h"

#include <windows.h>

#include <string>

namespace {

// Deployment tools read the 64-bit view; a 32-bit program writes there only when it asks. On
// 32-bit Windows, the only view, the flag is ignored.
constexpr REGSAM kView = KEY_WOW64_64KEY;
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE | DELETE | kView;
// HKLM\SOFTWARE\KVZ7300\Installed\<selector>
constexpr const wchar_t* kVendorKey = L"KVZ7300";
constexpr const wchar_t* kInstalledKey = L"Installed";

// A failed step: the status, with the log line saying which.
LSTATUS Failed(const std::wstring& what, LSTATUS status)
{
    LogFailure(L"Detection record not written: " + what, static_cast<unsigned long>(status));
    return status;
}

bool IsRegistryLink(HKEY key)
{
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_LINK;
}

// `name` below `parent`, made when missing; a registry link there is opened as itself and
// refused, never followed.
LSTATUS OpenOrCreate(HKEY parent, const std::wstring& name, RegistryKey& key)
{
    LSTATUS status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, kAccess, key.put());
    if (status == ERROR_FILE_NOT_FOUND)
    {
        DWORD disposition = 0;
        status = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess,
                                 nullptr, key.put(), &disposition);
        // Made by someone else meanwhile: opened through whatever it is, so look again.
        if (status == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY)
            status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, kAccess, key.put());
    }
    if (status != ERROR_SUCCESS)
        return Failed(name + L" could not be opened", status);
    if (IsRegistryLink(key.get()))
    {
        key.reset();
        return Failed(name + L" is a registry link", ERROR_ACCESS_DENIED);
    }
    return ERROR_SUCCESS;
}

// Removes `name` below `parent` with its values and whatever lies below it; gone already is
// fine.
LSTATUS DeleteKey(HKEY parent, const std::wstring& name)
{
    RegistryKey key;
    LSTATUS status = RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, kAccess, key.put());
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status == ERROR_SUCCESS)
        status = RegDeleteTreeW(key.get(), nullptr);
    key.reset();
    if (status == ERROR_SUCCESS)
        status = RegDeleteKeyExW(parent, name.c_str(), kView, 0);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        return Failed(name + L" could not be removed", status);
    return ERROR_SUCCESS;
}

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LSTATUS SetValues(HKEY key, const DetectionValues& values)
{
    const DWORD exitCode = values.exitCode;
    LSTATUS status = SetText(key, L"Package", values.package);
    if (status == ERROR_SUCCESS)
        status = SetText(key, L"Sha256", values.sha256);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key, L"ExitCode", 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&exitCode), sizeof(exitCode));
    if (status == ERROR_SUCCESS)
        status = SetText(key, L"InstallerVersion", values.installerVersion);
    if (status == ERROR_SUCCESS)
        status = SetText(key, L"InstalledAt", values.installedAt);
    return status;
}

// The record is written whole into a fresh key, which then takes the place of the earlier one:
// a failure before that leaves the earlier record as it was, and one after it (between the
// removal and the rename) leaves no record rather than a mix; the next install cleans up.
LSTATUS WriteRecord(const std::wstring& selector, const DetectionValues& values)
{
    RegistryKey software;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_CREATE_SUB_KEY | kView,
                                   software.put());
    if (status != ERROR_SUCCESS)
        return Failed(L"HKLM\\SOFTWARE could not be opened", status);
    RegistryKey vendor;
    RegistryKey installed;
    if ((status = OpenOrCreate(software.get(), kVendorKey, vendor)) != ERROR_SUCCESS ||
        (status = OpenOrCreate(vendor.get(), kInstalledKey, installed)) != ERROR_SUCCESS)
        return status;

    const std::wstring fresh = selector + L".pending";
    if ((status = DeleteKey(installed.get(), fresh)) != ERROR_SUCCESS)
        return status;
    RegistryKey record;
    DWORD disposition = 0;
    status = RegCreateKeyExW(installed.get(), fresh.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             kAccess, nullptr, record.put(), &disposition);
    if (status == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY)
        status = ERROR_ALREADY_EXISTS;
    if (status != ERROR_SUCCESS)
        return Failed(fresh + L" could not be made afresh", status);
    status = SetValues(record.get(), values);
    if (status == ERROR_SUCCESS && (status = DeleteKey(installed.get(), selector)) == ERROR_SUCCESS)
    {
        status = RegRenameKey(record.get(), nullptr, selector.c_str());
        if (status == ERROR_SUCCESS)
            return status;
    }
    record.reset();
    DeleteKey(installed.get(), fresh);
    return Failed(L"its values could not be put in place under " + selector, status);
}

UtcTime UtcNow()
{
    SYSTEMTIME now{};
    GetSystemTime(&now);
    UtcTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    return time;
}

} // namespace

bool RecordInstall(const CommandRow& row, const CommandOutcome& outcome) noexcept
{
    try
    {
        if (!IsInstalledExitCode(outcome.exitCode))
            return true;
        if (outcome.package.empty())
        {
            LogEvent(L"Detection record not written: the outcome names no package");
            return false;
        }
        const DetectionValues values = MakeDetectionValues(
            outcome.package, outcome.sha256, outcome.exitCode, GetProgramVersion(), UtcNow());
        if (WriteRecord(row.selector, values) != ERROR_SUCCESS)
            return false;
        LogEvent(std::wstring(L"Detection record written: HKLM\\SOFTWARE\\") + kVendorKey + L"\\" +
                 kInstalledKey + L"\\" + row.selector + L" (" + values.package + L", exit code " +
                 std::to_wstring(values.exitCode) + L")");
        return true;
    }
    catch (...)
    {
        // Out of memory: no record, and the earlier one as it was or gone, never a mix.
        return false;
    }
}
