#include "workflows/Commands.h"

#include "BuildConfig.h"

std::atomic<bool> g_bWifiBusy{false};
std::atomic<bool> g_bBluetoothBusy{false};
std::atomic<bool> g_bRxAppBusy{false};
std::atomic<bool> g_bHotspotBusy{false};

const std::array<CommandRow, kCommandCount> g_commandTable = {{
    {Command::Wifi, IDC_INSTALL_WIFI, 0, INSTALL_WIFI, nullptr, nullptr, PackageStart::None, false,
     L"Wi-Fi driver", WIFI_INSTALLED, &g_bWifiBusy, KVZ_QUIET_ARGS_WIFI},
    {Command::Bluetooth, IDC_INSTALL_BLUETOOTH, IDC_PROGRESS_BLUETOOTH, INSTALL_BT,
     "/api/rx/RealtekDrivers", "&wirelessType=bluetooth&wirelessProduct=8821CU",
     PackageStart::Unpack, true, L"Bluetooth driver", BT_INSTALLER_MISS, &g_bBluetoothBusy,
     KVZ_QUIET_ARGS_BLUETOOTH},
    {Command::Hotspot, IDC_INSTALL_HOTSPOT, IDC_PROGRESS_HOTSPOT, INSTALL_HOTSPOT,
     "/api/rx/QuillHotspot", nullptr, PackageStart::Itself, false, L"hotspot driver",
     RX_INSTALLER_MISS, &g_bHotspotBusy, KVZ_QUIET_ARGS_HOTSPOT},
    {Command::Receiver, IDC_INSTALL_RECEIVER, IDC_PROGRESS_RECEIVER, INSTALL_RX,
     "/api/rx/VelmoraRXApp", nullptr, PackageStart::Itself, true, L"receiver app",
     RX_INSTALLER_MISS, &g_bRxAppBusy, KVZ_QUIET_ARGS_RECEIVER},
}};

const CommandRow& RowOf(Command command)
{
    return g_commandTable[static_cast<int>(command)];
}

const CommandRow* RowOfButton(int nButtonId)
{
    for (const CommandRow& row : g_commandTable)
        if (row.nButtonId == nButtonId)
            return &row;
    return nullptr;
}

bool OfferedOnFamily(const CommandRow& row, int familyCode)
{
    return !row.bNeedsWindows7 || familyCode >= 6;
}
