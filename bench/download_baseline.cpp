// The baseline of bench/download.sh: the fastest plain use of WinINet, one GET with the same
// flags as DownloadToFile, read 1 MiB at a time straight into a file, without anything else
// DownloadToFile does (no helper thread, no deadline, no ".part", no progress).
//   download_baseline.exe URL LOCALPATH
// Prints the line download_bench.exe prints:
//   "ok=<0|1> ms=<elapsed> bytes=<file size> peak_ws_kib=<...> peak_private_kib=<...>"
#include "DownloadReport.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr DWORD kReadBytes = 1u << 20;

bool Fetch(const wchar_t* url, const wchar_t* localPath, unsigned long long& bytes)
{
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url, 0, 0, &parts))
        return false;
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    HINTERNET session =
        InternetOpenW(L"download_baseline", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection =
        session ? InternetConnectW(
                      session, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                      INTERNET_FLAG_KEEP_CONNECTION | (secure ? INTERNET_FLAG_SECURE : 0), 0)
                : nullptr;
    HINTERNET request =
        connection
            ? HttpOpenRequestW(connection, L"GET", object.c_str(), L"HTTP/1.0", nullptr, nullptr,
                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                   (secure ? INTERNET_FLAG_SECURE : 0),
                               0)
            : nullptr;
    HANDLE file = CreateFileW(localPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    std::unique_ptr<char[]> buffer(new char[kReadBytes]);
    bool ok = request && file != INVALID_HANDLE_VALUE &&
              HttpSendRequestW(request, nullptr, 0, nullptr, 0);
    bytes = 0;
    while (ok)
    {
        DWORD got = 0;
        DWORD written = 0;
        ok = InternetReadFile(request, buffer.get(), kReadBytes, &got);
        if (!ok || got == 0)
            break;
        ok = WriteFile(file, buffer.get(), got, &written, nullptr) && written == got;
        bytes += got;
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    for (HINTERNET handle : {request, connection, session})
        if (handle)
            InternetCloseHandle(handle);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: download_baseline URL LOCALPATH\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    unsigned long long bytes = 0;
    const bool ok = Fetch(argv[1], argv[2], bytes);
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    return PrintDownloadReport(ok, ms, bytes);
}
