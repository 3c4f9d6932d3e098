#include "net/FileDownload.h"

#include "framework/FileHandle.h"
#include "log/SupportLog.h"
#include "net/BodyReader.h"
#include "net/InternetRequest.h"
#include "net/RangeResume.h"
#include "net/Sha256Hasher.h"
#include "net/TransferLog.h"
#include "net/TransferMath.h"
#include "net/TransferRetry.h"
#include "storage/WorkFolder.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <new>
#include <vector>

bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<net::Sha256Digest>& expectedSha256)
{
    return net::DownloadToFile(url, localPath, progress, expectedSha256, net::kDownloadLimits);
}

namespace net {

namespace {

// Passes a position on only when it changed: the window hears of each position once per
// pass over the body.
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

// The ".part" file: open from the first byte until it is moved into place, through every
// attempt; removed on every path unless it was moved.
class CPartFile
{
public:
    explicit CPartFile(std::wstring path) : m_path(std::move(path)) {}
    ~CPartFile()
    {
        // Removed through its own handle: the name may lie in a folder others can change.
        FILE_DISPOSITION_INFO remove = {TRUE};
        if (m_created)
            SetFileInformationByHandle(m_file.get(), FileDispositionInfo, &remove, sizeof(remove));
    }
    CPartFile(const CPartFile&) = delete;
    CPartFile& operator=(const CPartFile&) = delete;

    bool Created() const { return m_created; }

    // Others may only read it: a second download to the same path fails rather than
    // interleaving its writes, and nothing else can change it meanwhile.
    bool Create()
    {
        m_file = CreateDownloadFile(m_path);
        m_created = static_cast<bool>(m_file);
        return m_created;
    }

    // A failed or short write ends the download: the file would not be the package.
    bool Write(const void* data, unsigned long size)
    {
        DWORD written = 0;
        return WriteFile(m_file.get(), data, size, &written, nullptr) && written == size;
    }

    // Back to no bytes, for a start over.
    bool Empty()
    {
        const LARGE_INTEGER start{};
        return SetFilePointerEx(m_file.get(), start, nullptr, FILE_BEGIN) &&
               SetEndOfFile(m_file.get());
    }

    // Moved through its own handle, so it is the file written that takes the name. With
    // `held`, opened again for reading only, and only if it is still that file.
    bool CommitTo(const std::wstring& target, FileHandle* held)
    {
        FileIdentity identity;
        if (!IdentifySingleFile(m_file.get(), identity) || !RenameOpenFile(m_file.get(), target))
            return false;
        m_created = false;
        m_file.reset();
        if (!held)
            return true;
        *held = OpenHeldForReading(target, &identity);
        return static_cast<bool>(*held);
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

// Free bytes for this user on the drive of `path`'s folder.
bool FreeBytesBeside(const std::wstring& path, std::uint64_t& freeBytes)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
        return false;
    freeBytes = available.QuadPart;
    return true;
}

// `start` plus `ms`, short of what the clock can hold.
Clock::time_point After(Clock::time_point start, std::uint64_t ms)
{
    constexpr std::uint64_t kCenturyMs = 100ull * 365 * 24 * 3600 * 1000;
    return start + std::chrono::milliseconds(std::min(ms, kCenturyMs));
}

// One package over as many requests as the link needs: the body collects in the ".part"
// file, and a request after a break asks for the rest when the first answer allows it. All
// of them end by one deadline, which the announced size sets once it is known.
class CPackageTransfer
{
public:
    CPackageTransfer(const CrackedUrl& url, const std::wstring& localPath,
                     const TransferLimits& limits, bool hashed, CProgressReport& report)
        : m_url(url), m_localPath(localPath), m_limits(limits), m_hashed(hashed), m_report(report),
          m_part(PartialPathFor(localPath)), m_logUrl(UrlForLog(url)), m_started(Clock::now()),
          m_deadline(After(m_started, DownloadDeadlineMs(limits, 0)))
    {
    }

    // One request and its body; None once the whole body is in the ".part" file.
    TransferFailure Attempt();

    // Ends the digest of the whole body.
    bool FinishDigest(Sha256Digest& digest) { return m_hasher.Finish(digest); }
    bool CommitTo(const std::wstring& target, FileHandle* held)
    {
        return m_part.CommitTo(target, held);
    }

    std::uint64_t Written() const { return m_written; }
    std::uint64_t Received() const { return m_received; }
    unsigned Requests() const { return m_requests; }
    const std::wstring& LogUrl() const { return m_logUrl; }

private:
    TransferFailure TakeWholeBody(CSentRequest& sent);
    TransferFailure StartOver(const std::wstring& reason);
    TransferFailure ReadBody(CSentRequest& sent, std::uint64_t expected);
    TransferFailure PastDeadline();

    const CrackedUrl& m_url;
    const std::wstring& m_localPath;
    const TransferLimits& m_limits;
    const bool m_hashed;
    CProgressReport& m_report;
    CPartFile m_part;
    CSha256Hasher m_hasher;
    const std::wstring m_logUrl;
    const Clock::time_point m_started;
    Clock::time_point m_deadline;
    ResumeBasis m_basis;         // of the last whole body asked for
    std::uint64_t m_written = 0; // bytes in the ".part" file, all in the digest
    std::uint64_t m_received = 0;
    unsigned m_requests = 0;
};

TransferFailure CPackageTransfer::Attempt()
{
    if (Clock::now() >= m_deadline)
        return PastDeadline();
    const std::wstring notResumable = WhyNotResumable(m_basis, m_written);
    const bool resume = notResumable.empty();
    if (!resume && m_written > 0)
        LogEvent(L"Download of " + m_logUrl + L" starts over from zero: " + notResumable);

    std::vector<std::wstring> headers;
    if (resume)
        headers = ResumeHeaders(m_basis, m_written);
    CSentRequest sent;
    ++m_requests;
    if (!SendGetRequest(m_url, headers, m_limits, sent, m_deadline))
        return sent.failure;
    HINTERNET request = sent.request.get();
    const int status = QueryStatusCode(request);
    LogEvent(L"HTTP " + std::to_wstring(status) + L" from " + m_logUrl +
             (resume ? L" (asked from byte " + std::to_wstring(m_written) + L")" : L""));

    if (resume && status == 206)
    {
        const std::wstring range = QueryHeader(request, L"Content-Range");
        const std::wstring wrong =
            WhyNotContinued(range, QueryContentLength(request), m_written, m_basis.length);
        if (!wrong.empty())
            return StartOver(wrong + L" (\"" + TextForLog(range) + L"\")");
        LogEvent(L"Download of " + m_logUrl + L" resumes at byte " + std::to_wstring(m_written) +
                 L" of " + std::to_wstring(m_basis.length));
        return ReadBody(sent, m_basis.length);
    }
    if (resume && status == 416)
        return StartOver(L"the server cannot serve the rest (416)");
    if (status != 200)
        return FailureOfStatus(status);
    if (resume)
        LogEvent(L"Download of " + m_logUrl +
                 L" starts over from zero: the server sent the whole body (it changed, or it "
                 L"serves no ranges)");
    return TakeWholeBody(sent);
}

TransferFailure CPackageTransfer::PastDeadline()
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - m_started).count();
    ReportDownloadProblem(L"Stopped " + m_logUrl + L": not complete after " + std::to_wstring(ms) +
                          L" ms, the most a package of " +
                          (m_basis.length != 0 ? std::to_wstring(m_basis.length) + L" bytes"
                                               : std::wstring(L"unannounced size")) +
                          L" may take");
    return TransferFailure::TooSlow;
}

// After a partial answer that cannot continue the file: the body is asked for whole, at once.
TransferFailure CPackageTransfer::StartOver(const std::wstring& reason)
{
    LogEvent(L"Download of " + m_logUrl + L" starts over from zero: " + reason);
    m_basis = ResumeBasis();
    if (!m_part.Empty())
    {
        ReportDownloadError(L"The partial file could not be emptied", GetLastError());
        return TransferFailure::Local;
    }
    m_written = 0;
    m_report.Set(0);
    return Attempt();
}

// A 200: the body from its first byte, in place of whatever the ".part" file held.
TransferFailure CPackageTransfer::TakeWholeBody(CSentRequest& sent)
{
    const HINTERNET request = sent.request.get();
    ResumeBasis basis;
    basis.length = QueryContentLength(request);
    basis.acceptsRanges = AcceptsByteRanges(QueryHeader(request, L"Accept-Ranges"));
    basis.validator =
        ChooseValidator(QueryHeader(request, L"ETag"), QueryHeader(request, L"Last-Modified"),
                        QueryHeader(request, L"Date"));

    // Judged before a byte is written; a start over frees what the ".part" file holds.
    std::uint64_t freeBytes = 0;
    const bool freeKnown = FreeBytesBeside(m_localPath, freeBytes);
    switch (
        JudgePackageSize(basis.length, m_limits.maxPackageBytes, freeBytes + m_written, freeKnown))
    {
    case SizeVerdict::Fits: break;
    case SizeVerdict::OverBound:
        ReportDownloadProblem(L"Refused " + m_logUrl + L": " + std::to_wstring(basis.length) +
                              L" bytes is more than the bound of " +
                              std::to_wstring(m_limits.maxPackageBytes));
        return TransferFailure::TooLarge;
    case SizeVerdict::OverFreeSpace:
        ReportDownloadProblem(L"Refused " + m_logUrl + L": " + std::to_wstring(basis.length) +
                              L" bytes would leave less than " +
                              std::to_wstring(kFreeSpaceReserveBytes) + L" bytes free of " +
                              std::to_wstring(freeBytes));
        return TransferFailure::TooLarge;
    }

    if (!m_part.Created())
    {
        // A URL ending in "/" names the working folder itself; nothing can be written there.
        if (IsDirectory(m_localPath) || !m_part.Create())
            return TransferFailure::Local;
    }
    else if (m_written > 0)
    {
        if (!m_part.Empty())
        {
            ReportDownloadError(L"The partial file could not be emptied", GetLastError());
            return TransferFailure::Local;
        }
        m_written = 0;
        m_report.Set(0);
    }
    if (m_hashed && !m_hasher.Begin())
    {
        ReportDownloadProblem(L"SHA-256 is not available");
        return TransferFailure::Local;
    }
    m_basis = basis;
    m_deadline = After(m_started, DownloadDeadlineMs(m_limits, basis.length));
    return ReadBody(sent, basis.length);
}

// Reads to the end of the body, or to `expected` bytes in the file when that is known.
TransferFailure CPackageTransfer::ReadBody(CSentRequest& sent, std::uint64_t expected)
{
    if (expected > 0 && m_written >= expected)
        return TransferFailure::None;
    CBodyReader reader;
    if (!reader.Start(std::move(sent), expected > 0 ? expected - m_written : 0))
        return TransferFailure::Local;
    for (;;)
    {
        if (expected > 0 && m_written >= expected)
            return TransferFailure::None;
        const char* data = nullptr;
        unsigned long got = 0;
        switch (reader.Next(m_deadline, data, got))
        {
        case CBodyReader::Outcome::Read: break;
        case CBodyReader::Outcome::Failed: return FailureOfError(GetLastError());
        case CBodyReader::Outcome::PastDeadline: return PastDeadline();
        }
        m_received += got;
        if (got == 0)
            break;
        if (m_written + got > m_limits.maxPackageBytes)
        {
            ReportDownloadProblem(L"Stopped " + m_logUrl + L": the body passed the bound of " +
                                  std::to_wstring(m_limits.maxPackageBytes) + L" bytes");
            return TransferFailure::TooLarge;
        }
        if (!m_part.Write(data, got))
        {
            ReportDownloadError(L"The partial file could not be written", GetLastError());
            return TransferFailure::Local;
        }
        if (m_hashed && !m_hasher.Update(data, got))
            return TransferFailure::Local;
        m_written += got;
        // 100 waits until the file is in place.
        if (expected > 0)
            m_report.Set(std::min(99, ProgressPosition(m_written, expected)));
    }
    if (!IsCompleteBody(m_written, expected))
    {
        ReportDownloadProblem(L"The connection closed after " + std::to_wstring(m_written) +
                              L" of " + std::to_wstring(expected) + L" bytes");
        return TransferFailure::ShortBody;
    }
    return TransferFailure::None;
}

} // namespace

bool FetchesOverPlainHttp(const std::wstring& url)
{
    CrackedUrl cracked;
    return CrackHttpUrl(url, cracked) && cracked.scheme == UrlScheme::Http;
}

bool DownloadToFile(const std::wstring& url, const std::wstring& localPath,
                    const DownloadProgress& progress,
                    const std::optional<Sha256Digest>& expectedSha256, const TransferLimits& limits,
                    FileHandle* held)
{
    CProgressReport report(progress);
    CrackedUrl cracked;
    if (localPath.empty() || !CrackHttpUrl(url, cracked))
        return false;

    const auto started = std::chrono::steady_clock::now();
    CPackageTransfer transfer(cracked, localPath, limits, expectedSha256.has_value(), report);
    CRetryBudget budget(limits.retry);
    TransferFailure failure = TransferFailure::None;
    for (;;)
    {
        const std::uint64_t before = transfer.Written();
        failure = transfer.Attempt();
        if (failure == TransferFailure::None ||
            !PauseBeforeRetry(budget, failure, transfer.Written() > before,
                              L"Download of " + transfer.LogUrl()))
            break;
    }
    Sha256Digest written{};
    if (failure == TransferFailure::None && expectedSha256)
    {
        if (!transfer.FinishDigest(written))
            failure = TransferFailure::Local;
        else if (written != *expectedSha256)
        {
            ReportDownloadProblem(L"The package does not have the expected SHA-256");
            failure = TransferFailure::DigestMismatch;
        }
        else
            LogEvent(L"The package has the expected SHA-256");
    }
    if (failure == TransferFailure::None && !transfer.CommitTo(localPath, held))
    {
        ReportDownloadError(L"The package could not be moved into place and held", GetLastError());
        failure = TransferFailure::Local;
    }

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    const std::wstring outcome = failure == TransferFailure::None
                                     ? std::wstring(L"complete")
                                     : L"failed (" + DescribeFailure(failure) + L")";
    LogEvent(L"Download of " + transfer.LogUrl() + L" " + outcome + L": " +
             std::to_wstring(transfer.Received()) + L" bytes received in " + std::to_wstring(ms) +
             L" ms over " + std::to_wstring(transfer.Requests()) + L" requests");
    if (failure != TransferFailure::None)
        return false;
    report.Set(100);
    return true;
}

} // namespace net
