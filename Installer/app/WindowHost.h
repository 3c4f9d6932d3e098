// What other threads share with the main window, and the workflows' host made of it: every
// request is queued for the window's thread, which one posted message wakes. No worker waits
// for the window's thread; a lost wake-up is caught up by the window's timer.
#pragma once

#include "app/WorkerRequests.h"
#include "localisation/Translation.h"
#include "unattended/UnattendedRun.h"

#include <windows.h>

#include <array>
#include <atomic>

struct CWindowMailbox
{
    static constexpr UINT kWakeMsg = WM_APP + 1;

    // Posts the wake-up when `bNeeded` (what CWorkerRequests answers).
    void Wake(bool bNeeded) noexcept;

    CWorkerRequests requests; // closed at WM_NCDESTROY
    // Which buttons show: set as each is shown, read by workers for a hint that points to one.
    std::array<std::atomic<bool>, kCommandCount> shown{};
    // Loaded while the window initialises, before any other thread reads it.
    CTranslation translation;
    // Set once while the window initialises, before any other thread is given the mailbox.
    HWND hWnd = nullptr;
};

class CWindowHost final : public CPassiveHost
{
public:
    // `bPassive`: the host of a passive run, where no dialog waits for anyone.
    CWindowHost(CWindowMailbox& mailbox, bool bPassive) noexcept
        : m_mailbox(mailbox), m_bPassive(bPassive)
    {
    }

    void ShowStatusText(std::wstring text) override;
    void ShowNoInternetMessage() override;
    void ShowProgressBar(Command command) override;
    void SetProgressBar(Command command, int percent) override;
    void HideProgressBar(Command command) override;
    bool IsShown(Command command) override;
    std::wstring GetWord(std::wstring key) override;
    bool AskForProxyCredentials(const std::wstring& url) override;
    void RunEnded(int exitCode) noexcept override;

private:
    CWindowMailbox& m_mailbox;
    const bool m_bPassive;
};
