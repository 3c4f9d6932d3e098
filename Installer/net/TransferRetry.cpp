#include "net/TransferRetry.h"

namespace net {

namespace {

// WinINet's codes (INTERNET_ERROR_BASE 12000 + n) and Winsock's, spelled out: no windows.h here.
enum : unsigned long
{
    kTimeout = 12002,
    kNameNotResolved = 12007,
    kCannotConnect = 12029,
    kConnectionAborted = 12030,
    kConnectionReset = 12031,
    kForceRetry = 12032,
    kCertDateInvalid = 12037,
    kCertNameInvalid = 12038,
    kHttpsToHttpOnRedirect = 12040,
    kClientCertNeeded = 12044,
    kInvalidCa = 12045,
    kCertErrors = 12055,
    kCertNoRevocation = 12056,
    kCertRevocationFailed = 12057,
    kInvalidServerResponse = 12152,
    kInvalidHeader = 12153,
    kRedirectFailed = 12156,
    kSecurityChannelError = 12157,
    kDisconnected = 12163,
    kServerUnreachable = 12164,
    kProxyUnreachable = 12165,
    kInvalidCert = 12169,
    kCertRevoked = 12170,
    kWsaNetDown = 10050,
    kWsaNetUnreachable = 10051,
    kWsaNetReset = 10052,
    kWsaConnAborted = 10053,
    kWsaConnReset = 10054,
    kWsaTimedOut = 10060,
    kWsaConnRefused = 10061,
    kWsaHostUnreachable = 10065,
};

} // namespace

bool IsTransient(TransferFailure failure)
{
    switch (failure)
    {
    case TransferFailure::NoAnswer:
    case TransferFailure::ConnectionLost:
    case TransferFailure::ShortBody:
    case TransferFailure::ServerBusy: return true;
    default: return false;
    }
}

std::wstring DescribeFailure(TransferFailure failure)
{
    switch (failure)
    {
    case TransferFailure::None: return L"no failure";
    case TransferFailure::NoAnswer: return L"the server did not answer";
    case TransferFailure::ConnectionLost: return L"the connection was lost";
    case TransferFailure::ShortBody: return L"the reply was shorter than announced";
    case TransferFailure::ServerBusy: return L"the server is busy";
    case TransferFailure::Refused: return L"the server refused the request";
    case TransferFailure::Certificate: return L"the server's certificate is not valid";
    case TransferFailure::UntrustedCertificate:
        return L"the server's certificate does not lead to a root this machine trusts";
    case TransferFailure::InsecureRedirect: return L"an https request was redirected to http";
    case TransferFailure::Malformed: return L"the reply is malformed";
    case TransferFailure::DigestMismatch: return L"the package does not have the expected SHA-256";
    case TransferFailure::TooLarge: return L"the package is too large";
    case TransferFailure::TooSlow: return L"the transfer did not end before its deadline";
    case TransferFailure::ProxyCredentials: return L"the proxy asks for credentials";
    case TransferFailure::Local: return L"the file could not be written";
    case TransferFailure::Other: return L"an unexpected error";
    }
    return L"unknown";
}

TransferFailure FailureOfStatus(int status)
{
    if (status == 200)
        return TransferFailure::None;
    if (status == 429 || (status >= 500 && status <= 599))
        return TransferFailure::ServerBusy;
    if (status == 407)
        return TransferFailure::ProxyCredentials;
    if (status < 100 || status > 599)
        return TransferFailure::Malformed;
    return TransferFailure::Refused;
}

TransferFailure FailureOfError(unsigned long error)
{
    switch (error)
    {
    case kTimeout:
    case kNameNotResolved:
    case kCannotConnect:
    case kForceRetry:
    case kDisconnected:
    case kServerUnreachable:
    case kProxyUnreachable:
    case kWsaNetDown:
    case kWsaNetUnreachable:
    case kWsaTimedOut:
    case kWsaConnRefused:
    case kWsaHostUnreachable: return TransferFailure::NoAnswer;
    case kConnectionAborted:
    case kConnectionReset:
    case kWsaNetReset:
    case kWsaConnAborted:
    case kWsaConnReset: return TransferFailure::ConnectionLost;
    case kCertDateInvalid:
    case kCertNameInvalid:
    case kClientCertNeeded:
    case kInvalidCa:
    case kCertErrors:
    case kCertNoRevocation:
    case kCertRevocationFailed:
    case kSecurityChannelError:
    case kInvalidCert:
    case kCertRevoked: return TransferFailure::Certificate;
    case kHttpsToHttpOnRedirect: return TransferFailure::InsecureRedirect;
    case kInvalidServerResponse:
    case kInvalidHeader:
    case kRedirectFailed: return TransferFailure::Malformed;
    default: return TransferFailure::Other;
    }
}

bool CRetryBudget::NextPause(TransferFailure failure, bool madeProgress, unsigned long& pauseMs)
{
    if (!IsTransient(failure))
        return false;
    if (madeProgress)
        m_failuresInARow = 0;
    if (m_failuresInARow >= m_schedule.retries)
        return false;
    pauseMs = m_failuresInARow == 0 ? m_schedule.firstPauseMs : m_schedule.laterPauseMs;
    ++m_failuresInARow;
    return true;
}

} // namespace net
