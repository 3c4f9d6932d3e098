// Shows the no-internet message the way a workflow does: on a worker thread, through the main
// window's operation, without the window itself. Exits 0 once the message is closed.
#include "app/InstallerDlg.h"

#include <thread>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    CInstallerDlg window;
    std::thread worker([&window] { window.ShowNoInternetMessage(); });
    worker.join();
    return 0;
}
