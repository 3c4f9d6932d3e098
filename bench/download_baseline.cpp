// The baseline of bench/download.sh: the fastest plain use of WinINet, one GET with the same
// flags as DownloadToFile, read 1 MiB at a time straight into a file, without anything else
// DownloadToFile does (no helper thread, no deadline, no ".part", no progress); with "sha256",
// each read is also hashed with CNG as it arrives.
//   download_baseline.exe URL LOCALPATH [sha256]
// Prints the line download_bench.exe prints:
//   "ok=<0|1> ms=<elapsed> bytes=<file size> peak_ws_kib=<...> peak_private_kib=<...>"
#include "DownloadReport.h"

#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

namespace {

constexpr DWORD kReadBytes = 1u << 20;

// SHA-256 of everything given to Add, as DownloadToFile computes it.
class CDigest
{
public:
    CDigest()
    {
        m_ok =
            BCryptOpenAlgorithmProvider(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 &&
            BCryptCreateHash(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0) >= 0;
    }
    ~CDigest()
    {
        if (m_hash)
            BCryptDestroyHash(m_hash);
        if (m_algorithm)
            BCryptCloseAlgorithmProvider(m_algorithm, 0);
    }
    bool Add(const char* data, DWORD size)
    {
        return m_ok && BCryptHashData(m_hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                      size, 0) >= 0;
    }
    bool Finish()
    {
        UCHAR digest[32];
        return m_ok && BCryptFinishHash(m_hash, digest, sizeof digest, 0) >= 0;
    }

private:
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
    bool m_ok = false;
};

bool Fetch(const wchar_t* url, const wchar_t* localPath, bool hashed, unsigned long long& bytes)
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
    std::unique_ptr<CDigest> digest(hashed ? new CDigest : nullptr);
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
        ok = WriteFile(file, buffer.get(), got, &written, nullptr) && written == got &&
             (!digest || digest->Add(buffer.get(), got));
        bytes += got;
    }
    if (ok && digest)
        ok = digest->Finish();
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
    const bool hashed = argc == 4 && std::wcscmp(argv[3], L"sha256") == 0;
    if (argc != 3 && !hashed)
    {
        std::fprintf(stderr, "usage: download_baseline URL LOCALPATH [sha256]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    unsigned long long bytes = 0;
    const bool ok = Fetch(argv[1], argv[2], hashed, bytes);
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

    return PrintDownloadReport(ok, ms, bytes);
}
