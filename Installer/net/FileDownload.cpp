#include "net/FileDownload.h"

#include "framework/FileHandle.h"
#include "net/InternetRequest.h"
#include "net/Sha256Hasher.h"
#include "net/TransferMath.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>

bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<net::Sha256Digest>& expectedSha256)
{
    return net::DownloadToFile(url, localPath, progress, expectedSha256, net::kDownloadLimits);
}

namespace net {

namespace {

// Passes a position on only when it changed: the window hears of at most 101.
class CProgressReport
{
public:
    explicit CProgressReport(const DownloadProgress& progress) : m_progress(progress) {}
    void Set(int position)
    {
        if (position == m_last || !m_progress)
            return;
        m_last = position;
        m_progress(position);
    }

private:
    const DownloadProgress& m_progress;
    int m_last = -1;
};

// The ".part" file: removed on every path unless it was moved into place.
class CPartFile
{
public:
    explicit CPartFile(std::wstring path) : m_path(std::move(path)) {}
    ~CPartFile()
    {
        if (m_created)
        {
            m_file.reset();
            DeleteFileW(m_path.c_str());
        }
    }
    CPartFile(const CPartFile&) = delete;
    CPartFile& operator=(const CPartFile&) = delete;

    // Not shared: a second download to the same path must fail, not interleave its writes.
    bool Create()
    {
        m_file.reset(CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        m_created = static_cast<bool>(m_file);
        return m_created;
    }

    // A failed or short write ends the download: the file would not be the package.
    bool Write(const void* data, unsigned long size)
    {
        DWORD written = 0;
        return WriteFile(m_file.get(), data, size, &written, nullptr) && written == size;
    }

    bool CommitTo(const std::wstring& target)
    {
        m_file.reset();
        if (!MoveFileExW(m_path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
        m_created = false;
        return true;
    }

private:
    std::wstring m_path;
    FileHandle m_file;
    bool m_created = false;
};

bool IsDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<Sha256Digest>& expectedSha256, const TransferLimits& limits)
{
    CProgressReport report(progress);
    CrackedUrl cracked;
    if (localPath.empty() || !CrackHttpUrl(url, cracked))
        return false;

    CSentRequest sent;
    if (!SendGetRequest(cracked, {}, limits, sent))
        return false;
    if (QueryStatusCode(sent.request.get()) != 200)
        return false;
    // A URL ending in "/" names the working folder itself; nothing can be written there.
    if (IsDirectory(localPath))
        return false;

    CPartFile part(PartialPathFor(localPath));
    if (!part.Create())
        return false;

    CSha256Hasher hasher;
    if (expectedSha256 && !hasher.Begin())
    {
        TraceDownloadError(L"SHA-256 is not available");
        return false;
    }

    const std::uint64_t announced = QueryContentLength(sent.request.get());
    // One buffer for the largest read, whatever the package's size.
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kMaxReadBytes]);
    if (!buffer)
        return false;

    std::uint64_t written = 0;
    unsigned long readSize = kMinReadBytes;
    for (;;)
    {
        const auto start = std::chrono::steady_clock::now();
        unsigned long got = 0;
        if (!ReadChunk(sent.request.get(), buffer.get(), readSize, got))
            return false;
        if (got == 0)
            break;
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
        readSize = NextReadSize(readSize, static_cast<std::uint64_t>(took.count()));
        if (!part.Write(buffer.get(), got))
        {
            TraceDownloadError(InternetErrorText(GetLastError()));
            return false;
        }
        if (expectedSha256 && !hasher.Update(buffer.get(), got))
            return false;
        written += got;
        // 100 waits until the file is in place.
        if (announced > 0)
            report.Set(std::min(99, ProgressPosition(written, announced)));
    }

    if (!IsCompleteBody(written, announced))
    {
        TraceDownloadError(L"The connection closed after " + std::to_wstring(written) + L" of " +
                           std::to_wstring(announced) + L" bytes");
        return false;
    }
    if (expectedSha256)
    {
        Sha256Digest actual{};
        if (!hasher.Finish(actual) || actual != *expectedSha256)
        {
            TraceDownloadError(L"The package does not have the expected SHA-256");
            return false;
        }
    }
    if (!part.CommitTo(localPath))
    {
        TraceDownloadError(InternetErrorText(GetLastError()));
        return false;
    }

    report.Set(100);
    return true;
}

} // namespace net
