#include "trust/TrustedStart.h"

#include "framework/ComApartment.h"
#include "framework/FileHandle.h"
#include "framework/KernelHandle.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "storage/WorkFolder.h"
#include "trust/ProgramKind.h"
#include "trust/SignerCheck.h"

#include <shellapi.h>

#include <mutex>
#include <optional>

namespace {

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring OwnPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size())
        {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

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

// TEMP and TMP for a program started meanwhile, then back as they were.
class CTempFolderForChild
{
public:
    explicit CTempFolderForChild(const std::wstring& folder)
    {
        if (folder.empty())
            return;
        for (int i = 0; i < 2; ++i)
        {
            wchar_t value[32768];
            const DWORD length = GetEnvironmentVariableW(kNames[i], value, 32768);
            m_had[i] = length > 0 && length < 32768;
            if (m_had[i])
                m_old[i].assign(value, length);
            SetEnvironmentVariableW(kNames[i], folder.c_str());
        }
        m_set = true;
    }
    ~CTempFolderForChild()
    {
        if (!m_set)
            return;
        for (int i = 0; i < 2; ++i)
            SetEnvironmentVariableW(kNames[i], m_had[i] ? m_old[i].c_str() : nullptr);
    }
    CTempFolderForChild(const CTempFolderForChild&) = delete;
    CTempFolderForChild& operator=(const CTempFolderForChild&) = delete;

private:
    static constexpr const wchar_t* kNames[2] = {L"TEMP", L"TMP"};
    std::wstring m_old[2];
    bool m_had[2] = {false, false};
    bool m_set = false;
};

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

bool ShellStart(const std::wstring& file, const std::wstring& parameters,
                const std::wstring& folder, const std::wstring& tempFolder, HWND owner,
                KernelHandle& process)
{
    // The shell may hand the start to COM; it asks for an apartment on the calling thread.
    ComApartment apartment(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // No shell error box: the window reports a start that failed. NOASYNC: this thread may
    // end right after the call.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    // The program's own folder, not ours, so it finds its own files and never ours.
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    // Wine's shell switches this process's current folder to lpDirectory during the call and
    // back after it: two starts at once would leave us in a download folder. One at a time.
    // The same lock keeps the environment the program inherits its own.
    static std::mutex s_shellStart;
    std::unique_lock<std::mutex> oneAtATime(s_shellStart);
    const CTempFolderForChild temp(tempFolder);
    if (ShellExecuteExW(&info))
    {
        process.reset(info.hProcess);
        return true;
    }
    const DWORD error = GetLastError();
    OutputDebugStringW((L"The setup program did not start: " + std::to_wstring(error)).c_str());
    LogFailure(L"Not started: " + file, error);
    SetLastError(error);
    return false;
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
        std::call_once(s_once, [] { OwnImage() = OpenHeldForReading(OwnPath()); });
    }
    catch (...)
    {
        // Not held: `self` then pins no publisher.
    }
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

StartResult StartProgramElevated(const ProgramToStart& program, HWND owner,
                                 const StartPolicy& policy, DWORD* exitCode)
{
    const std::wstring& path = program.path;
    const ProgramKind kind = ProgramKindOfName(path);
    if (kind == ProgramKind::Refused || policy.refuseAll || !program.held ||
        program.held == INVALID_HANDLE_VALUE)
    {
        OutputDebugStringW((L"Not a program the installer starts: " + path).c_str());
        LogEvent(L"Not started: not a program the installer starts: " + path);
        return StartResult::Untrusted;
    }
    if (!policy.pins.empty() && !SignedByPinnedPublisher(program.held, path, policy))
        return StartResult::Untrusted;
    const std::wstring folder = FolderOf(path);
    KernelHandle process;
    const std::wstring tail = program.arguments.empty() ? L"" : L" " + program.arguments;
    const bool started =
        kind == ProgramKind::Msi
            ? ShellStart(SystemMsiexec(), MsiInstallParameters(path) + tail, folder,
                         program.tempFolder, owner, process)
            : ShellStart(path, program.arguments, folder, program.tempFolder, owner, process);
    if (!started)
        return StartResult::Failed;
    LogEvent(L"Started elevated: " + path);
    // msiexec opens the package after it started: keep it held until the installation ends.
    if ((kind == ProgramKind::Msi || program.bWait) && process)
        WaitForSingleObject(process.get(), INFINITE);
    if (program.bWait && exitCode)
    {
        *exitCode = ERROR_INSTALL_FAILURE;
        if (!process || !GetExitCodeProcess(process.get(), exitCode))
            LogFailure(L"The exit code of " + path + L" is unknown", GetLastError());
        else
            LogEvent(path + L" ended with exit code " + std::to_wstring(*exitCode));
    }
    return StartResult::Started;
}
