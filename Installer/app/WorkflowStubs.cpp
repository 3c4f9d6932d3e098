// The workflow bodies. Each runs on a worker thread of its own and reaches the window only
// through ShowStatusText, ShowNoInternetMessage, the progress bars and m_translation.
#include "app/InstallerDlg.h"

void CInstallerDlg::InstallWifiDriver() {}

void CInstallerDlg::InstallBluetoothDriver() {}

void CInstallerDlg::InstallReceiverApp() {}

void CInstallerDlg::InstallHotspotDriver() {}
