// Start-up of the installer under Wine: time from process creation until its main window is
// visible and until its caption is the final one, against a baseline program that only shows a
// message box (what any windowed process costs here), the same message box in a program with the
// installer's manifest and start-up DLLs (what Wine charges for those), and the cost of the
// Windows-family probe, measured in fresh processes. Paired ratios are medians of each run's own
// ratio.
//
//   startup_bench.exe <installer.exe> [runs] [<other installer.exe>]
//                                                   prints one line per measure and the ratios;
//                                                   another build (an earlier one) takes turns too
//   startup_bench.exe --probe                       (child) exit code = ms of one probe call
#include "probe/WindowsFamily.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {
double NowMs()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Found
{
    const wchar_t* pszCaptionStart; // null: any caption
    bool bFound;
};

BOOL CALLBACK MatchWindow(HWND h, LPARAM l)
{
    auto* f = reinterpret_cast<Found*>(l);
    if (!IsWindowVisible(h))
        return TRUE;
    wchar_t caption[256] = {};
    InternalGetWindowText(h, caption, 256);
    if (f->pszCaptionStart && wcsncmp(caption, f->pszCaptionStart, wcslen(f->pszCaptionStart)) != 0)
        return TRUE;
    f->bFound = true;
    return FALSE;
}

// A visible top-level window of the program's first thread whose caption starts as given. The
// caption is read without a message, so a busy UI thread does not hold the search up. Only that
// thread's windows are asked about: a poll of every window on the desktop each millisecond keeps
// Wine's server busy, which the program measured needs as well.
bool HasWindow(DWORD nThreadId, const wchar_t* pszCaptionStart)
{
    Found found{pszCaptionStart, false};
    EnumThreadWindows(nThreadId, MatchWindow, reinterpret_cast<LPARAM>(&found));
    return found.bFound;
}

bool Launch(const std::wstring& commandLine, PROCESS_INFORMATION& pi)
{
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    return CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi) != FALSE;
}

constexpr DWORD kSettleMs = 200;

struct Times
{
    double visible = -1; // a window of the program is on screen
    double ready = -1;   // its caption is the final one: initialisation has ended
};

Times TimeToWindow(const std::wstring& commandLine, const wchar_t* pszReadyCaption)
{
    Times t;
    PROCESS_INFORMATION pi{};
    const double start = NowMs();
    if (!Launch(commandLine, pi))
        return t;
    while (NowMs() - start < 60000)
    {
        if (t.visible < 0 && HasWindow(pi.dwThreadId, nullptr))
            t.visible = NowMs() - start;
        if (t.visible >= 0 && HasWindow(pi.dwThreadId, pszReadyCaption))
        {
            t.ready = NowMs() - start;
            break;
        }
        if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0)
            break;
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // The process has ended, but Wine still tears its windows down: the next start would pay for
    // that, so each one begins on a settled machine.
    Sleep(kSettleMs);
    return t;
}

double ProbeInFreshProcess(const std::wstring& self)
{
    PROCESS_INFORMATION pi{};
    if (!Launch(L"\"" + self + L"\" --probe", pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD nCode = 0;
    GetExitCodeProcess(pi.hProcess, &nCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<double>(nCode);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && std::wstring(argv[1]) == L"--probe")
    {
        const double start = NowMs();
        const int nFamily = GetWindowsFamily();
        const double ms = NowMs() - start;
        return nFamily > 0 ? static_cast<int>(ms + 0.5) : -1;
    }
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: startup_bench <installer.exe> [runs]\n");
        return 2;
    }
    const std::wstring installer = argv[1];
    const int nRuns = argc >= 3 ? std::max(1, _wtoi(argv[2])) : 7;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring folder = std::wstring(self).substr(0, std::wstring(self).rfind(L'\\') + 1);
    const std::wstring baseline = L"\"" + folder + L"startup_baseline.exe\"";
    const std::wstring baselineDlls = L"\"" + folder + L"startup_baseline_dlls.exe\"";

    const wchar_t* pszReady = L"USB Bluetooth Wireless Adapter (";
    const std::wstring installerLine = L"\"" + installer + L"\"";
    const std::wstring otherLine = argc >= 4 ? L"\"" + std::wstring(argv[3]) + L"\"" : L"";
    // Warm-up: the first start of anything pays for loading Wine's DLLs from disk.
    TimeToWindow(baseline, nullptr);
    TimeToWindow(baselineDlls, nullptr);
    TimeToWindow(installerLine, pszReady);
    if (!otherLine.empty())
        TimeToWindow(otherLine, pszReady);

    std::vector<double> base, baseDlls, visible, ready, probe, other;
    for (int i = 0; i < nRuns; ++i)
    {
        base.push_back(TimeToWindow(baseline, nullptr).ready);
        baseDlls.push_back(TimeToWindow(baselineDlls, nullptr).ready);
        // The two builds take turns at going first, so that neither always follows the other.
        const bool bOtherFirst = !otherLine.empty() && i % 2 == 1;
        if (bOtherFirst)
            other.push_back(TimeToWindow(otherLine, pszReady).ready);
        const Times t = TimeToWindow(installerLine, pszReady);
        visible.push_back(t.visible);
        ready.push_back(t.ready);
        if (!otherLine.empty() && !bOtherFirst)
            other.push_back(TimeToWindow(otherLine, pszReady).ready);
        probe.push_back(ProbeInFreshProcess(self));
    }
    for (const auto* v : {&base, &baseDlls, &visible, &ready, &probe, &other})
        if (std::count(v->begin(), v->end(), -1.0))
        {
            std::printf("a program did not show its window or the probe failed\n");
            return 1;
        }
    const double b = Median(base), v = Median(visible), r = Median(ready), p = Median(probe);
    std::printf("runs %d, medians\n", nRuns);
    std::printf("baseline: message box visible                 %8.1f ms\n", b);
    std::printf("baseline with the installer's DLLs and manifest%6.1f ms\n", Median(baseDlls));
    std::printf("installer: main window visible                %8.1f ms\n", v);
    std::printf("installer: initialised (final caption)        %8.1f ms\n", r);
    std::printf("Windows-family probe, first call in a process %8.1f ms\n", p);
    std::printf("installer visible / baseline                  %8.2f\n", v / b);
    std::printf("installer initialised / baseline              %8.2f\n", r / b);
    const auto paired = [](const std::vector<double>& times, const std::vector<double>& by) {
        std::vector<double> ratios;
        for (size_t i = 0; i < times.size(); ++i)
            if (times[i] > 0 && by[i] > 0) // a start that failed or timed out pairs with nothing
                ratios.push_back(times[i] / by[i]);
        return Median(ratios);
    };
    std::printf("installer initialised / baseline, paired      %8.2f\n", paired(ready, base));
    std::printf("baseline with DLLs / baseline, paired         %8.2f\n", paired(baseDlls, base));
    std::printf("installer initialised / with DLLs, paired     %8.2f\n", paired(ready, baseDlls));
    std::printf("probe / installer initialised                 %8.2f\n", p / r);
    if (!other.empty())
    {
        const double o = Median(other);
        std::printf("other installer: initialised (final caption)  %8.1f ms\n", o);
        std::printf("other installer initialised / baseline        %8.2f\n", o / b);
        std::printf("other installer initialised / baseline, paired%8.2f\n", paired(other, base));
        std::printf("installer / other installer, paired           %8.2f\n", paired(ready, other));
    }
    return 0;
}
