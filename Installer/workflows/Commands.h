#pragma once
// The installer's commands, one row each with everything that differs between them: whether
// the build offers it, its switch in unattended runs, the window's controls and caption, the
// driver-service endpoint, how the package starts, the Windows 7 rule, the log's name, the
// status texts and the setup's silent switches. No windows.h here.

#include "localisation/WordTable.h"
#include "res/resource.h"

#include <array>

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

// A text column the row leaves empty.
constexpr WordId kNoWord = WORD_ID_COUNT;

struct CommandRow
{
    Command command = Command::Wifi;
    bool bOffered = false;         // by the build (KVZ_OFFER_...)
    const wchar_t* selector = L""; // names it in an unattended run: /<selector>
    int nButtonId = 0;
    int nBarId = 0; // 0: the command downloads nothing
    WordId captionWord = kNoWord;
    const char* endpointPath = nullptr;  // on the driver service; null: downloads nothing
    const char* endpointQuery = nullptr; // after "?os=<token>" when the package follows the family
    PackageStart start = PackageStart::None;
    bool bNeedsWindows7 = false; // offered only with a Windows family code of 6 or more
    const wchar_t* logName = L"";
    WordId successWord = kNoWord; // the status line when its setup ended with 0
    WordId hintWord = kNoWord;    // after the success word, while the hint's command shows
    Command hintCommand = Command::Wifi;
    WordId missingSetupWord = kNoWord; // the status line when the package holds no setup
    const wchar_t* quietArgs = L"";    // the setup program's silent switches (build setting)
};
extern const std::array<CommandRow, kCommandCount> g_commandTable;

// Something per command, indexed by Command.
using OfferSet = std::array<bool, kCommandCount>;

constexpr int IndexOf(Command command)
{
    return static_cast<int>(command);
}
const CommandRow& RowOf(Command command);
// The row whose button has this control id; null for other ids.
const CommandRow* RowOfButton(int nButtonId);
// Whether the command is offered on a Windows of this family code (0: unknown).
bool OfferedOnFamily(const CommandRow& row, int familyCode);
// The commands the build offers, from the rows.
OfferSet OfferedByBuild();
