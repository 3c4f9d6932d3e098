// Times one DownloadToFile and reports the process's peak memory, for bench/download.sh.
//   download_bench.exe URL LOCALPATH
// Prints: "ok=<0|1> ms=<elapsed> bytes=<file size> peak_ws_kib=<...> peak_private_kib=<...>"
#include "net/FileDownload.h"

#include "DownloadReport.h"

#include <windows.h>

#include <chrono>
#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: download_bench URL LOCALPATH\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    // No progress: only the transfer is timed.
    const bool ok = net::DownloadToFile(argv[1], argv[2], {}, std::nullopt, net::kDownloadLimits);
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    WIN32_FILE_ATTRIBUTE_DATA data = {};
    unsigned long long bytes = 0;
    if (GetFileAttributesExW(argv[2], GetFileExInfoStandard, &data))
        bytes = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return PrintDownloadReport(ok, ms, bytes);
}
