#pragma once
// The four installation workflows. Each runs on a worker thread of its own and reaches the
// window only through the host below; the main window is the host in the program, a test
// double in the tests.

#include <windows.h>

#include <atomic>
#include <string>

enum class PackageKind { BluetoothDriver, ReceiverApp, HotspotDriver };

class CWorkflowHost
{
public:
    // All callable from any thread.
    virtual void ShowStatusText(std::wstring text) = 0;
    virtual void ShowNoInternetMessage() = 0;
    virtual HWND GetProgressBar(PackageKind kind) = 0;
    virtual bool IsBluetoothShown() = 0;
    virtual std::wstring GetWord(std::wstring key) = 0;

protected:
    ~CWorkflowHost() = default;
};

// One run of a workflow at a time: a run sets its flag in one atomic exchange.
extern std::atomic<bool> g_bWifiBusy;
extern std::atomic<bool> g_bBluetoothBusy;
extern std::atomic<bool> g_bRxAppBusy;
extern std::atomic<bool> g_bHotspotBusy;

// Runs data\WifiAutoInstallSetup.exe and reports its success on the status line.
void RunWifiWorkflow(CWorkflowHost& host) noexcept;
// Asks the driver service for the package, downloads it, and starts its setup program;
// the Bluetooth driver is unpacked first and its Setup.exe started.
void RunPackageWorkflow(CWorkflowHost& host, PackageKind kind) noexcept;
