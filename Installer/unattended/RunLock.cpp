#include "unattended/RunLock.h"

#include "framework/KernelHandle.h"
#include "framework/LocalMemory.h"
#include "log/SupportLog.h"
#include "storage/SafeStorage.h"

#include <windows.h>

#include <sddl.h>

namespace {

enum class LockResult
{
    Held,
    AnotherRun,
    Failed,
};

// One unattended run per machine. The lock lives in a private namespace bounded by the
// Administrators group, so a program without administrator rights can neither make it first
// nor hold it: 1618 then always means another run of this installer. Wine implements no
// boundary descriptors (and has no privilege boundary to keep): there a global name.
LockResult HoldUnattendedLock() noexcept
{
    static KernelHandle s_lock;
    if (RunsUnderWine())
    {
        s_lock.reset(CreateMutexW(nullptr, FALSE, L"Global\\KVZ7300.Unattended"));
        if (!s_lock)
            return LockResult::Failed;
        return GetLastError() == ERROR_ALREADY_EXISTS ? LockResult::AnotherRun : LockResult::Held;
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(administrators);
    UniqueLocal descriptor;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1, descriptor.put(), nullptr))
        return LockResult::Failed;
    HANDLE boundary = CreateBoundaryDescriptorW(L"KVZ7300", 0);
    if (!boundary)
        return LockResult::Failed;
    const ScopeExit dropBoundary([boundary] { DeleteBoundaryDescriptor(boundary); });
    if (!AddSIDToBoundaryDescriptor(&boundary, administrators))
        return LockResult::Failed;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    // Never closed: the namespace and the lock in it live as long as this run.
    HANDLE space = CreatePrivateNamespaceW(&attributes, boundary, L"KVZ7300");
    if (!space && GetLastError() == ERROR_ALREADY_EXISTS)
        space = OpenPrivateNamespaceW(boundary, L"KVZ7300");
    if (!space)
        return LockResult::Failed;
    s_lock.reset(CreateMutexW(&attributes, FALSE, L"KVZ7300\\Unattended"));
    if (!s_lock)
        return GetLastError() == ERROR_ACCESS_DENIED ? LockResult::AnotherRun : LockResult::Failed;
    return GetLastError() == ERROR_ALREADY_EXISTS ? LockResult::AnotherRun : LockResult::Held;
}

} // namespace

bool PrepareUnattendedRun(const RunOptions& options, int& exitCode) noexcept
{
    try
    {
        if (!options.logFile.empty() && !AlsoLogTo(options.logFile))
        {
            LogFailure(L"Wrong command line: the /log file cannot be written safely: " +
                           options.logFile + L" (exit code 87)",
                       GetLastError());
            exitCode = kExitBadCommandLine;
            return false;
        }
        // Every unattended run of the machine, whoever started it: checked before anything.
        switch (HoldUnattendedLock())
        {
        case LockResult::Held: return true;
        case LockResult::AnotherRun:
            LogEvent(L"Unattended run refused: another one is active (exit code 1618)");
            exitCode = kExitAnotherRun;
            return false;
        case LockResult::Failed:
            LogFailure(L"Unattended run refused: its lock cannot be had (exit code 1603)",
                       GetLastError());
            break;
        }
    }
    catch (...)
    {
        // Out of memory: nothing runs.
    }
    exitCode = kExitFailed;
    return false;
}
