#pragma once
// Which failures of a transfer are worth another attempt, and after which pause. No window
// here, so it is unit-tested natively.

#include <string>

namespace net {

// Why an attempt failed, as far as trying again is concerned.
enum class TransferFailure
{
    None,
    // Transient: the link or the server may do better a moment later.
    NoAnswer,       // not reached, or no reply before the deadline
    ConnectionLost, // reset, aborted or stalled while the reply arrived
    ShortBody,      // fewer bytes than the reply announced
    ServerBusy,     // status 5xx or 429
    // Permanent: another attempt would meet the same answer, or must not be made.
    Refused,              // any other status
    Certificate,          // the server's certificate is not valid for its name
    UntrustedCertificate, // valid only through a root the machine does not trust (the user's own)
    InsecureRedirect,     // an https request that a redirect took to plain http
    Malformed,            // a reply that cannot be what was asked for
    DigestMismatch,       // the package is not the one the service named
    TooLarge,             // beyond the size bound or the free space
    TooSlow,              // not complete before the overall deadline
    ProxyCredentials,     // the proxy asks for credentials the installer cannot give
    Local,                // the file could not be written, memory ran out, ...
    Other,                // an error not known to pass
};

bool IsTransient(TransferFailure failure);

// A few words on the failure, for the support log.
std::wstring DescribeFailure(TransferFailure failure);

// What a reply's status means when the whole body was asked for: None for 200.
TransferFailure FailureOfStatus(int status);

// What a WinINet or Winsock error code means. Codes not known to pass are permanent: the link
// is not the likely cause, and a retry would only delay the message.
TransferFailure FailureOfError(unsigned long error);

// Transient failures are tried again at most `retries` times in a row, first after
// `firstPauseMs`, then after `laterPauseMs`.
struct RetrySchedule
{
    unsigned retries;
    unsigned long firstPauseMs;
    unsigned long laterPauseMs;
};

constexpr RetrySchedule kRetrySchedule{2, 1000, 3000};

// Counts the failures of one transfer in a row.
class CRetryBudget
{
public:
    explicit CRetryBudget(const RetrySchedule& schedule) : m_schedule(schedule) {}

    // After a failed attempt: true with the pause before the next one, false when the failure
    // stands (permanent, or the retries in a row are spent). An attempt that moved the
    // transfer forward starts the count anew: a download that keeps arriving, one broken
    // piece after another, is not given up, as one arriving slowly is not.
    bool NextPause(TransferFailure failure, bool madeProgress, unsigned long& pauseMs);

private:
    RetrySchedule m_schedule;
    unsigned m_failuresInARow = 0;
};

} // namespace net
