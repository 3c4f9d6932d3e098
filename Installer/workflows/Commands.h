#pragma once
// The installer's commands, one row each with everything that differs between them: the
// window's controls and caption, the driver-service endpoint, how the package starts, the
// busy flag, the Windows 7 rule, the log's name and the missing-setup text. No windows.h here.

#include "localisation/WordTable.h"
#include "res/resource.h"

#include <array>
#include <atomic>

// In the window's top-to-bottom order.
enum class Command : int
{
    Wifi,
    Bluetooth,
    Hotspot,
    Receiver
};
constexpr int kCommandCount = 4;

enum class PackageStart
{
    None,   // downloads nothing: runs the Wi-Fi setup shipped in data
    Unpack, // an archive whose Setup.exe starts
    Itself, // the package is its own setup program
};

struct CommandRow
{
    Command command;
    int nButtonId;
    int nBarId; // 0: the command downloads nothing
    WordId captionWord;
    const char* endpointPath;  // on the driver service; null for the Wi-Fi command
    const char* endpointQuery; // after "?os=<token>" when the package follows the family
    PackageStart start;
    bool bNeedsWindows7; // offered only with a Windows family code of 6 or more
    const wchar_t* logName;
    WordId missingSetupWord;
    std::atomic<bool>* busy;  // one run at a time: set in one atomic exchange
    const wchar_t* quietArgs; // the setup program's silent switches (build setting)
};
extern const std::array<CommandRow, kCommandCount> g_commandTable;

const CommandRow& RowOf(Command command);
// The row whose button has this control id; null for other ids.
const CommandRow* RowOfButton(int nButtonId);
// Whether the command is offered on a Windows of this family code (0: unknown).
bool OfferedOnFamily(const CommandRow& row, int familyCode);

extern std::atomic<bool> g_bWifiBusy;
extern std::atomic<bool> g_bBluetoothBusy;
extern std::atomic<bool> g_bRxAppBusy;
extern std::atomic<bool> g_bHotspotBusy;
