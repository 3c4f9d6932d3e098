#include "net/InternetRequest.h"

#include "localisation/ModulePath.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/ProxySetup.h"
#include "net/ServerTrust.h"
#include "net/TransferLog.h"
#include "net/TransferMath.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <iterator>
#include <mutex>
#include <new>
#include <optional>

namespace net {

namespace {

std::wstring ModuleAgentName()
{
    const std::wstring path = GetModulePath();
    return path.empty() ? L"Installer" : AgentNameFromModulePath(path);
}

void SetDwordOption(HINTERNET handle, DWORD option, DWORD value)
{
    InternetSetOptionW(handle, option, &value, sizeof value);
}

void SetStallTimeouts(HINTERNET handle, const TransferLimits& limits)
{
    SetDwordOption(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveTimeoutMs);
    SetDwordOption(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, limits.receiveTimeoutMs);
    SetDwordOption(handle, INTERNET_OPTION_SEND_TIMEOUT, limits.sendTimeoutMs);
    SetDwordOption(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, limits.sendTimeoutMs);
}

// The limits with every time-out cut to what is left before the deadline (1 ms at least:
// 0 would mean none).
TransferLimits LimitsBefore(const TransferLimits& limits, Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const unsigned long leftMs =
        left.count() < 1 ? 1ul
                         : static_cast<unsigned long>(std::min<long long>(left.count(), ULONG_MAX));
    TransferLimits cut = limits;
    cut.connectTimeoutMs = std::min(cut.connectTimeoutMs, leftMs);
    cut.receiveTimeoutMs = std::min(cut.receiveTimeoutMs, leftMs);
    cut.sendTimeoutMs = std::min(cut.sendTimeoutMs, leftMs);
    return cut;
}

// A text option of a WinINet handle, whatever its length; empty when it cannot be read.
std::wstring QueryStringOption(HINTERNET handle, DWORD option)
{
    DWORD size = 0;
    if (!handle)
        return std::wstring();
    InternetQueryOptionW(handle, option, nullptr, &size);
    if (size == 0)
        return std::wstring();
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (!InternetQueryOptionW(handle, option, &value[0], &size))
        return std::wstring();
    value.resize(wcslen(value.c_str()));
    return value;
}

// The URL the request ended at, after redirects; false when it cannot be read.
bool QueryFinalUrl(HINTERNET request, CrackedUrl& cracked)
{
    const std::wstring url = QueryStringOption(request, INTERNET_OPTION_URL);
    return !url.empty() && CrackHttpUrl(url, cracked);
}

// Proxy credentials a person typed, for this process only.
struct ProxyCredentials
{
    std::mutex mutex;
    std::wstring user;
    std::wstring password;
};

ProxyCredentials& TypedProxyCredentials()
{
    static ProxyCredentials* s_credentials = new ProxyCredentials; // lives as long as the process
    return *s_credentials;
}

// Gives the proxy what a person typed, when they did: true then.
bool ApplyTypedProxyCredentials(HINTERNET handle)
{
    ProxyCredentials& typed = TypedProxyCredentials();
    std::lock_guard<std::mutex> lock(typed.mutex);
    if (typed.user.empty())
        return false;
    InternetSetOptionW(handle, INTERNET_OPTION_PROXY_USERNAME, &typed.user[0],
                       static_cast<DWORD>(typed.user.size()));
    InternetSetOptionW(handle, INTERNET_OPTION_PROXY_PASSWORD, &typed.password[0],
                       static_cast<DWORD>(typed.password.size()));
    return true;
}

// The schemes of the proxy's Proxy-Authenticate headers ("Basic", "NTLM", ...), without what
// follows each.
std::vector<std::wstring> ProxyAuthSchemes(HINTERNET request)
{
    std::vector<std::wstring> schemes;
    for (DWORD index = 0; schemes.size() < 8;)
    {
        wchar_t value[256] = {};
        DWORD size = sizeof(value);
        if (!HttpQueryInfoW(request, HTTP_QUERY_PROXY_AUTHENTICATE, value, &size, &index))
            break;
        std::wstring scheme(value);
        scheme = scheme.substr(0, scheme.find(L' '));
        schemes.push_back(TextForLog(scheme.substr(0, 32)));
    }
    return schemes;
}

bool OffersIntegratedAuth(const std::vector<std::wstring>& schemes)
{
    return std::any_of(schemes.begin(), schemes.end(), [](const std::wstring& scheme) {
        return _wcsicmp(scheme.c_str(), L"Negotiate") == 0 ||
               _wcsicmp(scheme.c_str(), L"NTLM") == 0;
    });
}

std::wstring JoinSchemes(const std::vector<std::wstring>& schemes)
{
    std::wstring text;
    for (const std::wstring& scheme : schemes)
        text += (text.empty() ? L"" : L", ") + scheme;
    return text.empty() ? L"no scheme" : text;
}

// Records why sending failed, and reports it on this thread (the extended error's text is
// kept per thread).
bool SendFailed(CSentRequest& sent, const wchar_t* what, unsigned long error)
{
    sent.failure = FailureOfError(error);
    sent.error = error;
    ReportDownloadError(what, error);
    return false;
}

bool OpenAndSend(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                 const TransferLimits& fullLimits, Clock::time_point deadline, CSentRequest& sent)
{
    const TransferLimits limits = LimitsBefore(fullLimits, deadline);
    const std::wstring agent = ModuleAgentName();
    const ProxyChoice& proxy = ProxyForRequests(
        (url.scheme == UrlScheme::Https ? L"https://" : L"http://") + url.host + L"/");
    // A named proxy takes every request, loopback too (WinINet leaves loopback out otherwise).
    sent.session.reset(
        proxy.proxy.empty()
            ? InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)
            : InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.proxy.c_str(),
                            L"<-loopback>", 0));
    if (!sent.session)
        return SendFailed(sent, L"InternetOpen failed", GetLastError());
    SetDwordOption(sent.session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectTimeoutMs);
    SetDwordOption(sent.session.get(), INTERNET_OPTION_CONNECT_RETRIES, limits.connectRetries);

    const bool secure = url.scheme == UrlScheme::Https;
    // No INTERNET_FLAG_IGNORE_CERT_CN_INVALID: a certificate for another host is refused.
    const DWORD connectFlags = INTERNET_FLAG_KEEP_CONNECTION | (secure ? INTERNET_FLAG_SECURE : 0);
    // No cookies either way, no stored or logon credentials, no dialog: any program of the
    // user can set those up for a host, and what arrives here runs elevated.
    const DWORD requestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                               INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                               INTERNET_FLAG_NO_UI | (secure ? INTERNET_FLAG_SECURE : 0);

    sent.connection.reset(InternetConnectW(sent.session.get(), url.host.c_str(), url.port, nullptr,
                                           nullptr, INTERNET_SERVICE_HTTP, connectFlags, 0));
    if (!sent.connection)
        return SendFailed(sent, L"InternetConnect failed", GetLastError());
    SetStallTimeouts(sent.connection.get(), limits);
    // Credentials a person typed are answered with by WinINet, which NO_AUTH would forbid.
    const bool typed = ApplyTypedProxyCredentials(sent.connection.get());
    const DWORD flags = typed ? requestFlags & ~INTERNET_FLAG_NO_AUTH : requestFlags;

    const auto openAndSend = [&](DWORD flags) {
        sent.request.reset(HttpOpenRequestW(sent.connection.get(), L"GET", url.object.c_str(),
                                            L"HTTP/1.0", nullptr, nullptr, flags, 0));
        if (!sent.request)
            return SendFailed(sent, L"HttpOpenRequest failed", GetLastError());
        SetStallTimeouts(sent.request.get(), limits);
        if (typed)
            ApplyTypedProxyCredentials(sent.request.get());
        // A refused header is simply missing from the request.
        for (const std::wstring& header : headers)
            HttpAddRequestHeadersW(sent.request.get(), header.c_str(), static_cast<DWORD>(-1),
                                   HTTP_ADDREQ_FLAG_ADD_IF_NEW);
        if (!HttpSendRequestW(sent.request.get(), nullptr, 0, nullptr, 0))
            return SendFailed(sent, L"HttpSendRequest failed", GetLastError());
        return true;
    };
    if (!openAndSend(flags))
        return false;
    if (QueryStatusCode(sent.request.get()) == HTTP_STATUS_PROXY_AUTH_REQ)
    {
        // Windows' integrated authentication, as the running account, is the one answer the
        // installer gives a proxy, and only to a proxy that offers it: never a stored or typed
        // credential, never a prompt. Never to one that auto-discovery named: anyone on the
        // network can answer that question, and would then be handed the computer's logon.
        const std::vector<std::wstring> schemes = ProxyAuthSchemes(sent.request.get());
        const bool integrated =
            OffersIntegratedAuth(schemes) && proxy.source != ProxySource::AutoDiscovery;
        if (integrated && !typed && !openAndSend(flags & ~INTERNET_FLAG_NO_AUTH))
            return false;
        if (!integrated || typed ||
            QueryStatusCode(sent.request.get()) == HTTP_STATUS_PROXY_AUTH_REQ)
        {
            sent.failure = TransferFailure::ProxyCredentials;
            const std::wstring which = proxy.proxy.empty() ? L"" : L" " + proxy.proxy;
            ReportDownloadProblem(L"The proxy" + which + L" asks for credentials (it offers " +
                                  JoinSchemes(schemes) + L"); the request ends here");
            return false;
        }
    }
    if (secure)
    {
        // A secure request that a redirect took to plain http would hand what this program
        // starts elevated to anyone on the path; refused whatever WinINet's own rule is.
        CrackedUrl final;
        if (!QueryFinalUrl(sent.request.get(), final) || final.scheme != UrlScheme::Https)
        {
            sent.failure = TransferFailure::InsecureRedirect;
            ReportDownloadProblem(L"An https request was redirected to plain http");
            return false;
        }
        // WinINet accepts a root that only the user's own store holds.
        std::wstring why;
        if (!IsServerTrustedByMachine(sent.request.get(), final.host, why))
        {
            sent.failure = TransferFailure::UntrustedCertificate;
            ReportDownloadProblem(L"Untrusted certificate: the one " + final.host +
                                  L" presented does not lead to a root this machine trusts (" +
                                  why + L")");
            return false;
        }
    }
    // The body's stalls get the whole time-out again where WinINet takes it (Windows; Wine
    // keeps what the connection had when the request was sent).
    SetStallTimeouts(sent.request.get(), fullLimits);
    return true;
}

} // namespace

bool CrackHttpUrl(const std::wstring& url, CrackedUrl& cracked)
{
    if (url.empty())
        return false;
    DWORD length = static_cast<DWORD>(url.size() * 3 + 64);
    std::wstring canonical(length, L'\0');
    if (!InternetCanonicalizeUrlW(url.c_str(), &canonical[0], &length, ICU_BROWSER_MODE))
    {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return false;
        canonical.assign(length + 1, L'\0');
        if (!InternetCanonicalizeUrlW(url.c_str(), &canonical[0], &length, ICU_BROWSER_MODE))
            return false;
    }
    canonical.resize(length);

    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(canonical.c_str(), static_cast<DWORD>(canonical.size()), 0, &parts))
        return false;
    if (parts.nScheme == INTERNET_SCHEME_HTTP)
        cracked.scheme = UrlScheme::Http;
    else if (parts.nScheme == INTERNET_SCHEME_HTTPS)
        cracked.scheme = UrlScheme::Https;
    else
        return false;
    if (!parts.lpszHostName || parts.dwHostNameLength == 0)
        return false;
    cracked.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    cracked.port = parts.nPort;
    cracked.object.clear();
    if (parts.lpszUrlPath)
        cracked.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        cracked.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (cracked.object.empty())
        cracked.object = L"/";
    return true;
}

bool OpenAndSendRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                        const TransferLimits& limits, Clock::time_point deadline,
                        CSentRequest& sent)
{
    return OpenAndSend(url, headers, limits, deadline, sent);
}

bool SendGetRequest(const CrackedUrl& url, const std::vector<std::wstring>& headers,
                    const TransferLimits& limits, CSentRequest& sent, Clock::time_point notAfter)
{
    struct Opened
    {
        bool ok = false;
        CSentRequest sent;
    };
    Opened opened;
    const Clock::time_point deadline =
        std::min(notAfter, Clock::now() + std::chrono::milliseconds(limits.openDeadlineMs));
    const bool finished = RunWithDeadline(
        [url, headers, limits, deadline](const StopFlag&) {
            Opened result;
            result.ok = OpenAndSendRequest(url, headers, limits, deadline, result.sent);
            return result;
        },
        deadline, opened);
    if (!finished)
    {
        sent.failure = TransferFailure::NoAnswer;
        sent.error = ERROR_INTERNET_TIMEOUT;
        ReportDownloadError(L"No answer before the deadline", ERROR_INTERNET_TIMEOUT);
        return false;
    }
    sent = std::move(opened.sent);
    return opened.ok;
}

bool PromptForProxyCredentials(const std::wstring& urlText)
{
    CrackedUrl url;
    if (!CrackHttpUrl(urlText, url))
        return false;
    // Sent here, not on a helper: the prompt needs the request, and a person is waiting.
    CSentRequest sent;
    const TransferLimits& limits = kJsonRequestLimits;
    if (OpenAndSend(url, {}, limits,
                    Clock::now() + std::chrono::milliseconds(limits.openDeadlineMs), sent) ||
        sent.failure != TransferFailure::ProxyCredentials || !sent.request)
        return false;
    LogEvent(L"Asking for the proxy's credentials");
    const DWORD answer =
        InternetErrorDlg(GetDesktopWindow(), sent.request.get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                         FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                             FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                         nullptr);
    if (answer != ERROR_INTERNET_FORCE_RETRY)
    {
        LogEvent(L"The proxy's credentials were not given");
        return false;
    }
    // Where WinINet keeps them differs between versions: the request, else its session.
    std::wstring user;
    std::wstring password;
    for (HINTERNET handle : {sent.request.get(), sent.connection.get(), sent.session.get()})
    {
        if (!user.empty())
            break;
        user = QueryStringOption(handle, INTERNET_OPTION_PROXY_USERNAME);
        password = QueryStringOption(handle, INTERNET_OPTION_PROXY_PASSWORD);
    }
    if (user.empty())
        return false;
    ProxyCredentials& typed = TypedProxyCredentials();
    std::lock_guard<std::mutex> lock(typed.mutex);
    typed.user = std::move(user);
    typed.password = std::move(password);
    LogEvent(L"The proxy's credentials were given");
    return true;
}

int QueryStatusCode(HINTERNET request)
{
    DWORD code = 0;
    DWORD size = sizeof code;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                        nullptr))
        return -1;
    return static_cast<int>(code);
}

std::wstring QueryHeader(HINTERNET request, const wchar_t* name)
{
    // HTTP_QUERY_CUSTOM reads the name from the buffer it writes the value into.
    wchar_t text[1001] = {};
    if (wcslen(name) >= std::size(text))
        return std::wstring();
    wcscpy(text, name);
    DWORD size = sizeof text - sizeof text[0];
    if (!HttpQueryInfoW(request, HTTP_QUERY_CUSTOM, text, &size, nullptr))
        return std::wstring();
    return std::wstring(text, size / sizeof text[0]);
}

std::uint64_t QueryContentLength(HINTERNET request)
{
    wchar_t text[64] = {};
    DWORD size = sizeof text - sizeof text[0];
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return 0;
    return ParseContentLength(std::wstring(text, size / sizeof text[0]));
}

bool ReadChunk(HINTERNET request, void* buffer, unsigned long size, unsigned long& received)
{
    received = 0;
    DWORD got = 0;
    if (!InternetReadFile(request, buffer, size, &got))
    {
        const DWORD error = GetLastError();
        ReportDownloadError(L"InternetReadFile failed", error);
        SetLastError(error);
        return false;
    }
    received = got;
    return true;
}

bool ReadAvailable(HINTERNET request, void* buffer, unsigned long maxSize, unsigned long& received)
{
    received = 0;
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0))
    {
        const DWORD error = GetLastError();
        ReportDownloadError(L"InternetQueryDataAvailable failed", error);
        SetLastError(error);
        return false;
    }
    return ReadChunk(request, buffer, std::clamp<DWORD>(available, 1, maxSize), received);
}

} // namespace net
