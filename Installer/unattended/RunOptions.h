#pragma once
// The installer's command line for software-distribution tools, and the exit code of an
// unattended run. No windows.h here: the rules are checked natively.

#include "workflows/Commands.h"

#include <array>
#include <string>
#include <vector>

// MSI's codes, which distribution tools and package managers read.
constexpr int kExitSuccess = 0;
constexpr int kExitBadCommandLine = 87;  // ERROR_INVALID_PARAMETER
constexpr int kExitUserCancelled = 1602; // the window was closed before the run ended
constexpr int kExitFailed = 1603;        // the installer itself could not do the command
constexpr int kExitSourceMissing = 1612; // /offline, and the layout lacks the package
constexpr int kExitAnotherRun = 1618;    // another unattended run is active
constexpr int kExitNotApplicable = 1633; // the command does not apply to this Windows
constexpr int kExitRestartStarted = 1641;
constexpr int kExitRestartRequired = 3010;

enum class RunMode
{
    Interactive, // no arguments: the window as always
    Quiet,       // no window and no dialog at all
    Passive,     // the window shows progress; nothing waits for anyone
    Help,        // the switches and exit codes in a message box
    Layout,      // no window: every package into a folder, for installs without the service
};

struct RunOptions
{
    RunMode mode = RunMode::Interactive;
    std::vector<Command> commands; // in the window's order: the named ones, else every offered one
    bool bNamed = false;           // commands were named: each runs, or ends 1633, on any Windows
    std::wstring logFile;          // empty: no second log
    bool bNoRestart = false;
    std::wstring layoutFolder; // /layout: where the layout is made
    std::wstring sourceFolder; // /source: a layout to install from; empty: beside the program
    bool bOffline = false;     // never ask the driver service
    std::wstring proxy;        // /proxy, as "host:port"; empty: the machine's and account's own
};

// Reads the arguments (without the program name). Switches start with "/" or "-", case does
// not matter; selectors and /log take effect only with /quiet or /passive. False, with `wrong`
// naming the offending argument, for an unknown switch, a command this build does not offer,
// "/log" without a file or with a share, device or "\\?\" path, or both /quiet and /passive;
// "/layout" or "/source" without a folder or with a device or "\\?\" path, /layout beside
// /passive, /source or /offline; "/proxy" without a proxy ParseProxyValue takes.
bool ParseRunOptions(const std::vector<std::wstring>& args, const OfferSet& offered,
                     RunOptions& options, std::wstring& wrong);

// The switches and exit codes, as /? shows them; the commands' switches from the table.
std::wstring HelpText();

// Whether `command` of the run's list takes part on a Windows of `family` (0: unknown): a named
// one always does (and ends 1633 where it does not apply); of an unnamed run, only those this
// Windows supports.
bool TakesPart(const RunOptions& options, Command command, int family);

// The run's code from each command's, in the window's order: the first failure, else 1641
// when a setup started a restart, else 3010 when one asked for it, else 0.
int CombineExitCodes(const std::vector<int>& codes);
