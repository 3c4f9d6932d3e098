// The installer's main window: the blue background with the banner, a column of skinned
// install buttons, a progress bar under each download command and the status line. Each click
// starts its workflow on a detached worker thread; the workers reach the window only through
// the workflow host it gives them, which queues their requests and wakes the window with one
// posted message: no worker waits for the window's thread, nor that thread for a worker.
//
// Lifetime: the application ends the process as soon as the modal loop returns, so the window
// object is never destroyed while a worker may still hold a pointer to it.
#pragma once

#include "app/InstallerParts.h"
#include "app/Layout.h"
#include "app/PngResource.h"
#include "app/WorkerRequests.h"
#include "controls/SkinButton.h"
#include "framework/Dialog.h"
#include "framework/GdiObject.h"
#include "framework/IconHandle.h"
#include "localisation/Translation.h"
#include "probe/FamilyProbe.h"
#include "unattended/RunOptions.h"

#include <array>
#include <atomic>
#include <string>

class CInstallerDlg : public CDialog
{
public:
    // The probe and the banner were started before the window. With `passive`, the window runs
    // those commands by itself once it is initialised and closes 2 s after the last one
    // (/passive).
    CInstallerDlg(const CInstallerParts& parts, const CFamilyProbe& familyProbe,
                  const CBannerTile& banner, const RunOptions* passive = nullptr) noexcept;
    // The process's exit code: 0 for a window a person used; a passive run's outcome, or
    // 1602 when it was closed before the run ended.
    int ExitCode() const noexcept;

protected:
    void DoDataExchange() noexcept override;
    BOOL OnInitDialog() noexcept override;
    bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;

private:
    class CHost;

    bool OnPaint() noexcept;
    BOOL OnEraseBkgnd(HDC hDC) noexcept;
    bool OnCommand(WORD nId, WORD nCode) noexcept;
    void OnTimer(UINT_PTR nId) noexcept;
    void ApplyWorkerRequests() noexcept;
    void StartPassiveRun() noexcept;
    void OnClickedOk() noexcept {}
    void OnClickedCancel() noexcept;
    void StartWorkflow(Command command) noexcept;

    void PrepareLayout(SIZE extent) noexcept;
    void FinishWhenFamilyKnown(bool bGiveUp) noexcept;
    bool DrawBackground(HDC hDC, int cx, int cy) noexcept;
    // The controls of a command's row; a bar only where it downloads.
    CSkinButton& Button(Command command) noexcept;
    CProgressCtrl* Bar(Command command) noexcept;
    void ShowButton(Command command) noexcept;
    void ShowStatusText(const std::wstring& text) noexcept;

    const CInstallerParts m_parts;
    const CFamilyProbe& m_familyProbe;
    const CBannerTile& m_banner;
    bool m_bFamilySettled = false;
    const RunOptions* m_pPassive;
    std::atomic<int> m_nPassiveResult{-1}; // set by the passive run's worker when it ends
    // Filled by workers, applied on the window's thread; closed at WM_NCDESTROY.
    CWorkerRequests m_requests;
    UniqueIcon m_hIcon;
    std::wstring m_version; // of this program, as the caption shows it
    UniqueFont m_font;
    float m_fScale = 1.0f;
    // The background (colour and banner) as drawn for the client size it was drawn for.
    UniqueBitmap m_background;
    SIZE m_backgroundSize{};

    // Which buttons show: read by workers, set as each is shown.
    std::array<std::atomic<bool>, kCommandCount> m_shown{};
    CTranslation m_translation;

    // Indexed by Command; a bar is bound only where the row downloads.
    std::array<CSkinButton, kCommandCount> m_buttons;
    std::array<CProgressCtrl, kCommandCount> m_bars;
    CStatic m_stcStatus;
    RECT m_rcStatus{};
    int m_nTextHeight = 0;
    MainLayoutPlan m_plan;
};
