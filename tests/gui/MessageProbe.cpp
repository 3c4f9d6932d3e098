// Shows the no-internet message the way the window shows it for a workflow: modally on a
// worker thread, without the main window. Exits 0 once the message is closed.
#include "app/ExtraMsg.h"
#include "HighContrastSeam.h"

#include <thread>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    UseTestHighContrast();
    std::thread worker([] {
        CExtraMsg message;
        message.DoModal();
    });
    worker.join();
    return 0;
}
