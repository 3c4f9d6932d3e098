#include "log/SupportLog.h"

#include "framework/FileHandle.h"
#include "storage/WorkFolder.h"
#include "storage/WorkFolderLayout.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// "...\Installer.log" -> "...\Installer.1.log"
std::wstring RotatedPath(const std::wstring& path)
{
    const std::size_t dot = path.rfind(L'.');
    const std::size_t slash = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return path + L".1";
    return path.substr(0, dot) + L".1" + path.substr(dot);
}

// Held while a line is written: appends from several processes are not atomic under Wine.
// The locked byte lies far beyond any log, so readers are never blocked. Another installer
// holds it for the moment a line takes; any program of the user can open the file and hold it
// for ever, which then costs lines, never a hung installer.
class CLineLock
{
public:
    explicit CLineLock(HANDLE file) noexcept : m_file(file)
    {
        constexpr ULONGLONG kWaitMs = 250;
        const ULONGLONG deadline = GetTickCount64() + kWaitMs;
        while (!(m_locked = LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                                       0, 1, 0, Region())) &&
               GetLastError() == ERROR_LOCK_VIOLATION && GetTickCount64() < deadline)
            Sleep(1);
    }
    ~CLineLock()
    {
        if (m_locked)
            UnlockFileEx(m_file, 0, 1, 0, Region());
    }
    CLineLock(const CLineLock&) = delete;
    CLineLock& operator=(const CLineLock&) = delete;
    explicit operator bool() const noexcept { return m_locked != FALSE; }

private:
    OVERLAPPED* Region() noexcept
    {
        m_region = OVERLAPPED{};
        m_region.OffsetHigh = 0x40000000;
        return &m_region;
    }
    HANDLE m_file;
    OVERLAPPED m_region{};
    BOOL m_locked = FALSE;
};

LogTime Now()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear,   now.wMonth,  now.wDay,         now.wHour,
            now.wMinute, now.wSecond, now.wMilliseconds};
}

std::wstring SystemErrorText(unsigned long error)
{
    // WinINet's codes live in its own message table.
    const bool internet = error >= 12000 && error < 12200;
    const HMODULE wininet = internet ? GetModuleHandleW(L"wininet.dll") : nullptr;
    wchar_t buffer[512] = {};
    const DWORD length =
        FormatMessageW((wininet ? FORMAT_MESSAGE_FROM_HMODULE : 0) | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS,
                       wininet, error, 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
    std::wstring text(buffer, length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

FileHandle& ExtraLog()
{
    static FileHandle s_file;
    return s_file;
}

// Appends `line` whole to `file` under the line lock. False when it was not written.
bool AppendLocked(HANDLE file, const CLineLock& held, const std::string& line)
{
    const LARGE_INTEGER end{};
    DWORD written = 0;
    return held && SetFilePointerEx(file, end, nullptr, FILE_END) &&
           WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}

// To the support log in the held working folder and to the file /log named.
void WriteLine(const std::string& line)
{
    const std::wstring path = SupportLogFile();
    if (!path.empty())
        AppendLogLine(path, line);
    if (const HANDLE extra = ExtraLog().get(); extra != INVALID_HANDLE_VALUE)
    {
        static std::mutex s_extra;
        std::lock_guard<std::mutex> lock(s_extra);
        const CLineLock held(extra);
        AppendLocked(extra, held, line);
    }
}

// Writes the lines queued by the threads that must not wait, in their order.
class CQueuedLines
{
public:
    void Push(std::string line)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bWriting)
        {
            std::thread([this] { Write(); }).detach();
            m_bWriting = true;
        }
        m_lines.push_back(std::move(line));
        m_ready.notify_one();
    }

private:
    void Write() noexcept
    {
        try
        {
            for (;;)
            {
                std::string line;
                {
                    std::unique_lock<std::mutex> lock(m_mutex);
                    m_ready.wait(lock, [this] { return !m_lines.empty(); });
                    line = std::move(m_lines.front());
                    m_lines.pop_front();
                }
                WriteLine(line);
            }
        }
        catch (...)
        {
            // Out of memory: later lines of those threads are lost, nothing else changes.
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::string> m_lines;
    bool m_bWriting = false;
};

thread_local bool t_bQueueLines = false;

CQueuedLines& QueuedLines()
{
    static CQueuedLines* s_lines = new CQueuedLines; // never destroyed: its thread outlives exit
    return *s_lines;
}

} // namespace

bool AlsoLogTo(const std::wstring& path) noexcept
{
    FileHandle file = OpenCommandLineLogFile(path);
    if (!file)
        return false;
    ExtraLog() = std::move(file);
    return true;
}

void QueueLogLinesOfThisThread() noexcept
{
    t_bQueueLines = true;
}

bool AppendLogLine(const std::wstring& path, const std::string& line,
                   std::uint64_t rotateAt) noexcept
{
    static std::mutex s_mutex;
    try
    {
        std::lock_guard<std::mutex> lock(s_mutex);
        // A second round writes into the file that replaced a full one.
        for (int round = 0; round < 2; ++round)
        {
            // A link planted in the user's folder must not make this elevated program write
            // elsewhere.
            const FileHandle file = OpenSharedLogFile(path);
            if (!file)
                return false;
            const CLineLock held(file.get());
            LARGE_INTEGER size{};
            if (!held || !GetFileSizeEx(file.get(), &size))
                return false;
            if (round == 0 && static_cast<std::uint64_t>(size.QuadPart) >= rotateAt)
            {
                // The handle's own file: of several writers that found it full, each renames
                // the same file and none moves away a log another has just begun.
                RenameOpenFile(file.get(), RotatedPath(path));
                continue;
            }
            return AppendLocked(file.get(), held, line);
        }
    }
    catch (...)
    {
    }
    return false;
}

std::wstring SupportLogPath()
{
    return SupportLogFile();
}

std::wstring SupportLogFile(bool old)
{
    const std::wstring folder = HeldWorkFolderPath();
    return folder.empty() ? folder : folder + L"\\" + (old ? kOldSupportLogName : kSupportLogName);
}

void LogEvent(std::wstring_view event) noexcept
{
    try
    {
        if (t_bQueueLines)
        {
            QueuedLines().Push(FormatLogLine(Now(), GetCurrentThreadId(), event));
            return;
        }
        WriteLine(FormatLogLine(Now(), GetCurrentThreadId(), event));
    }
    catch (...)
    {
        // No log is better than a changed run.
    }
}

void LogFailure(std::wstring_view what, unsigned long error) noexcept
{
    try
    {
        std::wstring text(what);
        text += L": ";
        const std::wstring reason = SystemErrorText(error);
        if (!reason.empty())
            text += reason + L" ";
        text += L"(" + std::to_wstring(error) + L")";
        LogEvent(text);
    }
    catch (...)
    {
    }
}
