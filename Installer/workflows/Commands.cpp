#include "workflows/Commands.h"

#include "BuildConfig.h"

namespace {

constexpr std::array<CommandRow, kCommandCount> MakeCommandTable()
{
    std::array<CommandRow, kCommandCount> table{};

    CommandRow& wifi = table[IndexOf(Command::Wifi)];
    wifi.command = Command::Wifi;
    wifi.bOffered = KVZ_OFFER_WIFI != 0;
    wifi.selector = L"wifi";
    wifi.nButtonId = IDC_INSTALL_WIFI;
    wifi.captionWord = INSTALL_WIFI;
    wifi.start = PackageStart::None;
    wifi.logName = L"Wi-Fi driver";
    wifi.successWord = WIFI_INSTALLED;
    wifi.hintWord = HINT_DL_BT;
    wifi.hintCommand = Command::Bluetooth;
    wifi.quietArgs = KVZ_QUIET_ARGS_WIFI;

    CommandRow& bluetooth = table[IndexOf(Command::Bluetooth)];
    bluetooth.command = Command::Bluetooth;
    bluetooth.bOffered = KVZ_OFFER_BLUETOOTH != 0;
    bluetooth.selector = L"bluetooth";
    bluetooth.nButtonId = IDC_INSTALL_BLUETOOTH;
    bluetooth.nBarId = IDC_PROGRESS_BLUETOOTH;
    bluetooth.captionWord = INSTALL_BT;
    bluetooth.endpointPath = "/api/rx/RealtekDrivers";
    bluetooth.endpointQuery = "&wirelessType=bluetooth&wirelessProduct=8821CU";
    bluetooth.start = PackageStart::Unpack;
    bluetooth.bNeedsWindows7 = true;
    bluetooth.logName = L"Bluetooth driver";
    bluetooth.missingSetupWord = BT_INSTALLER_MISS;
    bluetooth.quietArgs = KVZ_QUIET_ARGS_BLUETOOTH;

    CommandRow& hotspot = table[IndexOf(Command::Hotspot)];
    hotspot.command = Command::Hotspot;
    hotspot.bOffered = KVZ_OFFER_HOTSPOT != 0;
    hotspot.selector = L"hotspot";
    hotspot.nButtonId = IDC_INSTALL_HOTSPOT;
    hotspot.nBarId = IDC_PROGRESS_HOTSPOT;
    hotspot.captionWord = INSTALL_HOTSPOT;
    hotspot.endpointPath = "/api/rx/QuillHotspot";
    hotspot.start = PackageStart::Itself;
    hotspot.logName = L"hotspot driver";
    hotspot.missingSetupWord = RX_INSTALLER_MISS;
    hotspot.quietArgs = KVZ_QUIET_ARGS_HOTSPOT;

    CommandRow& receiver = table[IndexOf(Command::Receiver)];
    receiver.command = Command::Receiver;
    receiver.bOffered = KVZ_OFFER_RECEIVER != 0;
    receiver.selector = L"receiver";
    receiver.nButtonId = IDC_INSTALL_RECEIVER;
    receiver.nBarId = IDC_PROGRESS_RECEIVER;
    receiver.captionWord = INSTALL_RX;
    receiver.endpointPath = "/api/rx/VelmoraRXApp";
    receiver.start = PackageStart::Itself;
    receiver.bNeedsWindows7 = true;
    receiver.logName = L"receiver app";
    receiver.missingSetupWord = RX_INSTALLER_MISS;
    receiver.quietArgs = KVZ_QUIET_ARGS_RECEIVER;

    return table;
}

} // namespace

// Made at compile time: nothing runs before it is there.
const std::array<CommandRow, kCommandCount> g_commandTable = MakeCommandTable();

const CommandRow& RowOf(Command command)
{
    return g_commandTable[IndexOf(command)];
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

OfferSet OfferedByBuild()
{
    OfferSet offers{};
    for (const CommandRow& row : g_commandTable)
        offers[IndexOf(row.command)] = row.bOffered;
    return offers;
}
