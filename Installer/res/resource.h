// Resource and control ids of the installer, shared by the resource script and the code.
#pragma once

#define IDD_INSTALLER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDB_BUTTON_FACE 130
#define IDB_BANNER 131
#define IDD_EXTRA_MSG 132
#define IDB_OK_FACE 142

#define IDC_INSTALL_WIFI 1000
#define IDC_INSTALL_BLUETOOTH 1001
#define IDC_INSTALL_RECEIVER 1002
#define IDC_PROGRESS_BLUETOOTH 1003
#define IDC_STATUS 1004
#define IDC_PROGRESS_HOTSPOT 1005
#define IDC_PROGRESS_RECEIVER 1006
#define IDC_INSTALL_HOTSPOT 1009
#define IDC_MESSAGE_TEXT 1010
