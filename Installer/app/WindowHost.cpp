#include "app/WindowHost.h"

#include "app/ExtraMsg.h"
#include "log/SupportLog.h"
#include "net/InternetRequest.h"

#include <utility>

void CWindowMailbox::Wake(bool bNeeded) noexcept
{
    if (bNeeded && !::PostMessageW(hWnd, kWakeMsg, 0, 0))
        requests.WakeFailed();
}

void CWindowHost::ShowStatusText(std::wstring text)
{
    m_mailbox.Wake(m_mailbox.requests.SetStatus(std::move(text)));
}

// The message dialog runs its own modal loop on this worker, without an owner; in a passive run
// nobody waits for it: its text goes to the status line and the log.
void CWindowHost::ShowNoInternetMessage()
{
    if (m_bPassive)
    {
        const std::wstring text = GetWord(WordKeys[HINT_NO_INTERNET]);
        LogEvent(L"Message (to the status line): " + text);
        ShowStatusText(text);
        return;
    }
    CExtraMsg message;
    message.DoModal();
}

void CWindowHost::ShowProgressBar(Command command)
{
    m_mailbox.Wake(m_mailbox.requests.ShowBar(static_cast<int>(command)));
}

void CWindowHost::SetProgressBar(Command command, int percent)
{
    m_mailbox.Wake(m_mailbox.requests.MoveBar(static_cast<int>(command), percent));
}

void CWindowHost::HideProgressBar(Command command)
{
    m_mailbox.Wake(m_mailbox.requests.HideBar(static_cast<int>(command)));
}

bool CWindowHost::IsShown(Command command)
{
    return m_mailbox.shown[static_cast<size_t>(IndexOf(command))].load();
}

std::wstring CWindowHost::GetWord(std::wstring key)
{
    return m_mailbox.translation.GetWord(std::move(key));
}

bool CWindowHost::AskForProxyCredentials(const std::wstring& url)
{
    return !m_bPassive && net::PromptForProxyCredentials(url);
}

void CWindowHost::RunEnded(int exitCode) noexcept
{
    m_mailbox.Wake(m_mailbox.requests.RunEnded(exitCode));
}
