#include "unattended/UnattendedRun.h"

#include "localisation/Translation.h"
#include "log/SupportLog.h"
#include "unattended/DetectionRecord.h"
#include "unattended/ParentConsole.h"

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// What a workflow would have shown goes to the log; nothing waits for anyone.
class CQuietHost final : public CWorkflowHost
{
public:
    explicit CQuietHost(CTranslation& translation) noexcept : m_translation(translation) {}

    void ShowStatusText(std::wstring text) override { LogEvent(L"Status line: " + text); }
    void ShowNoInternetMessage() override
    {
        LogEvent(L"Message: " + m_translation.GetWord(WordKeys[HINT_NO_INTERNET]));
    }
    void ShowProgressBar(Command) override {}
    void SetProgressBar(Command, int) override {}
    void HideProgressBar(Command) override {}
    bool IsShown(Command) override { return false; }
    std::wstring GetWord(std::wstring key) override { return m_translation.GetWord(key); }

private:
    CTranslation& m_translation;
};

// Whether the run leaves `command` out (TakesPart), said in the log.
bool IsLeftOut(const RunOptions& options, Command command, int family)
{
    if (TakesPart(options, command, family))
        return false;
    LogEvent(std::wstring(L"Unattended: left out, not for this Windows: ") +
             RowOf(command).logName);
    return true;
}

// One command of the run: its exit code, or 1633 where this Windows family rules it out. An
// install is recorded for detection rules; the code stays the setup's even when the record
// cannot be written (the log says why).
int RunUnattendedCommand(const CInstallerParts& parts, Command command, int family,
                         CWorkflowHost& host)
{
    const CommandRow& row = RowOf(command);
    int code = kExitNotApplicable;
    if (OfferedOnFamily(row, family))
    {
        LogEvent(std::wstring(L"Unattended: ") + row.logName);
        const CommandOutcome outcome = parts.runCommand(host, command, RunStyle::Unattended);
        code = static_cast<int>(outcome.exitCode);
        RecordInstall(row, outcome);
    }
    LogEvent(std::wstring(L"Unattended outcome: ") + row.logName + L": exit code " +
             std::to_wstring(code) +
             (code == kExitNotApplicable ? L" (not for this Windows)" : L""));
    return code;
}

} // namespace

int RunQuietly(const CInstallerParts& parts, const RunOptions& options) noexcept
{
    try
    {
        const CParentConsole console;
        LogEvent(L"Unattended run (/quiet)");
        CTranslation translation;
        translation.Load();
        const int family = parts.probeFamily();
        std::vector<int> codes;
        for (const Command command : options.commands)
        {
            if (IsLeftOut(options, command, family))
                continue;
            CQuietHost host(translation);
            const int code = RunUnattendedCommand(parts, command, family, host);
            codes.push_back(code);
            console.Say(std::wstring(RowOf(command).logName) + L": exit code " +
                        std::to_wstring(code));
        }
        const int result = CombineExitCodes(codes);
        LogEvent(L"Unattended run ends with exit code " + std::to_wstring(result));
        console.Say(L"Exit code " + std::to_wstring(result));
        return result;
    }
    catch (...)
    {
        return kExitFailed;
    }
}

namespace {
int RunPassively(const CInstallerParts& parts, const RunOptions& options, int family,
                 CWorkflowHost& host) noexcept
{
    std::vector<int> codes;
    try
    {
        LogEvent(L"Unattended run (/passive)");
        for (const Command command : options.commands)
        {
            if (IsLeftOut(options, command, family))
                continue;
            codes.push_back(RunUnattendedCommand(parts, command, family, host));
        }
    }
    catch (...)
    {
        codes.push_back(kExitFailed);
    }
    const int result = CombineExitCodes(codes);
    try
    {
        LogEvent(L"Unattended run ends with exit code " + std::to_wstring(result));
    }
    catch (...)
    {
        // Out of memory: the line is lost; the code is not.
    }
    return result;
}
} // namespace

void StartPassiveRun(const CInstallerParts& parts, const RunOptions& options, int family,
                     std::unique_ptr<CPassiveHost> host) noexcept
{
    std::shared_ptr<CPassiveHost> owned;
    try
    {
        owned = std::move(host);
        std::thread([parts, options, family, owned] {
            owned->RunEnded(RunPassively(parts, options, family, *owned));
        }).detach();
    }
    catch (...)
    {
        // Out of memory: the run never began. The host is ours still, by one pointer or other.
        CPassiveHost* told = owned ? owned.get() : host.get();
        if (told)
            told->RunEnded(kExitFailed);
    }
}
