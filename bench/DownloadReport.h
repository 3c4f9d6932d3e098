// The line both download benchmark programs print, read by bench/download.sh:
// "ok=<0|1> ms=<elapsed> bytes=<file size> peak_ws_kib=<...> peak_private_kib=<...>".
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdio>

inline int PrintDownloadReport(bool ok, double ms, unsigned long long bytes)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    std::printf("ok=%d ms=%.1f bytes=%llu peak_ws_kib=%llu peak_private_kib=%llu\n", ok ? 1 : 0, ms,
                bytes, static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024),
                static_cast<unsigned long long>(counters.PeakPagefileUsage / 1024));
    return ok ? 0 : 1;
}
