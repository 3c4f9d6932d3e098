// The installer's main window: the blue background with the banner, a column of skinned
// install buttons, a progress bar under each download command and the status line. Each click
// starts its workflow on a detached worker thread. Everything that reaches the window from
// another thread (the workflows' requests, the Windows family, the banner, a passive run's end)
// comes through its mailbox under one posted message: no other thread waits for the window's,
// nor the window's thread for any other.
//
// Lifetime: the application ends the process as soon as the modal loop returns, so the window
// object is never destroyed while a worker may still hold a pointer to it.
#pragma once

#include "app/Banner.h"
#include "app/Layout.h"
#include "app/WindowHost.h"
#include "app/WindowStyle.h"
#include "controls/SkinButton.h"
#include "framework/IconHandle.h"
#include "probe/FamilyProbe.h"
#include "unattended/RunOptions.h"
#include "workflows/InstallerParts.h"

#include <array>
#include <optional>
#include <string>

class CInstallerDlg : public CBlueDialog
{
public:
    // The probe and the banner were started before the window. With `passive`, the window runs
    // those commands by itself once the Windows family is known and closes 2 s after the last
    // one (/passive).
    CInstallerDlg(const CInstallerParts& parts, const CFamilyProbe& familyProbe,
                  const CBannerTile& banner, const RunOptions* passive = nullptr) noexcept;
    // The process's exit code: 0 for a window a person used; a passive run's outcome, or
    // 1602 when it was closed before the run ended.
    int ExitCode() const noexcept;

protected:
    void DoDataExchange() noexcept override;
    BOOL OnInitDialog() noexcept override;
    bool OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept override;
    void PaintBackground(HDC hDC, const RECT& rc) noexcept override;
    void OnLookChanged() noexcept override;

private:
    bool OnPaint() noexcept;
    bool OnCommand(WORD nId, WORD nCode) noexcept;
    void OnTimer(UINT_PTR nId) noexcept;
    void ApplyMailbox() noexcept;
    void OnClickedOk() noexcept {}
    void OnClickedCancel() noexcept;
    void StartWorkflow(Command command) noexcept;

    void PrepareLayout(SIZE extent) noexcept;
    void SettleFamily(std::optional<int> family) noexcept;
    void StartPassiveRunOnce(int family) noexcept;
    // The controls of a command's row; a bar only where it downloads.
    CSkinButton& Button(Command command) noexcept;
    CProgressCtrl* Bar(Command command) noexcept;
    void ShowButton(Command command) noexcept;
    void ShowStatusText(const std::wstring& text) noexcept;

    const CInstallerParts m_parts;
    const CFamilyProbe& m_familyProbe;
    const CBannerTile& m_banner;
    CBannerBackground m_background;
    bool m_bFamilySettled = false;
    const RunOptions* m_pPassive;
    bool m_bPassiveStarted = false;
    std::optional<int> m_passiveResult;
    CWindowMailbox m_mailbox;
    UniqueIcon m_hIcon;
    std::wstring m_version; // of this program, as the caption shows it

    // Indexed by Command; a bar is bound only where the row downloads.
    std::array<CSkinButton, kCommandCount> m_buttons;
    std::array<CProgressCtrl, kCommandCount> m_bars;
    RECT m_rcStatus{};
    int m_nTextHeight = 0;
    MainLayoutPlan m_plan;
};
