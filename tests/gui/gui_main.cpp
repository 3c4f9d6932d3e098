// The window tests see device pixels, as the installer (which is DPI-aware) does.
#include "../../tools/testprogs/SetupSettings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    SetProcessDPIAware();
    // A key press may start a workflow; its setup programs then log quietly instead of
    // opening windows on the test display.
    wchar_t tmp[MAX_PATH] = {};
    ClearSetupSettings();
    if (GetEnvironmentVariableW(L"KVZ_TEST_TMP", tmp, MAX_PATH) > 0)
        SetSetupSetting(L"KVZ_SETUP_LOG", (std::wstring(tmp) + L"\\setup.log").c_str());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
