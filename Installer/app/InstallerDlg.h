// The installer's main window: the blue background with the banner, a column of skinned
// install buttons, a progress bar under each download command and the status line. Each click
// starts its workflow on a detached worker thread; the workers use the operations below.
//
// Lifetime: the application ends the process as soon as the modal loop returns, so the window
// object is never destroyed while a worker may still hold a pointer to it.
#pragma once

#include "app/Layout.h"
#include "controls/SkinButton.h"
#include "framework/Dialog.h"
#include "framework/GdiObject.h"
#include "framework/IconHandle.h"
#include "localisation/Translation.h"

#include <string>

class CInstallerDlg : public CDialog
{
public:
    CInstallerDlg() noexcept;
    ~CInstallerDlg() override;

    // For workers, callable from any thread. Both send to the window and so need the UI
    // thread to serve them, which it does: it never waits for a worker.
    void ShowStatusText(std::wstring text) noexcept;
    // Runs the no-internet message modally on the calling thread; returns when it is closed.
    void ShowNoInternetMessage() noexcept;

    // The workflows, each run on a worker thread of its own.
    void InstallWifiDriver();
    void InstallBluetoothDriver();
    void InstallReceiverApp();
    void InstallHotspotDriver();

protected:
    void DoDataExchange() noexcept override;
    BOOL OnInitDialog() noexcept override;
    bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;

private:
    bool OnPaint() noexcept;
    BOOL OnEraseBkgnd(HDC hDC) noexcept;
    HBRUSH OnCtlColor(UINT nMsg, WPARAM wParam, LPARAM lParam) noexcept;
    bool OnCommand(WORD nId, WORD nCode) noexcept;
    void OnClickedOk() noexcept {}
    void OnClickedCancel() noexcept;
    void StartWorkflow(void (CInstallerDlg::*workflow)()) noexcept;

    void PrepareLayout(SIZE extent) noexcept;
    void PaintBackground(HDC hDC, const RECT& rc) noexcept;
    CWindow& Control(int nId) noexcept;

    ULONG_PTR m_gdiplusToken = 0;
    UniqueIcon m_hIcon;
    UniqueFont m_font;
    float m_fScale = 1.0f;

public:
    bool m_bBluetoothShown = false; // written once during initialisation, before any worker
    CTranslation m_translation;

private:
    CSkinButton m_btnWifi;
    CSkinButton m_btnBluetooth;
    CSkinButton m_btnReceiver;
    CSkinButton m_btnHotspot;

public:
    CProgressCtrl m_progBluetooth;
    CProgressCtrl m_progReceiver;
    CProgressCtrl m_progHotspot;

private:
    CStatic m_stcStatus;
    int m_nTextHeight = 0;
    MainLayoutPlan m_plan;
};
