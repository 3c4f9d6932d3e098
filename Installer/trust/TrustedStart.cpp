#include "trust/TrustedStart.h"

#include "framework/FileHandle.h"
#include "framework/KernelHandle.h"
#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "storage/PathComponents.h"
#include "storage/WorkFolder.h"
#include "trust/ChildProcess.h"
#include "trust/ProgramKind.h"
#include "trust/SignerCheck.h"

#include <mutex>
#include <optional>

namespace {

FileHandle& OwnImage()
{
    static FileHandle s_image;
    return s_image;
}

// Whoever signed the file `file` is open on. WinVerifyTrust reads the file through the handle
// and is given the handle's own path, never the name it was opened by: that name may lead to
// another file by now.
std::optional<Sha256Bytes> KeyOfSigner(HANDLE file)
{
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, &path[0], static_cast<DWORD>(path.size()), 0);
    if (length >= path.size())
    {
        path.resize(length);
        length = GetFinalPathNameByHandleW(file, &path[0], length, 0);
    }
    if (length == 0 || length >= path.size())
        return std::nullopt;
    path.resize(length);
    SignerIdentity self;
    if (!ReadTrustedSigner(file, path, self))
        return std::nullopt;
    return self.spkiSha256;
}

std::optional<Sha256Bytes> SelfKey(const StartPolicy& policy)
{
    std::optional<Sha256Bytes> key;
    if (!policy.selfPath.empty())
        key = KeyOfSigner(OpenHeldForReading(policy.selfPath).get());
    else
    {
        // Read once, from the file held since start-up (ReadSelfKeyAtStart).
        static const std::optional<Sha256Bytes> s_key = [] {
            HoldOwnImage();
            return KeyOfSigner(OwnImage().get());
        }();
        key = s_key;
    }
    if (!key)
    {
        OutputDebugStringA(
            "This installer is not validly signed, so \"self\" pins no publisher\r\n");
        LogEvent(L"This installer is not validly signed, so \"self\" pins no publisher");
    }
    return key;
}

bool SignedByPinnedPublisher(HANDLE file, const std::wstring& path, const StartPolicy& policy)
{
    SignerIdentity signer;
    if (!ReadTrustedSigner(file, path, signer))
        return false;
    const std::optional<Sha256Bytes> selfKey =
        PinsNameSelf(policy.pins) ? SelfKey(policy) : std::nullopt;
    const std::wstring signerName = Utf8ToWide(signer.commonName);
    if (SignerMatchesPins(policy.pins, signer, selfKey))
    {
        LogEvent(L"Signed by a pinned publisher: " + signerName + L" (" + path + L")");
        return true;
    }
    LogEvent(L"Not started: signed by a publisher that is not pinned: " + signerName + L" (" +
             path + L")");
    OutputDebugStringA(
        ("Signed by a publisher that is not pinned: " + signer.commonName + "\r\n").c_str());
    return false;
}

std::wstring SystemMsiexec()
{
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(folder) + L"\\msiexec.exe";
}

} // namespace

StartPolicy StartPolicyFromList(const std::string& list)
{
    StartPolicy policy;
    if (auto pins = ParsePublisherPins(list))
        policy.pins = std::move(*pins);
    else
        policy.refuseAll = true;
    return policy;
}

void HoldOwnImage() noexcept
{
    try
    {
        static std::once_flag s_once;
        std::call_once(s_once, [] { OwnImage() = OpenHeldForReading(GetModulePath()); });
    }
    catch (...)
    {
        // Not held: `self` then pins no publisher.
    }
}

HANDLE HeldOwnImage() noexcept
{
    HoldOwnImage();
    return OwnImage().get();
}

void ReadSelfKeyAtStart(const StartPolicy& policy) noexcept
{
    HoldOwnImage();
    if (!PinsNameSelf(policy.pins) || !policy.selfPath.empty())
        return;
    try
    {
        SelfKey(policy);
    }
    catch (...)
    {
        // Out of memory: read again at the first pinned check.
    }
}

bool MayStart(const ProgramToStart& program, const StartPolicy& policy)
{
    const std::wstring& path = program.path;
    if (ProgramKindOfName(path) == ProgramKind::Refused || policy.refuseAll || !program.held ||
        program.held == INVALID_HANDLE_VALUE)
    {
        OutputDebugStringW((L"Not a program the installer starts: " + path).c_str());
        LogEvent(L"Not started: not a program the installer starts: " + path);
        return false;
    }
    return policy.pins.empty() || SignedByPinnedPublisher(program.held, path, policy);
}

StartResult StartProgramElevated(const ProgramToStart& program, const StartPolicy& policy,
                                 DWORD* exitCode)
{
    const std::wstring& path = program.path;
    const ProgramKind kind = ProgramKindOfName(path);
    if (!MayStart(program, policy))
        return StartResult::Untrusted;
    ChildProgram child;
    child.folder = FolderOfPath(path);
    child.tempFolder = program.tempFolder;
    if (kind == ProgramKind::Msi)
    {
        child.program = SystemMsiexec();
        child.arguments = MsiInstallParameters(path) +
                          (program.arguments.empty() ? L"" : L" " + program.arguments);
    }
    else
    {
        child.program = path;
        child.arguments = program.arguments;
    }
    // msiexec opens the package after it started: it stays held until the installation ends.
    const bool bWait = kind == ProgramKind::Msi || program.bWait;
    const ProcessOutcome outcome = RunChild(child, bWait ? INFINITE : 0);
    if (!outcome.started)
    {
        OutputDebugStringW(
            (L"The setup program did not start: " + std::to_wstring(outcome.startError)).c_str());
        LogFailure(L"Not started: " + child.program, outcome.startError);
        SetLastError(outcome.startError);
        return StartResult::Failed;
    }
    LogEvent(L"Started elevated: " + path);
    if (program.bWait && exitCode)
    {
        *exitCode = outcome.exitCodeKnown ? outcome.exitCode : ERROR_INSTALL_FAILURE;
        if (!outcome.exitCodeKnown)
            LogEvent(L"The exit code of " + path + L" is unknown");
        else
            LogEvent(path + L" ended with exit code " + std::to_wstring(*exitCode));
    }
    return StartResult::Started;
}
