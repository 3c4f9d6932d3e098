// How responsive the main window stays while a large package downloads at full speed: the
// round-trip time of a message sent to the window (SendMessageTimeout of WM_NULL, served by the
// window's thread) while idle and while the Bluetooth workflow downloads; with a log file named,
// while this program holds a lock on all of it.
//   responsiveness_bench <installer.exe> <samples> [<log file to lock>]
// Or only the download, through the window, for bench/download.sh to time (its log says how
// long it took): the Bluetooth button clicked, then waiting until its bar reaches 100 or hides.
//   responsiveness_bench <installer.exe> download
// The driver service must already offer a large package for the Bluetooth endpoint.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

namespace {

struct Found
{
    DWORD processId;
    HWND window;
};

BOOL CALLBACK FindInstaller(HWND hWnd, LPARAM lParam)
{
    auto* found = reinterpret_cast<Found*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hWnd, &owner);
    wchar_t caption[64] = {};
    GetWindowTextW(hWnd, caption, 64);
    if (owner == found->processId &&
        std::wcsncmp(caption, L"USB Bluetooth Wireless Adapter (", 32) == 0)
    {
        found->window = hWnd;
        return FALSE;
    }
    return TRUE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

double RoundTrip(HWND window)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    QueryPerformanceCounter(&end);
    return Milliseconds(start, end);
}

void Report(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) { return samples[std::size_t(q * double(samples.size() - 1))]; };
    std::printf("%-28s samples %4zu  median %7.3f ms  p99 %7.3f ms  worst %8.3f ms\n", what,
                samples.size(), at(0.5), at(0.99), samples.back());
}

// Locks all of `path` for as long as it lives, as another program (a backup, an editor) may.
class CLockedFile
{
public:
    explicit CLockedFile(const wchar_t* path)
        : m_file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr))
    {
        OVERLAPPED at = {};
        m_locked = m_file != INVALID_HANDLE_VALUE &&
                   LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                              MAXDWORD, MAXDWORD, &at);
    }
    ~CLockedFile()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
    }
    bool Locked() const { return m_locked; }

private:
    HANDLE m_file;
    bool m_locked = false;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    const bool downloadOnly = std::wcscmp(argv[2], L"download") == 0;
    const std::size_t samples = downloadOnly ? 0 : std::size_t(_wtoi(argv[2]));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> commandLine(argv[1], argv[1] + std::wcslen(argv[1]) + 1);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return 3;
    const auto end = [&](int code) {
        TerminateProcess(info.hProcess, code);
        WaitForSingleObject(info.hProcess, 10000);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return code;
    };
    Found found{info.dwProcessId, nullptr};
    for (int i = 0; i < 300 && !found.window; ++i)
    {
        Sleep(100);
        EnumWindows(FindInstaller, reinterpret_cast<LPARAM>(&found));
    }
    if (!found.window)
        return end(4);
    Sleep(1500); // initialisation (the WMI probe) is over

    std::vector<double> idle;
    for (std::size_t i = 0; i < samples; ++i)
    {
        idle.push_back(RoundTrip(found.window));
        Sleep(2);
    }
    std::unique_ptr<CLockedFile> lock;
    if (argc > 3)
    {
        lock = std::make_unique<CLockedFile>(argv[3]);
        if (!lock->Locked())
        {
            std::printf("could not lock the log (error %lu)\n", GetLastError());
            return end(6);
        }
    }

    const HWND bar = GetDlgItem(found.window, 1003);
    PostMessageW(GetDlgItem(found.window, 1001), BM_CLICK, 0, 0);
    for (int i = 0; i < 3000 && !IsWindowVisible(bar); ++i)
        Sleep(5);
    if (downloadOnly)
    {
        // The bar shows until the workflow leaves the download, at 100 when it succeeded. Asked
        // seldom: each question is work for the installer's thread and for Wine's server.
        for (int i = 0; i < 3000 && IsWindowVisible(bar); ++i)
        {
            if (SendMessageW(bar, PBM_GETPOS, 0, 0) >= 100)
                return end(0);
            Sleep(100);
        }
        std::printf("the download did not end at 100\n");
        return end(5);
    }
    std::vector<double> busy;
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    // Until the download ends (the bar reaches 100) or enough samples.
    while (IsWindowVisible(bar) && SendMessageW(bar, PBM_GETPOS, 0, 0) < 100 &&
           busy.size() < samples * 20)
    {
        busy.push_back(RoundTrip(found.window));
        Sleep(2);
    }
    QueryPerformanceCounter(&now);

    Report("idle window", idle);
    if (busy.empty())
    {
        std::printf("the download did not run\n");
        return end(5);
    }
    Report(lock ? "download, log locked" : "during the download", busy);
    std::printf("download sampled for %.0f ms\n", Milliseconds(start, now));
    std::vector<double> i2 = idle, b2 = busy;
    std::sort(i2.begin(), i2.end());
    std::sort(b2.begin(), b2.end());
    std::printf("ratio busy/idle: median %.2f, worst %.2f\n", b2[b2.size() / 2] / i2[i2.size() / 2],
                b2.back() / i2.back());
    return end(0);
}
