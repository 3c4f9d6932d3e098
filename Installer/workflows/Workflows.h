#pragma once
// The installation workflows. Each runs on a worker thread of its own, reaches the window only
// through the host below and returns its outcome; the main window is the host in the program,
// the quiet run's log without a window, a test double in the tests.

#include "net/Sha256Digest.h"
#include "trust/TrustedStart.h"
#include "workflows/Commands.h"

#include <windows.h>

#include <atomic>
#include <string>

class CWorkflowHost
{
public:
    // The only way from a worker to the window. All are callable from any thread; the window
    // applies what they ask later on its own thread, so none waits for it (except the message
    // dialog, which runs its own modal loop on the worker).
    virtual void ShowStatusText(std::wstring text) = 0;
    virtual void ShowNoInternetMessage() = 0;
    // The command's progress bar: shown at 0, moved to `percent` (0..100), hidden.
    virtual void ShowProgressBar(Command command) = 0;
    virtual void SetProgressBar(Command command, int percent) = 0;
    virtual void HideProgressBar(Command command) = 0;
    // Whether the window shows the command's button (for a hint that points to it).
    virtual bool IsShown(Command command) = 0;
    virtual std::wstring GetWord(std::wstring key) = 0;
    // A proxy on the way to `url` asks for credentials: Windows' own prompt where a person
    // waits for the window; true when they were given. Unattended, nobody is asked.
    virtual bool AskForProxyCredentials(const std::wstring& url)
    {
        (void)url;
        return false;
    }

protected:
    ~CWorkflowHost() = default;
};

enum class RunStyle
{
    Interactive, // a click: a downloaded setup starts and is left to the user
    Unattended,  // /quiet, /passive: setups get the build's silent switches and are waited for
};

// What the installer returns when it could not do the command itself (a second run of a
// command while it runs, too).
constexpr DWORD kInstallerFailed = ERROR_INSTALL_FAILURE; // 1603
// /offline, and the layout cannot give the package.
constexpr DWORD kSourceMissing = ERROR_INSTALL_SOURCE_ABSENT; // 1612

// What a command did. An unattended run that started a setup also says which file it came from,
// for the detection record; a bare exit code (kInstallerFailed, say) names none.
struct CommandOutcome
{
    CommandOutcome(DWORD code = kInstallerFailed) noexcept : exitCode(code) {}

    DWORD exitCode;
    // The package's file name as checked (for the Wi-Fi command its shipped setup's); empty when
    // no setup ran unattended, or its digest is unknown.
    std::wstring package;
    net::Sha256Digest sha256{}; // of that file, as downloaded, taken from a layout or shipped
};

// Runs the command: the Wi-Fi command runs data\WifiAutoInstallSetup.exe and reports its
// success on the status line; the others ask the driver service for the package, download it
// and start its setup program as `policy` allows (the Bluetooth driver is unpacked first and its
// Setup.exe started); a layout in use (PackageLayout.h) gives the package instead of the
// service. The exit code: 0, the setup's own (0 for a setup not waited for), kSourceMissing, or
// kInstallerFailed.
CommandOutcome RunCommand(CWorkflowHost& host, Command command, RunStyle style,
                          const StartPolicy& policy) noexcept;
