// The workflow bodies of the main window: each runs on its own worker thread and sees the
// window only as the workflows' host.
#include "app/InstallerDlg.h"

#include "workflows/Workflows.h"

namespace {

class CWindowHost final : public CWorkflowHost
{
public:
    explicit CWindowHost(CInstallerDlg& window) noexcept : m_window(window) {}

    void ShowStatusText(std::wstring text) override { m_window.ShowStatusText(std::move(text)); }
    void ShowNoInternetMessage() override { m_window.ShowNoInternetMessage(); }
    HWND GetProgressBar(PackageKind kind) override
    {
        switch (kind) {
        case PackageKind::BluetoothDriver: return m_window.m_progBluetooth.GetSafeHwnd();
        case PackageKind::ReceiverApp: return m_window.m_progReceiver.GetSafeHwnd();
        case PackageKind::HotspotDriver: return m_window.m_progHotspot.GetSafeHwnd();
        }
        return nullptr;
    }
    bool IsBluetoothShown() override { return m_window.m_bBluetoothShown; }
    std::wstring GetWord(std::wstring key) override { return m_window.m_translation.GetWord(std::move(key)); }

private:
    CInstallerDlg& m_window;
};

} // namespace

void CInstallerDlg::InstallWifiDriver()
{
    CWindowHost host(*this);
    RunWifiWorkflow(host);
}

void CInstallerDlg::InstallBluetoothDriver()
{
    CWindowHost host(*this);
    RunPackageWorkflow(host, PackageKind::BluetoothDriver);
}

void CInstallerDlg::InstallReceiverApp()
{
    CWindowHost host(*this);
    RunPackageWorkflow(host, PackageKind::ReceiverApp);
}

void CInstallerDlg::InstallHotspotDriver()
{
    CWindowHost host(*this);
    RunPackageWorkflow(host, PackageKind::HotspotDriver);
}
